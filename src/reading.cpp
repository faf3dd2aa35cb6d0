#include "reading.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "number.h"
#include "results.h"

namespace {

long long Magnitude(long long aValue) { return aValue < 0 ? -aValue : aValue; }

}  // namespace

void RepairSign(char (&aReply)[KReplySize]) {
    const char* point = std::strchr(aReply, '.');
    if (point == nullptr || point[1] != '-') return;
    const long long whole = SaturatedInteger(aReply);
    const long long fraction = SaturatedInteger(point + 1);
    std::snprintf(aReply, sizeof aReply, "-%lld.%02lld", Magnitude(whole), Magnitude(fraction));
}

namespace {

// Whether the text begins with the word, in any case.
bool StartsWithWord(const char* aText, const char* aWord) {
    for (; *aWord != '\0'; ++aText, ++aWord) {
        const char c = (*aText >= 'A' && *aText <= 'Z') ? static_cast<char>(*aText - 'A' + 'a') : *aText;
        if (c != *aWord) return false;
    }
    return true;
}

// Narrowing to single precision rounds to nearest: only from halfway between
// FLT_MAX (2^128 - 2^104) and 2^128 on is a value infinite, the tie included.
float Narrowed(double aValue) {
    const double infiniteFrom = std::ldexp(1.0, 128) - std::ldexp(1.0, 103);
    if (aValue >= infiniteFrom) return HUGE_VALF;
    if (aValue <= -infiniteFrom) return -HUGE_VALF;
    // What the rounding gives; the cast itself is defined only within the range.
    if (aValue > FLT_MAX) return FLT_MAX;
    if (aValue < -FLT_MAX) return -FLT_MAX;
    return static_cast<float>(aValue);
}

}  // namespace

float ConvertReading(const char* aText) {
    const char* start = aText;
    while (IsSpace(*start)) ++start;
    const char* p = start;
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    // The words C's strtod reads, taken here so that every runtime agrees:
    // firmware prints "nan" for a failed measurement.
    if (StartsWithWord(p, "nan")) return KMissingReading;
    if (StartsWithWord(p, "inf")) return negative ? -HUGE_VALF : HUGE_VALF;

    const char* digits = p;
    while (IsDigit(*p)) ++p;
    bool any = p != digits;
    if (*p == '.') {
        const char* fraction = ++p;
        while (IsDigit(*p)) ++p;
        any = any || p != fraction;
    }
    // "ERR", an empty line: a real-looking 0 would hide the failure.
    if (!any) return KMissingReading;
    if (*p == 'e' || *p == 'E') {
        const char* q = p + 1;
        if (*q == '+' || *q == '-') ++q;
        if (IsDigit(*q)) {
            while (IsDigit(*q)) ++q;
            p = q;
        }
    }

    // strtod alone would also take "0x..." where only the 0 is decimal.
    const std::string number(start, static_cast<std::size_t>(p - start));
    return Narrowed(std::strtod(number.c_str(), nullptr));
}

void TakeName(char (&aName)[KNameSize], char (&aReply)[KReplySize]) {
    std::size_t length = std::strlen(aReply);
    while (length > 0) {
        const unsigned char last = static_cast<unsigned char>(aReply[length - 1]);
        if (last > 32) break;
        aReply[--length] = '\0';
    }
    std::memset(aName, 0, sizeof aName);
    std::strncpy(aName, aReply, sizeof aName - 1);
}
