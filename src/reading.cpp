#include "reading.h"

#include <cfloat>
#include <cmath>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool IsSpace(char aChar) { return aChar == ' ' || (aChar >= '\t' && aChar <= '\r'); }
bool IsDigit(char aChar) { return aChar >= '0' && aChar <= '9'; }

// atoi's reading of a text, saturated to 32 bits instead of overflowing.
long long Integer(const char* aText) {
    const char* p = aText;
    while (IsSpace(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = (*p++ == '-');
    long long value = 0;
    for (; IsDigit(*p); ++p) {
        if (value <= INT_MAX) value = value * 10 + (*p - '0');
    }
    if (negative) return value > -static_cast<long long>(INT_MIN) ? INT_MIN : -value;
    return value > INT_MAX ? INT_MAX : value;
}

long long Magnitude(long long aValue) { return aValue < 0 ? -aValue : aValue; }

}  // namespace

void RepairSign(char (&aReply)[KReplySize]) {
    const char* point = std::strchr(aReply, '.');
    if (point == nullptr || point[1] != '-') return;
    const long long whole = Integer(aReply);
    const long long fraction = Integer(point + 1);
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
