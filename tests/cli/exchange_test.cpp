// The readings of one exchange, exactly, over the fake port in this process.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "fake-comm.h"
#include "query.h"
#include "settings.h"
#include "temperature-cases.h"

namespace {

bool SameReading(float aLeft, float aRight) { return (std::isnan(aLeft) && std::isnan(aRight)) || aLeft == aRight; }

// A fresh port, and no reply of an earlier exchange still to come.
void FreshPort() {
    gSerial.Close();
    FakeReset();
    gReplyCut = false;
    ASSERT_EQ(gSerial.Open("COM3", "115200 N81"), 0);
}

class ExchangeReading : public ::testing::Test {
protected:
    void SetUp() override { FreshPort(); }
    void TearDown() override { gSerial.Close(); }
};

TEST_F(ExchangeReading, TemperatureRepliesGiveTheirValues) {
    for (const TTemperatureCase& c : TemperatureCases()) {
        FakeReply("GT", c.iReply);
        EXPECT_TRUE(SameReading(QueryReading(ETemperature), static_cast<float>(c.iValue))) << c.iReply;
    }
}

// Only temperature replies are repaired.
TEST_F(ExchangeReading, HumidityAndPressureConvertAsTheyStand) {
    const struct {
        TQuantity iQuantity;
        const char* iCommand;
        const char* iReply;
        float iValue;
    } cases[] = {
        {EHumidity, "GH", "0.-25", 0.0f},  {EHumidity, "GH", "-1.-25", -1.0f},
        {EPressure, "GP", "-1.-25", -1.0f}, {EPressure, "GP", "1013.25\r\n", 1013.25f},
        {EHumidity, "GH", "abc", KMissingReading}, {EPressure, "GP", "nan", KMissingReading},
        {EPressure, "GP", "inf", HUGE_VALF},       {EPressure, "GP", "0x1A", 0.0f},
        {EHumidity, "GH", " \t+45.6%", 45.6f}, {EPressure, "GP", "1e39", HUGE_VALF},
        {EPressure, "GP", "-1e400", -HUGE_VALF}, {EPressure, "GP", "1e-50", 0.0f},
    };
    for (const auto& c : cases) {
        FakeReply(c.iCommand, c.iReply);
        EXPECT_TRUE(SameReading(QueryReading(c.iQuantity), c.iValue)) << c.iReply;
    }
}

// A reply is complete at its line feed: the exchange reads on through pieces
// and late answers, and stops at the line feed, at 127 bytes, or 1000 ms
// after the command. Times are the fake's virtual milliseconds after the
// command.
TEST_F(ExchangeReading, RepliesAreReadUpToTheirLineFeed) {
    struct TCase {
        const char* iWhat;
        std::vector<TFakePiece> iPieces;
        int iFailingRead;   // 0: none
        int iCount;         // what QuerySensor returns
        std::string iReply;
        int iReads;
        double iEndMs;      // when the exchange ended
    };
    const std::string k100(100, '7');
    const std::vector<TCase> cases = {
        {"at once", {{0, "23.4\r\n"}}, 0, 6, "23.4\r\n", 1, 2},
        {"two pieces", {{0, "23"}, {30000, ".4\r\n"}}, 0, 6, "23.4\r\n", 29, 30},
        {"late", {{80000, "23.4\r\n"}}, 0, 6, "23.4\r\n", 79, 80},
        {"a one-wire conversion late", {{750000, "23.4\r\n"}}, 0, 6, "23.4\r\n", 749, 750},
        {"just in time", {{1000000, "23.4\r\n"}}, 0, 6, "23.4\r\n", 999, 1000},
        {"too late", {{1000001, "23.4\r\n"}}, 0, -1, "", 999, 1000},
        {"no line end", {{0, "23.4"}}, 0, 4, "23.4", 999, 1000},
        {"no line end, late", {{500000, "23.4"}}, 0, 4, "23.4", 999, 1000},
        {"bytes after the line feed wait", {{0, "23.4\n"}, {0, "99"}}, 0, 7, "23.4\n99", 1, 2},
        {"bytes after a late line feed", {{0, "23"}, {5000, ".4\n"}, {20000, "99"}}, 0, 5, "23.4\n", 4, 5},
        {"cut at 127 bytes", {{0, k100}, {10000, k100 + "\n"}}, 0, 127, (k100 + k100).substr(0, 127), 9, 10},
        {"zero byte first", {{0, std::string("\0" "12\n", 4)}}, 0, 4, std::string("\0" "12\n", 4), 1, 2},
        {"read fails after some bytes", {{0, "23"}, {5000, ".4\n"}}, 3, 2, "23", 3, 3},
        {"read fails before any byte", {{5000, "23.4\n"}}, 2, -1, "", 2, 2},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.iWhat);
        FreshPort();
        FakeReplyPieces("GT", c.iPieces);
        if (c.iFailingRead > 0) FakeFail("ReadFile", c.iFailingRead);
        const std::int64_t start = FakeNowUs();
        char reply[KReplySize];
        EXPECT_EQ(QuerySensor("GT\n", reply), c.iCount);
        if (c.iCount > 0) {
            EXPECT_EQ(std::string(reply, static_cast<std::size_t>(c.iCount)), c.iReply);
            EXPECT_EQ(reply[c.iCount], '\0');
        }
        const std::vector<std::string> calls = FakeCallNames();
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "ReadFile"), c.iReads);
        EXPECT_EQ(static_cast<double>(FakeNowUs() - start) / 1000.0, c.iEndMs);
        // Nothing is sent again.
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "WriteFile"), 2);
    }
}

