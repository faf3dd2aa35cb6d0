// Invariant checks inside the fuzz targets. A failed check names itself and
// the input's text, then aborts, which the fuzzer records as a finding.
#ifndef TARNEL_TESTS_FUZZ_CHECK_H
#define TARNEL_TESTS_FUZZ_CHECK_H

#include <string>
#include <string_view>

[[noreturn]] void FuzzCheckFailed(const char* aCondition, const char* aFile, int aLine,
                                  const std::string& aDetail);

// The detail is only built when the check fails.
#define FUZZ_CHECK(aCondition, aDetail)                                       \
    do {                                                                      \
        if (!(aCondition)) FuzzCheckFailed(#aCondition, __FILE__, __LINE__, (aDetail)); \
    } while (0)

// The bytes as a C string literal, for messages.
std::string Quoted(std::string_view aBytes);

#endif
