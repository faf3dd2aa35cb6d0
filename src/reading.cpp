#include "reading.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "number.h"

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

float ConvertReading(const char* aText) {
    // Only plain decimal notation counts; "inf", "nan" and hexadecimal forms
    // are not numbers a sensor sends, and runtimes disagree on them.
    const char* start = aText;
    while (IsSpace(*start)) ++start;
    const char* p = start;
    if (*p == '+' || *p == '-') ++p;
    const char* digits = p;
    while (IsDigit(*p)) ++p;
    bool any = p != digits;
    if (*p == '.') {
        const char* fraction = ++p;
        while (IsDigit(*p)) ++p;
        any = any || p != fraction;
    }
    if (!any) return 0.0f;
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
    const double value = std::strtod(number.c_str(), nullptr);
    // Out of range for single precision is infinite, not undefined.
    if (value > FLT_MAX) return HUGE_VALF;
    if (value < -FLT_MAX) return -HUGE_VALF;
    return static_cast<float>(value);
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
