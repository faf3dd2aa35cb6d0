#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "number.h"

namespace {

TEST(SaturatedInteger, ReadsAsAtoiAndSaturatesAt32Bits) {
    struct Case {
        const char* text;
        std::int32_t value;
    } cases[] = {
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {"-2147483647", -2147483647},
        {"-2147483648", INT_MIN},
        {"-2147483649", INT_MIN},
        {"+2147483647", INT_MAX},
        // More digits than any integer type holds.
        {"99999999999999999999999999999999999999", INT_MAX},
        {"-99999999999999999999999999999999999999", INT_MIN},
        {"18446744073709551621", INT_MAX},  // 2^64 + 5
        {"-18446744073709551621", INT_MIN},
        {"21474836470", INT_MAX},
        {"00000000000000000000000000000000000042", 42},
        {"-0000000000000000000000000002147483648", INT_MIN},
        // White space, signs and what follows the digits.
        {" \t\n\v\f\r17", 17},
        {"+17", 17},
        {"-17", -17},
        {"-0", 0},
        {"0", 0},
        {"", 0},
        {"-", 0},
        {"+", 0},
        {"  -  ", 0},
        {"- 5", 0},
        {"+-5", 0},
        {"--5", 0},
        {"12abc", 12},
        {"7 8", 7},
        {"-3.9", -3},
        {"1e5", 1},
        {"0x10", 0},
        {"abc", 0},
        {"\2405", 0},  // 0xA0 before the digit: only ASCII white space counts
    };
    for (const Case& c : cases) EXPECT_EQ(SaturatedInteger(c.text), c.value) << '"' << c.text << '"';
}

}  // namespace
