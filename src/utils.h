// Small helpers: the file name of a path, millisecond ticks, date texts.
#ifndef TARNEL_UTILS_H
#define TARNEL_UTILS_H

#include <cstdint>

// The part of the path after its last "/" or "\\"; points into the path.
const char* FileNameOnly(const char* aPath);

// Milliseconds of the wall clock since 1970, modulo 2^32.
std::uint32_t GetTick();
std::uint32_t TickElapsed(std::uint32_t aStart);

// "MAR-07-2016 14:05" (with the year) or "MAR-07 14:05" in local time.
// Leaves the empty text when the time cannot be converted.
void GenDateString(char* aBuffer, std::int32_t aTime, std::int32_t aSize, std::int32_t aWithYear);

#endif
