// Debug lines on standard output, each opened by "[DEBUG]".
#ifndef TARNEL_DEBUG_H
#define TARNEL_DEBUG_H

#include <cstdint>

void DebugInit();
void DebugExit();

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
void DebugPrintf(const char* aFormat, ...);

void DebugHex2String(const std::uint8_t* aBytes, std::int32_t aLength);

#endif
