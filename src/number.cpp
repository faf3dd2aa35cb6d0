#include "number.h"

#include <climits>

std::int32_t SaturatedInteger(const char* aText) {
    const char* p = aText;
    while (IsSpace(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = (*p++ == '-');
    long long value = 0;
    for (; IsDigit(*p); ++p) {
        if (value <= INT_MAX) value = value * 10 + (*p - '0');
    }
    if (negative) return value > -static_cast<long long>(INT_MIN) ? INT_MIN : static_cast<std::int32_t>(-value);
    return value > INT_MAX ? INT_MAX : static_cast<std::int32_t>(value);
}
