// A strict JSON reader for checking what the tool prints: the whole text must
// be valid UTF-8 and one JSON value (RFC 8259) with nothing after it but
// white space. Written for tests; it favours rejecting over guessing.
//
// Decoded strings: an escape \u00XX gives the single byte XX (the tool writes
// bytes that are not UTF-8 that way), a higher escape the UTF-8 of its code
// point (a surrogate pair joined, a lone surrogate is an error), and every
// other character itself.
#ifndef TARNEL_TESTS_JSON_CHECK_H
#define TARNEL_TESTS_JSON_CHECK_H

#include <string>
#include <string_view>
#include <vector>

enum class TJsonKind { ENull, EBool, ENumber, EString, EArray, EObject };

struct TJsonMember {
    std::string iName;   // decoded
    TJsonKind iKind;
    // A string member: its decoded bytes. Any other member: its text as
    // written, white space around it excluded.
    std::string iValue;
};

// True when the text is exactly one JSON object whose member names are all
// different. Its members, in order, go to aMembers; on failure aError (when
// given) tells where and why.
bool ParseJsonObject(std::string_view aText, std::vector<TJsonMember>& aMembers,
                     std::string* aError = nullptr);

// True when the text is exactly one JSON value of any kind.
bool IsJsonText(std::string_view aText, std::string* aError = nullptr);

// True when the bytes are well-formed UTF-8: shortest forms only, no
// surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view aBytes);

#endif
