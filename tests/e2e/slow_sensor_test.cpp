// Sensors that take their time and, as firmware does, answer one command at
// a time. A late reply must come out under its own quantity, or not at all:
// a value printed under another quantity is stored as true by the scripts
// that read it.
#include "e2e_fixture.h"

namespace {

std::vector<std::string> Sequential(std::vector<std::string> aArgs) {
    aArgs.insert(aArgs.begin(), "--sequential");
    return aArgs;
}

}  // namespace

// A one-wire conversion takes 750 ms; radio and network bridges add hundreds
// of milliseconds. Every reply has a second.
TEST_F(EndToEnd, LateSensorsGiveEveryValueUnderItsOwnQuantity) {
    for (const char* delay : {"--delay=150000", "--delay=750000", "--delay=GT:150000", "--delay=GT:750000"}) {
        SCOPED_TRACE(delay);
        ASSERT_TRUE(StartSensor(Sequential({delay})));
        EXPECT_TRUE(Ran(RunTool({"-d", "com3", "-a"}), 0, KPlainAll));
        EXPECT_TRUE(Ran(RunTool({"-d", "com3", "-a", "-j"}), 0, KJsonAll));
    }
}

// A reply that pauses on the way is read whole within the second. One that
// pauses beyond it is taken as it stands, and its rest is waited out and
// dropped before the next command, so that it is no later quantity's reply.
TEST_F(EndToEnd, APausedReplyIsReadWholeOrCutWithoutSpillingOver) {
    ASSERT_TRUE(StartSensor(Sequential({"--split=GT:2:300000", "--split=GN:1:300000"})));
    EXPECT_TRUE(Ran(RunTool({"-d", "com3", "-a"}), 0, KPlainAll));

    ASSERT_TRUE(StartSensor(Sequential({"--split=GT:2:1500000"})));
    ProcessResult run = RunTool({"-d", "com3", "-a"});
    EXPECT_TRUE(Ran(run, 0, "23.0\n45.6\n1013.2\nAB-1\n"));
    EXPECT_GE(run.iSeconds, 1.5);
    EXPECT_TRUE(Ran(RunTool({"-d", "com3", "-a", "-j"}), 0,
                    "{ \"temperature\": 23.0, \"humidity\": 45.6, \"pressure\": 1013.2, \"name\": \"AB-1\" }\n"));

    // Without a line end the reply is complete only at the second; the wait
    // for a rest that never comes costs another.
    ASSERT_TRUE(StartSensor(Sequential({"--reply=GT:32332e34"})));  // 23.4
    run = RunTool({"-d", "com3", "-a"});
    EXPECT_TRUE(Ran(run, 0, KPlainAll));
    EXPECT_GE(run.iSeconds, 2.0);
}

// A reply longer than 127 bytes is cut there while its rest is still on the
// line; that rest is read to its line feed and dropped, not taken for the
// humidity.
TEST_F(EndToEnd, TheRestOfAnOverlongReplyIsNoLaterQuantity) {
    ASSERT_TRUE(StartSensor(Sequential({"--temperature=12.5" + std::string(196, '0')})));
    EXPECT_TRUE(Ran(RunTool({"-d", "com3", "-a"}), 0, "12.5\n45.6\n1013.2\nAB-1\n"));
}

// A quantity the sensor ignores costs its second and nothing else: the
// other quantities are still asked and come out right.
TEST_F(EndToEnd, ASilentQuantityCostsOnlyItsOwnSecond) {
    ASSERT_TRUE(StartSensor(Sequential({"--silent=GT", "--silent=GH", "--silent=GP", "--silent=GN"})));
    ProcessResult run = RunTool({"-d", "com3", "-a"});
    EXPECT_TRUE(Ran(run, 2, KAllMissing));
    EXPECT_GE(run.iSeconds, 4.0);
    EXPECT_LT(run.iSeconds, 4.5);

    ASSERT_TRUE(StartSensor(Sequential({"--silent=GH"})));
    EXPECT_TRUE(Ran(RunTool({"-d", "com3", "-a"}), 2, "23.4\nNaN\n1013.2\nAB-1\n"));
    EXPECT_TRUE(Ran(RunTool({"-d", "com3", "-a", "-j"}), 2,
                    "{ \"temperature\": 23.4, \"humidity\": null, \"pressure\": 1013.2, \"name\": \"AB-1\" }\n"));
}
