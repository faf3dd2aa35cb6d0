#include <gtest/gtest.h>

#include <sys/time.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "utils.h"

namespace {

TEST(FileNameOnly, TakesWhatFollowsTheLastSeparator) {
    struct Case {
        const char* path;
        const char* name;
    } cases[] = {
        {"C:\\tools\\tarnel.exe", "tarnel.exe"},
        {"a/b\\c", "c"},
        {"a\\b/c", "c"},
        {"logs/", ""},
        {"logs\\", ""},
        {"/tarnel", "tarnel"},
        {"\\tarnel", "tarnel"},
        {"/", ""},
        {"tarnel.exe", "tarnel.exe"},
        {"C:tarnel.exe", "C:tarnel.exe"},
        {"/usr/local/bin/tarnel", "tarnel"},
    };
    for (const Case& c : cases) EXPECT_STREQ(FileNameOnly(c.path), c.name) << c.path;
}

TEST(FileNameOnly, PointsIntoTheGivenText) {
    const char empty[] = "";
    EXPECT_EQ(FileNameOnly(empty), empty);
    const char path[] = "logs/";
    EXPECT_EQ(FileNameOnly(path), path + 5);  // the terminator
    const char plain[] = "tarnel";
    EXPECT_EQ(FileNameOnly(plain), plain);
}

TEST(Tick, FollowsTheWallClockInMilliseconds) {
    const auto wall = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
    const std::uint32_t expected = static_cast<std::uint32_t>(static_cast<std::uint64_t>(wall));
    EXPECT_LE(GetTick() - expected, 5u);  // modular: also right across the wrap
}

TEST(Tick, ElapsedCountsMilliseconds) {
    const std::uint32_t start = GetTick();
    EXPECT_LE(TickElapsed(start), 5u);
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    const std::uint32_t elapsed = TickElapsed(start);
    EXPECT_GE(elapsed, 250u);
    EXPECT_LT(elapsed, 400u);
}

TEST(Tick, ElapsedIsModular) {
    // A start 11 ms back, whatever the counter: the same arithmetic as a
    // start just below 2^32 and a current tick just above 0.
    EXPECT_LE(TickElapsed(GetTick() - 11u) - 11u, 5u);
    // A start in the future, as after the clock was set back: close to 2^32.
    EXPECT_GE(TickElapsed(GetTick() + 6u), 0xFFFFFFFFu - 6u - 5u);
}

TEST(Tick, OfATimeDropsTheRestOfTheMillisecondAndWraps) {
    struct Case {
        std::uint64_t seconds;
        std::uint32_t micros;
        std::uint32_t tick;
    } cases[] = {
        {0, 0, 0},
        {0, 999, 0},
        {0, 1000, 1},
        {0, 1999, 1},
        {0, 999999, 999},
        {1, 0, 1000},
        {1457359559, 123999, 1365645779},
        {4294967, 295999, 0xFFFFFFFFu},
        {4294967, 296000, 0},  // 2^32 ms
        {4294968, 0, 704},
        {0x100000001ull, 0, 1000},
        {0xFFFFFFFFFFFFFFFFull, 0, 0xFFFFFFFFu - 999u},  // a second before 1970
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TickOfTime(c.seconds, c.micros), c.tick) << c.seconds << " s " << c.micros << " us";
    }
}

// The wall clock at microsecond resolution, read just before and after:
// truncated, the tick lies between the two. Rounded, it would lie past them
// when read in the second half of a millisecond, so the test goes on until
// it has seen enough of those.
TEST(Tick, AgreesWithTheClockItReads) {
    const auto tickOf = [](const timeval& aTime) {
        const std::uint64_t millis = static_cast<std::uint64_t>(aTime.tv_sec) * 1000u +
                                     static_cast<std::uint64_t>(aTime.tv_usec) / 1000u;
        return static_cast<std::uint32_t>(millis & 0xFFFFFFFFu);
    };
    int lateInTheMillisecond = 0;
    for (long i = 0; i < 10000000 && lateInTheMillisecond < 100; ++i) {
        timeval before{};
        timeval after{};
        gettimeofday(&before, nullptr);
        const std::uint32_t tick = GetTick();
        gettimeofday(&after, nullptr);
        const std::uint32_t low = tickOf(before);
        const std::uint32_t high = tickOf(after);
        ASSERT_LE(tick - low, high - low) << "tick " << tick << ", clock " << before.tv_sec << " s "
                                          << before.tv_usec << " us";
        if (high == low && before.tv_usec % 1000 >= 500) ++lateInTheMillisecond;
    }
    EXPECT_EQ(lateInTheMillisecond, 100);
}

