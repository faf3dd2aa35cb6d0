#include "utils.h"

#include <sys/time.h>

#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

const char* const KStrMonth[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                   "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

}  // namespace

const char* FileNameOnly(const char* aPath) {
    for (std::size_t i = std::strlen(aPath); i > 0; --i) {
        if (aPath[i - 1] == '/' || aPath[i - 1] == '\\') return aPath + i;
    }
    return aPath;
}

std::uint32_t TickOfTime(std::uint64_t aSeconds, std::uint32_t aMicroseconds) {
    const auto seconds = static_cast<std::uint32_t>(aSeconds);  // the product wraps alike
    return seconds * 1000u + aMicroseconds / 1000u;
}

std::uint32_t TickDifference(std::uint32_t aStart, std::uint32_t aNow) { return aNow - aStart; }

std::uint32_t GetTick() {
    timeval now{};
    gettimeofday(&now, nullptr);
    // The microseconds are 0 to 999999 by contract.
    return TickOfTime(static_cast<std::uint64_t>(now.tv_sec), static_cast<std::uint32_t>(now.tv_usec));
}

std::uint32_t TickElapsed(std::uint32_t aStart) { return TickDifference(aStart, GetTick()); }

void GenDateString(char* aBuffer, std::int32_t aTime, std::int32_t aSize, std::int32_t aWithYear) {
    if (aSize <= 0) return;
    const auto size = static_cast<std::size_t>(aSize);
    aBuffer[0] = '\0';
    const std::time_t time = aTime;
    const std::tm* local = std::localtime(&time);
    if (local == nullptr || local->tm_mon < 0 || local->tm_mon > 11) return;
    const char* month = KStrMonth[local->tm_mon];
    if (aWithYear) {
        std::snprintf(aBuffer, size, "%s-%02d-%04d %02d:%02d", month, local->tm_mday,
                      local->tm_year + 1900, local->tm_hour, local->tm_min);
    } else {
        std::snprintf(aBuffer, size, "%s-%02d %02d:%02d", month, local->tm_mday, local->tm_hour,
                      local->tm_min);
    }
}
