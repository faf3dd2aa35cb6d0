// The simulated sensor itself: it must be no faster than the hardware it
// stands for, or the tests above would prove nothing about real lines.
#include "e2e_fixture.h"

namespace {

// 10 bit times at 115200 baud, the line the tool sets.
constexpr double KFrameMicros = 1e6 * 10 / 115200;

struct TReply {
    long long iCommandMicros = -1;  // when the command reached the sensor
    std::vector<std::pair<long long, std::size_t>> iSent;  // time, bytes of the reply sent by then
};

// The reply to the first command of the log.
TReply FirstReply(const std::vector<TSensorChunk>& aTraffic) {
    TReply reply;
    std::size_t total = 0;
    for (const TSensorChunk& chunk : aTraffic) {
        if (!chunk.iSent && reply.iCommandMicros < 0 && chunk.iBytes.find('\n') != std::string::npos &&
            chunk.iBytes.find('G') != std::string::npos) {
            reply.iCommandMicros = chunk.iMicros;
        } else if (chunk.iSent && reply.iCommandMicros >= 0) {
            total += chunk.iBytes.size();
            reply.iSent.emplace_back(chunk.iMicros, total);
        } else if (!chunk.iSent && reply.iCommandMicros >= 0) {
            break;
        }
    }
    return reply;
}

}  // namespace

// A command is answered once its line feed has come down the line, and the
// k-th byte of the reply follows k frames later: never sooner, whatever the
// terminal would allow.
TEST_F(EndToEnd, SimulatedSensorIsNoFasterThanTheLine) {
    ASSERT_TRUE(StartSensor({"--name=ABCDEFGHIJKLMNOPQRSTUVWXYZ"}));
    ASSERT_TRUE(Ran(RunTool({"-d", "com3", "-n"}), 0, "ABCDEFGHIJKLMNOPQRSTUVWXYZ\n"));
    ASSERT_EQ(StopSensor(), 0);
    const TReply reply = FirstReply(SensorTraffic());
    ASSERT_GE(reply.iCommandMicros, 0);
    ASSERT_FALSE(reply.iSent.empty());
    EXPECT_EQ(reply.iSent.back().second, 28u);
    // "GN\n" takes three frames to arrive.
    for (const auto& sent : reply.iSent) {
        const double earliest = (3 + static_cast<double>(sent.second)) * KFrameMicros;
        EXPECT_GE(static_cast<double>(sent.first - reply.iCommandMicros), earliest - 1) << sent.second << " bytes";
    }
}

// An adapter with a latency timer passes a short reply on in one piece, once
// the timer has run out after the first byte came off the line.
TEST_F(EndToEnd, SimulatedAdapterHoldsShortRepliesForItsLatency) {
    ASSERT_TRUE(StartSensor({"--latency=16"}));
    ASSERT_TRUE(Ran(RunTool({"-d", "com3", "-t"}), 0, "23.4\n"));
    ASSERT_EQ(StopSensor(), 0);
    const TReply reply = FirstReply(SensorTraffic());
    ASSERT_EQ(reply.iSent.size(), 1u);
    EXPECT_EQ(reply.iSent[0].second, 6u);
    EXPECT_GE(static_cast<double>(reply.iSent[0].first - reply.iCommandMicros), 16000 + 4 * KFrameMicros - 1);
}

// Firmware takes the next command only once its reply is out. A temperature
// 1.2 s late outlasts the tool's second, so the humidity's command comes
// while the sensor still measures: a sequential sensor answers it after the
// temperature, an overlapping one as soon as it falls due.
TEST_F(EndToEnd, SequentialSensorAnswersOneCommandAtATime) {
    const struct {
        std::vector<std::string> iArgs;
        const char* iFirstReply;
    } cases[] = {
        {{"--sequential", "--delay=GT:1200000"}, "23.4\r\n"},
        {{"--delay=GT:1200000"}, "45.6\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.iArgs.size());
        ASSERT_TRUE(StartSensor(c.iArgs));
        EXPECT_EQ(RunTool({"-d", "com3", "-a"}).iStatus, 2);  // the temperature is missing
        ASSERT_EQ(StopSensor(), 0);
        std::string sent;
        for (const TSensorChunk& chunk : SensorTraffic()) {
            if (chunk.iSent) sent += chunk.iBytes;
        }
        EXPECT_EQ(sent.substr(0, 6), c.iFirstReply) << Visible(sent);
    }
}