TEST(Tick, DifferenceIsModular) {
    struct Case {
        std::uint32_t start, now, elapsed;
    } cases[] = {
        {100, 350, 250},
        {7, 7, 0},
        {0xFFFFFFFFu - 5u, 5, 11},  // across the wrap
        {11, 5, 0xFFFFFFFFu - 5u},  // the clock set back
        {0, 0xFFFFFFFFu, 0xFFFFFFFFu},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TickDifference(c.start, c.now), c.elapsed) << c.start << " " << c.now;
    }
}

class DateString : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        iHadTz = tz != nullptr;
        if (iHadTz) iSavedTz = tz;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override {
        if (iHadTz) {
            setenv("TZ", iSavedTz.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

    static std::string Date(std::int32_t aTime, std::int32_t aYear, std::int32_t aSize = 32) {
        char buffer[32];
        std::memset(buffer, '#', sizeof buffer);
        GenDateString(buffer, aTime, aSize, aYear);
        return buffer;
    }

private:
    bool iHadTz = false;
    std::string iSavedTz;
};

TEST_F(DateString, BothForms) {
    struct Case {
        std::int32_t time;
        std::int32_t year;
        const char* text;
    } cases[] = {
        {1457359559, 1, "MAR-07-2016 14:05"},  // the seconds never carry into the minute
        {1457359559, 0, "MAR-07 14:05"},
        {946684800, 1, "JAN-01-2000 00:00"},
        {946684800, 0, "JAN-01 00:00"},
        {946684740, -1, "DEC-31-1999 23:59"},  // any nonzero flag selects the year
        {2147483647, 7, "JAN-19-2038 03:14"},
        {0, 1, "JAN-01-1970 00:00"},
    };
    for (const Case& c : cases) EXPECT_EQ(Date(c.time, c.year), c.text) << c.time;
}

TEST_F(DateString, ExactSizesHoldTheTextAndNothingIsWrittenBeyondTheSize) {
    EXPECT_EQ(Date(1457359559, 1, 18), "MAR-07-2016 14:05");
    EXPECT_EQ(Date(1457359559, 0, 13), "MAR-07 14:05");

    char buffer[32];
    std::memset(buffer, '#', sizeof buffer);
    GenDateString(buffer, 1457359559, 5, 1);
    EXPECT_EQ(std::strlen(buffer), 4u);
    EXPECT_EQ(buffer[5], '#');
}

TEST_F(DateString, EveryMonthHasItsName) {
    struct Case {
        std::int32_t time;
        const char* text;
    } cases[] = {
        {1610327040, "JAN-11-2021 01:04"}, {1613095680, "FEB-12-2021 02:08"},
        {1615605120, "MAR-13-2021 03:12"}, {1618373760, "APR-14-2021 04:16"},
        {1621056000, "MAY-15-2021 05:20"}, {1623824640, "JUN-16-2021 06:24"},
        {1626506880, "JUL-17-2021 07:28"}, {1629275520, "AUG-18-2021 08:32"},
        {1632044160, "SEP-19-2021 09:36"}, {1634726400, "OCT-20-2021 10:40"},
        {1637495040, "NOV-21-2021 11:44"}, {1640177280, "DEC-22-2021 12:48"},
    };
    for (const Case& c : cases) EXPECT_EQ(Date(c.time, 1), c.text) << c.time;
}

TEST_F(DateString, NothingIsWrittenAtOrBeyondTheSize) {
    struct Case {
        std::int32_t size;
        std::int32_t year;
        const char* text;  // null: nothing written at all
    } cases[] = {
        {-1, 1, nullptr},
        {0, 1, nullptr},
        {1, 1, ""},
        {17, 1, "MAR-07-2016 14:0"},
        {18, 1, "MAR-07-2016 14:05"},
        {12, 0, "MAR-07 14:0"},
        {13, 0, "MAR-07 14:05"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "size " << c.size << (c.year ? " with" : " without") << " the year");
        char buffer[32];
        std::memset(buffer, '#', sizeof buffer);
        GenDateString(buffer, 1457359559, c.size, c.year);
        const std::size_t size = c.size > 0 ? static_cast<std::size_t>(c.size) : 0;
        for (std::size_t i = size; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], '#') << "at " << i;
        if (c.text == nullptr) continue;
        const void* end = std::memchr(buffer, '\0', size);
        ASSERT_NE(end, nullptr) << "unterminated";
        EXPECT_EQ(std::string(buffer), c.text);
    }
}

}  // namespace
