// Ports that cannot be used, and device texts of every shape.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <cctype>
#include <fstream>

#include "e2e_fixture.h"
#include "sensor_files.h"

// Another program holding the port is how a second user of a serial line is
// kept out on Linux. A port busy for a moment is waited for, up to a second;
// one that stays busy is not used.
TEST_F(EndToEnd, PortLockedByAnotherProcessIsWaitedForUpToASecond) {
    std::string why;
    if (!Platform().RefusesHeldPorts(why)) GTEST_SKIP() << why;
    ASSERT_TRUE(StartSensor({}));
    int holder = open(iSensor.TerminalPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);

    ProcessResult verbose = RunTool({"-v", "-d", "com3", "-a"});
    ASSERT_TRUE(StripBanner(verbose));
    EXPECT_TRUE(Ran(verbose, 2, std::string("COM3: Error: Open Port\n") + KAllMissing));
    EXPECT_GE(verbose.iSeconds, 1.0);
    EXPECT_LT(verbose.iSeconds, 3.0);

    // Let go while the run waits.
    std::thread release([holder] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        close(holder);
    });
    ProcessResult waited = RunTool({"-d", "com3", "-a", "-j"});
    release.join();
    EXPECT_TRUE(Ran(waited, 0, KJsonAll));
    EXPECT_GE(waited.iSeconds, 0.3);

    ASSERT_EQ(StopSensor(), 0);
    std::vector<std::string> commands;
    ASSERT_TRUE(SentCommands(&commands));
    EXPECT_EQ(commands, (std::vector<std::string>{"GT", "GH", "GP", "GN"})) << "the locked run must not write";
}

// Three readings polled on one schedule, and more: runs started together each
// get the port in turn, and every value lands under its own quantity.
TEST_F(EndToEnd, RunsStartedTogetherAllSucceed) {
    std::string why;
    if (!Platform().RefusesHeldPorts(why)) GTEST_SKIP() << why;
    ASSERT_TRUE(StartSensor({}));
    constexpr int KRuns = 20;
    std::vector<ProcessResult> runs(KRuns);
    std::vector<std::thread> threads;
    for (int i = 0; i < KRuns; ++i) {
        threads.emplace_back([this, &runs, i] { runs[static_cast<std::size_t>(i)] = RunTool({"-d", "com3", "-a"}); });
    }
    for (std::thread& thread : threads) thread.join();
    for (int i = 0; i < KRuns; ++i) EXPECT_TRUE(Ran(runs[static_cast<std::size_t>(i)], 0, KPlainAll)) << "run " << i;
}