// A reply cut short of its line feed is still arriving when the exchange
// ends. Before the next command the rest is awaited, up to its line feed or
// another 1000 ms, and dropped: the tail of one reply is never the next
// quantity's. Times are virtual milliseconds after the first command.
TEST_F(ExchangeReading, TheRestOfACutReplyIsDroppedBeforeTheNextCommand) {
    struct TCase {
        const char* iWhat;
        std::vector<TFakePiece> iFirst;  // the temperature's reply
        int iFailingRead;                // 0: none
        std::string iTemperature;        // what the first exchange returns
        double iHumidityCommandMs;       // when the second command is written
    };
    const std::string k127(127, '7');
    const std::vector<TCase> cases = {
        {"whole reply: no wait", {{0, "23.4\r\n"}}, 0, "23.4\r\n", 2},
        {"rest after a second", {{0, "23"}, {1500000, ".4\r\n99"}}, 0, "23", 1500},
        {"rest in pieces", {{0, "23"}, {1200000, ".4"}, {1700000, "\r\n"}}, 0, "23", 1700},
        {"rest never comes", {{0, "23.4"}}, 0, "23.4", 2000},
        {"rest beyond the wait", {{0, "23"}, {2500000, ".4\r\n"}}, 0, "23", 2000},
        {"cut at 127 bytes", {{0, k127}, {10000, "\r\n"}}, 0, k127, 10},
        {"read failed after some bytes", {{0, "23"}, {5000, ".4\n"}}, 3, "23", 5},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.iWhat);
        FreshPort();
        FakeReplyPieces("GT", c.iFirst);
        FakeReply("GH", "45.6\r\n");
        if (c.iFailingRead > 0) FakeFail("ReadFile", c.iFailingRead);
        const std::int64_t start = FakeNowUs();
        char reply[KReplySize];
        const int count = QuerySensor("GT\n", reply);
        ASSERT_GT(count, 0);
        EXPECT_EQ(std::string(reply, static_cast<std::size_t>(count)), c.iTemperature);

        EXPECT_EQ(QuerySensor("GH\n", reply), 6);
        EXPECT_STREQ(reply, "45.6\r\n");
        const std::vector<TFakeCall>& calls = FakeCalls();
        const auto command = std::find_if(calls.begin(), calls.end(),
                                          [](const TFakeCall& aCall) { return aCall.iBytes == "GH\n"; });
        ASSERT_NE(command, calls.end());
        // The second exchange takes its pause and one read after its command.
        EXPECT_EQ(static_cast<double>(FakeNowUs() - start) / 1000.0, c.iHumidityCommandMs + 2);
        EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                                [](const TFakeCall& aCall) { return aCall.iName == "WriteFile"; }),
                  4);
        EXPECT_FALSE(gReplyCut);
    }
}

TEST_F(ExchangeReading, FailuresGiveTheMissingValue) {
    EXPECT_TRUE(std::isnan(QueryReading(EPressure)));  // no reply
    FakeReply("GP", "12");
    FakeFail("ReadFile");
    EXPECT_TRUE(std::isnan(QueryReading(EPressure)));
    char name[KNameSize];
    std::memset(name, 'x', sizeof name);
    EXPECT_FALSE(QueryName(name));
    EXPECT_STREQ(name, "UNKNOWN");
    for (std::size_t i = 7; i < sizeof name; ++i) EXPECT_EQ(name[i], '\0') << i;
}

}  // namespace
