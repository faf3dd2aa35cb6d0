// A sensor that answers late, in pieces, not at all, or goes away.
#include "e2e_fixture.h"
#include "sensor_files.h"

// A reply is complete at its line feed. A sensor that measures before it
// answers, an adapter that holds short replies for its latency timer and a
// reply that pauses on the way all take longer than the first read; each
// value must still come out whole and under its own quantity.
TEST_F(EndToEnd, LateAndPiecewiseRepliesAreReadWhole) {
    const std::string name63 = "Sixty-three characters of sensor name, sent at the line's rate.";
    ASSERT_EQ(name63.size(), 63u);
    const std::vector<std::vector<std::string>> faults = {
        {"--delay=2500"},
        {"--delay=3000"},
        {"--delay=16000"},
        {"--delay=80000"},
        {"--latency=16"},
        {"--latency=16", "--delay=3000"},
        {"--split=GT:2:30000", "--split=GN:1:30000"},
    };
    for (const std::vector<std::string>& fault : faults) {
        SCOPED_TRACE(fault.back());
        ASSERT_TRUE(StartSensor(fault));
        EXPECT_TRUE(Ran(RunTool({"-d", "com3", "-a"}), 0, KPlainAll));
        EXPECT_TRUE(Ran(RunTool({"-d", "com3", "-a", "-j"}), 0, KJsonAll));
    }
    // 65 bytes take 5.6 ms on the line, far beyond the first read; through an
    // adapter they come as a full packet of 62 and the rest 16 ms later.
    for (const char* latency : {"--latency=0", "--latency=16"}) {
        SCOPED_TRACE(latency);
        ASSERT_TRUE(StartSensor({latency, "--name=" + name63}));
        EXPECT_TRUE(Ran(RunTool({"-d", "com3", "-n"}), 0, name63 + "\n"));
        EXPECT_TRUE(Ran(RunTool({"-d", "com3", "-t", "-n"}), 0, name63 + "\n"));
    }
}

TEST_F(EndToEnd, SilentSensorGivesMissingValues) {
    ASSERT_TRUE(StartSensor({"--silent=GH", "--silent=GN"}));
    EXPECT_TRUE(Ran(RunTool({"-d", "com3", "-a"}), 2, "23.4\nNaN\n1013.2\nUNKNOWN\n"));
    EXPECT_TRUE(Ran(RunTool({"-d", "com3", "-a", "-j"}), 2,
                        "{ \"temperature\": 23.4, \"humidity\": null, \"pressure\": 1013.2, \"name\": \"UNKNOWN\" }\n"));
    EXPECT_TRUE(Ran(RunTool({"-d", "com3", "-h"}), 2, "NaN\n"));

    ProcessResult verbose = RunTool({"-v", "-d", "com3", "-a"});
    ASSERT_TRUE(StripBanner(verbose));
    EXPECT_TRUE(Ran(verbose, 2, "23.4\nERROR: No response.\nNaN\n1013.2\nERROR: No response.\nUNKNOWN\n"));

    ProcessResult json = RunTool({"-v", "-d", "com3", "-a", "-j"});
    ASSERT_TRUE(StripBanner(json));
    EXPECT_TRUE(Ran(json, 2,
                        "{ \"temperature\": 23.4ERROR: No response.\n"
                        ", \"humidity\": null, \"pressure\": 1013.2ERROR: No response.\n"
                        ", \"name\": \"UNKNOWN\" }\n"));
}

// The sensor closes its end on receiving the pressure command: the quantities
// from there on are missing, the run still ends at once and normally.
TEST_F(EndToEnd, HangUpDuringAQueryLeavesTheRestMissing) {
    ASSERT_TRUE(StartSensor({"--hangup=GP"}));
    ProcessResult run = RunTool({"-v", "-d", "com3", "-a"});
    EXPECT_EQ(iSensor.WaitForExit(2000), 0);
    ASSERT_TRUE(StripBanner(run));
    // The read finds the hang-up as the platform reports it: a failed read,
    // or silence, which costs the second a silent sensor costs.
    const std::string head = "23.4\n45.6\n";
    const std::string tail = "NaN\nERROR: Error: Write\nUNKNOWN\n";
    ::testing::AssertionResult hungUp = Ran(run, 2, head + Platform().HungUpReadError() + "\n" + tail);
    EXPECT_TRUE(hungUp || Ran(run, 2, head + "ERROR: No response.\n" + tail)) << hungUp.message();
    EXPECT_LT(run.iSeconds, 2.0);
}

// Unplugged between two quantities: the sensor answered the humidity and is
// gone when the pressure's exchange begins.
TEST_F(EndToEnd, DeviceLostBetweenQuantities) {
    ASSERT_TRUE(StartSensor({"--hangup-after=GH"}));
    ProcessResult run = RunTool({"-v", "-d", "com3", "-a", "-j"});
    EXPECT_EQ(iSensor.WaitForExit(2000), 0);
    ASSERT_TRUE(StripBanner(run));
    // Whether the pressure command still got out before the end closed is a
    // race; either way that exchange fails, and the name's write cannot succeed.
    const std::string head = "{ \"temperature\": 23.4, \"humidity\": 45.6";
    const std::string tail = "\n, \"pressure\": nullERROR: Error: Write\n, \"name\": \"UNKNOWN\" }\n";
    ::testing::AssertionResult viaRead = Ran(run, 2, head + Platform().HungUpReadError() + tail);
    EXPECT_TRUE(viaRead || Ran(run, 2, head + "ERROR: Error: Write" + tail)) << viaRead.message();
    EXPECT_LT(run.iSeconds, 2.0);  // a hang-up read as silence costs a second
}
