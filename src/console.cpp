#include "console.h"

#include <cerrno>
#include <cstdio>

namespace {

int gFirstError = 0;

void Check(bool aFailed) {
    // A failing call that leaves errno alone still lost output.
    if (aFailed && gFirstError == 0) gFirstError = errno != 0 ? errno : EIO;
}

}  // namespace

void OutText(const char* aText) {
    errno = 0;
    Check(std::fputs(aText, stdout) == EOF);
}

void OutFormat(const char* aFormat, ...) {
    va_list values;
    va_start(values, aFormat);
    OutFormatList(aFormat, values);
    va_end(values);
}

void OutFormatList(const char* aFormat, va_list aValues) {
    errno = 0;
    Check(std::vprintf(aFormat, aValues) < 0);
}

int OutputError() { return gFirstError; }
