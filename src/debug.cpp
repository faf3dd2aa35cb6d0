#include "debug.h"

#include <cstdarg>
#include <cstdio>

void DebugInit() {}

void DebugExit() {}

void DebugPrintf(const char* aFormat, ...) {
    std::fputs("[DEBUG]", stdout);
    va_list values;
    va_start(values, aFormat);
    std::vprintf(aFormat, values);
    va_end(values);
    std::putchar('\n');
}

void DebugHex2String(const std::uint8_t* aBytes, std::int32_t aLength) {
    std::fputs("[DEBUG]", stdout);
    for (std::int32_t i = 0; i < aLength; ++i) std::printf("%02X ", static_cast<unsigned>(aBytes[i]));
    std::putchar('\n');
}