// Things a port name may be mapped to that are no serial line at all.
TEST_F(EndToEnd, PortsThatAreNoTerminalGiveMissingValues) {
    const std::string file = TempPath("regular-file");
    const std::string fileContent = "not a sensor\n";
    std::ofstream(file) << fileContent;
    const std::string emptyFile = TempPath("empty-file");
    std::ofstream(emptyFile).close();
    const std::string fifo = TempPath("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string directory = TempPath("directory");
    ASSERT_EQ(mkdir(directory.c_str(), 0700), 0);
    const std::string missing = TempPath("missing");

    struct TCase {
        std::string iDevice;
        std::vector<std::string> iMessages;  // one of these
    };
    const std::vector<TCase> cases = {
        // Another process may be holding /dev/null locked at that moment.
        {"/dev/null", {"Error: Get DCB Error", "Error: Open Port"}},
        {file, {"Error: Get DCB Error"}},
        {emptyFile, {"Error: Get DCB Error"}},
        {fifo, {"Error: Get DCB Error"}},
        {directory, {"Error: Open Port"}},
        {missing, {"Error: Open Port"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.iDevice);
        ASSERT_TRUE(MapPort(3, c.iDevice));
        EXPECT_TRUE(Ran(RunTool({"-d", "com3"}), 2, "NaN\n"));
        EXPECT_TRUE(Ran(RunTool({"-d", "com3", "-n", "-p", "-j"}), 2,
                            "{ \"pressure\": null, \"name\": \"UNKNOWN\" }\n"));
        ProcessResult verbose = RunTool({"-v", "-d", "com3", "-a"});
        ASSERT_TRUE(StripBanner(verbose));
        ::testing::AssertionResult matched = ::testing::AssertionFailure();
        for (const std::string& message : c.iMessages) {
            matched = Ran(verbose, 2, "COM3: " + message + "\n" + KAllMissing);
            if (matched) break;
        }
        EXPECT_TRUE(matched);
    }
    // Nothing was written into the file, nor anything created.
    EXPECT_EQ(ReadWholeFile(file), fileContent);
    EXPECT_EQ(ReadWholeFile(emptyFile), "");
    EXPECT_NE(access(missing.c_str(), F_OK), 0);
}

// A device text far beyond every buffer: cut to its first 63 characters, it
// still names a port, and nothing else happens to the run.
TEST_F(EndToEnd, HugeDeviceTextIsCutAndStillNamesAPort) {
    const std::size_t length = std::min<std::size_t>(100000, Platform().LongestArgument());
    RecordProperty("device_text_length", std::to_string(length));
    const std::string noNumber(length, 'x');
    ProcessResult plain = RunTool({"-d", noNumber});
    EXPECT_TRUE(Ran(plain, 2, "NaN\n"));
    ProcessResult verbose = RunTool({"-v", "-d", noNumber, "-a"});
    ASSERT_TRUE(StripBanner(verbose));
    EXPECT_TRUE(Ran(verbose, 2, std::string(63, 'X') + ": Error: Open Port\n" + KAllMissing));

    ASSERT_TRUE(StartSensor({}, 7));
    const std::string withNumber = "com7" + std::string(length - 4, 'y');
    EXPECT_TRUE(Ran(RunTool({"-d", withNumber, "-a"}), 0, KPlainAll));
    EXPECT_TRUE(Ran(RunTool({"--device=" + withNumber, "-t", "-j"}), 0, "{ \"temperature\": 23.4 }\n"));
}

// The device text reaches the device its port number stands for, and no
// other: every port not under test leads nowhere.
TEST_F(EndToEnd, DeviceTextsReachTheirPortNumber) {
    struct TCase {
        std::string iDevice;
        int iPort;
    };
    const std::vector<TCase> cases = {
        {"com3", 3},
        {"COM9", 9},
        {"\\\\.\\com12", 12},
        {"xcom42abc", 42},
        {"COM 7", 7},
        {"COM100", 100},
        {"COM0", 1},
        {"COM", 1},
        {"dev/ttyS1", 1},
        {"", 1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE("device \"" + c.iDevice + "\"");
        ASSERT_TRUE(StartSensor({}, c.iPort));
        EXPECT_TRUE(Ran(RunTool({"-d", c.iDevice}), 0, "1013.2\n"));
    }
}

// A Linux user names the device by its path, often a link under
// /dev/serial/by-id longer than 63 characters: it is used as typed.
TEST_F(EndToEnd, DevicePathsAreOpenedAsTyped) {
    ASSERT_TRUE(StartSensor({}));
    const std::string link = TempPath("usb-Tarnel_Sensor_Bridge_AB-1_0123456789abcdef-if00-port0");
    ASSERT_GT(link.size(), 63u);
    ASSERT_EQ(symlink(iSensor.TerminalPath().c_str(), link.c_str()), 0);
    std::string why;
    if (!Platform().OpensDevicePaths(why)) {
        ASSERT_TRUE(MapPort(1, iSensor.TerminalPath()));
        EXPECT_TRUE(Ran(RunTool({"-d", link}), 0, "1013.2\n"));
        GTEST_SKIP() << why;
    }
    for (const std::string& path : {iSensor.TerminalPath(), link}) {
        SCOPED_TRACE(path);
        EXPECT_TRUE(Ran(RunTool({"-d", path, "-a"}), 0, KPlainAll));
        EXPECT_TRUE(Ran(RunTool({"--device=" + path, "-t", "-j"}), 0, "{ \"temperature\": 23.4 }\n"));
    }

    const std::string missing = TempPath("No-Such-Device_") + std::string(60, 'x');
    ProcessResult verbose = RunTool({"-v", "-d", missing, "-a"});
    ASSERT_TRUE(StripBanner(verbose));
    EXPECT_TRUE(Ran(verbose, 2, missing + ": Error: Open Port\n" + KAllMissing));

    // Only a leading "/" makes a path; anything else is a COM text.
    ProcessResult com = RunTool({"-v", "-d", "x" + link});
    ASSERT_TRUE(StripBanner(com));
    std::string shown = ("X" + link).substr(0, 63);
    for (char& c : shown) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_TRUE(Ran(com, 2, shown + ": Error: Open Port\nNaN\n"));
}

// Output that cannot be written: the run goes on and ends with status 2 and a
// line on standard error. With standard output closed, the port must not
// take its place: the sensor sees only the exchanges.
TEST_F(EndToEnd, LostOutputEndsWithAWriteError) {
    struct TCase {
        std::string iStdoutTo;
        std::string iReason;
    };
    const std::vector<TCase> cases = {
        {"/dev/full", "No space left on device"},
        {"closed", "Bad file descriptor"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.iStdoutTo);
        ASSERT_TRUE(StartSensor({}));
        ProcessResult run = RunTool({"-d", "com3", "-a"}, c.iStdoutTo);
        EXPECT_FALSE(run.iTimedOut);
        EXPECT_EQ(run.iSignal, 0);
        EXPECT_EQ(run.iStatus, 2);
        EXPECT_EQ(run.iErr, "tarnel: write error: " + c.iReason + "\n");
        ASSERT_EQ(StopSensor(), 0);
        std::vector<std::string> commands;
        EXPECT_TRUE(SentCommands(&commands));
        EXPECT_EQ(commands, (std::vector<std::string>{"GT", "GH", "GP", "GN"}));
    }

    // A pipe nobody reads keeps the platform's way: SIGPIPE on POSIX.
    ASSERT_TRUE(StartSensor({}));
    ProcessResult broken = RunTool({"-d", "com3", "-a"}, "broken-pipe");
    if (Platform().BrokenPipeIsASignal()) {
        EXPECT_EQ(broken.iSignal, SIGPIPE);
    } else {
        EXPECT_EQ(broken.iStatus, 2);
        EXPECT_EQ(broken.iErr.compare(0, 21, "tarnel: write error: "), 0) << broken.iErr;
    }
}
