#include "debug.h"

#include <cstdarg>

#include "console.h"

void DebugInit() {}

void DebugExit() {}

void DebugPrintf(const char* aFormat, ...) {
    OutText("[DEBUG]");
    va_list values;
    va_start(values, aFormat);
    OutFormatList(aFormat, values);
    va_end(values);
    OutText("\n");
}

void DebugHex2String(const std::uint8_t* aBytes, std::int32_t aLength) {
    OutText("[DEBUG]");
    for (std::int32_t i = 0; i < aLength; ++i) OutFormat("%02X ", static_cast<unsigned>(aBytes[i]));
    OutText("\n");
}
