// Small helpers: the file name of a path, millisecond ticks, date texts.
#ifndef TARNEL_UTILS_H
#define TARNEL_UTILS_H

#include <cstdint>

// The part of the path after its last "/" or "\\"; points into the path.
const char* FileNameOnly(const char* aPath);

// Milliseconds of the wall clock since 1970, modulo 2^32.
std::uint32_t GetTick();
std::uint32_t TickElapsed(std::uint32_t aStart);

// What the two above compute from the clock: the tick of a time in seconds
// and microseconds (the rest of the millisecond dropped), and the ticks
// from aStart to aNow; both modulo 2^32.
std::uint32_t TickOfTime(std::uint64_t aSeconds, std::uint32_t aMicroseconds);
std::uint32_t TickDifference(std::uint32_t aStart, std::uint32_t aNow);

// "MAR-07-2016 14:05" (with the year) or "MAR-07 14:05" in local time.
// Leaves the empty text when the time cannot be converted.
void GenDateString(char* aBuffer, std::int32_t aTime, std::int32_t aSize, std::int32_t aWithYear);

#endif
