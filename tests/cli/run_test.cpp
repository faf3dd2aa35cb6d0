// Query runs: the selection, both output forms, verbose order, exit statuses
// and the port opened, with the sensor scripted through the fake port.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "cli-run.h"
#include "json_check.h"

namespace {

using Args = std::vector<std::string>;

struct TRunCase {
    Args iArgs;
    std::string iScript;
    bool iBanner;  // verbose: the banner line comes first
    std::string iOut;
    int iStatus;
    std::vector<std::string> iEnv = {};
};

void PrintTo(const TRunCase& aCase, std::ostream* aOut) {
    *aOut << "tarnel";
    for (const std::string& arg : aCase.iArgs) *aOut << " " << arg;
    *aOut << " [" << aCase.iScript << "]";
}

void ExpectRun(const TRunCase& c) {
    const TCliRun run = RunFake(c.iArgs, c.iScript, c.iEnv);
    EXPECT_EQ(run.iStatus, c.iStatus);
    EXPECT_EQ(run.iErr, "");
    EXPECT_EQ(c.iBanner ? AfterBanner(run.iOut) : run.iOut, c.iOut);
    if (!c.iBanner && c.iOut.compare(0, 1, "{") == 0) {
        std::string why;
        EXPECT_TRUE(IsJsonText(run.iOut, &why)) << why << ": " << run.iOut;
    }
}

const std::string KAll = "23.4\n45.6\n1013.2\nAB-1\n";
const std::string KSensor = Sensor();

class Selection : public ::testing::TestWithParam<TRunCase> {};
TEST_P(Selection, QueriesAndPrintsTheSelectedQuantities) { ExpectRun(GetParam()); }

INSTANTIATE_TEST_SUITE_P(
    Options, Selection,
    ::testing::Values(
        TRunCase{{"-d", "COM3"}, KSensor, false, "1013.2\n", 0},
        TRunCase{{"-d", "COM3", "-a"}, KSensor, false, KAll, 0},
        TRunCase{{"-d", "COM3", "-t"}, KSensor, false, "23.4\n", 0},
        TRunCase{{"-d", "COM3", "-h"}, KSensor, false, "45.6\n", 0},
        TRunCase{{"-d", "COM3", "-p"}, KSensor, false, "1013.2\n", 0},
        TRunCase{{"-d", "COM3", "-n"}, KSensor, false, "AB-1\n", 0},
        TRunCase{{"-d", "COM3", "-a", "-t"}, KSensor, false, "23.4\n", 0},
        TRunCase{{"-d", "COM3", "-a", "-h"}, KSensor, false, "45.6\nAB-1\n", 0},
        TRunCase{{"-d", "COM3", "-a", "-p"}, KSensor, false, "1013.2\nAB-1\n", 0},
        TRunCase{{"-d", "COM3", "-n", "-p"}, KSensor, false, "1013.2\nAB-1\n", 0},
        TRunCase{{"-d", "COM3", "-n", "-h"}, KSensor, false, "45.6\nAB-1\n", 0},
        TRunCase{{"-d", "COM3", "-p", "-n"}, KSensor, false, "AB-1\n", 0},
        TRunCase{{"-d", "COM3", "-t", "-n"}, KSensor, false, "AB-1\n", 0},
        TRunCase{{"-d", "COM3", "-n", "-t"}, KSensor, false, "23.4\n", 0},
        TRunCase{{"-d", "COM3", "-h", "-p"}, KSensor, false, "1013.2\n", 0},
        TRunCase{{"-d", "COM3", "-a", "-h", "-t"}, KSensor, false, "23.4\n", 0},
        TRunCase{{"--device=COM3", "--all", "--temp"}, KSensor, false, "23.4\n", 0},
        TRunCase{{"--dev", "COM3", "--name", "--hum"}, KSensor, false, "45.6\nAB-1\n", 0},
        TRunCase{{"-ahjdCOM3"}, KSensor, false, "{ \"humidity\": 45.6, \"name\": \"AB-1\" }\n", 0},
        // Arguments that are not options are passed over; "--" ends the options.
        TRunCase{{"-d", "com3", "extra", "-t"}, KSensor, false, "23.4\n", 0},
        TRunCase{{"extra", "-d", "com3", "-t"}, KSensor, false, "23.4\n", 0},
        TRunCase{{"-d", "com3", "--", "-t"}, KSensor, false, "1013.2\n", 0},
        TRunCase{{"-d", "com3", "extra", "-t"}, KSensor, false, "1013.2\n", 0, {"POSIXLY_CORRECT=1"}},
        // -d takes the next argument whatever it looks like.
        TRunCase{{"-d", "-t"}, KSensor, false, "1013.2\n", 0}));

class OutputForm : public ::testing::TestWithParam<TRunCase> {};
TEST_P(OutputForm, PrintsEachItemInItsForm) { ExpectRun(GetParam()); }

INSTANTIATE_TEST_SUITE_P(
    Forms, OutputForm,
    ::testing::Values(
        TRunCase{{"-d", "COM3", "-j"}, KSensor, false, "{ \"pressure\": 1013.2 }\n", 0},
        TRunCase{{"-d", "COM3", "-a", "-j"}, KSensor, false,
                 "{ \"temperature\": 23.4, \"humidity\": 45.6, \"pressure\": 1013.2, \"name\": \"AB-1\" }\n", 0},
        TRunCase{{"-d", "COM3", "-n", "-p", "-j"}, KSensor, false, "{ \"pressure\": 1013.2, \"name\": \"AB-1\" }\n", 0},
        TRunCase{{"-d", "COM3", "-n", "-j"}, KSensor, false, "{ \"name\": \"AB-1\" }\n", 0},
        // Missing values: the separators do not depend on what was obtained.
        TRunCase{{"-d", "COM3", "-t", "-j"}, "", false, "{ \"temperature\": null }\n", 2},
        TRunCase{{"-d", "COM3", "-a", "-j"}, Reply("GH", "45.6\r\n") + Reply("GP", "1013.2\r\n"), false,
                 "{ \"temperature\": null, \"humidity\": 45.6, \"pressure\": 1013.2, \"name\": \"UNKNOWN\" }\n", 2},
        TRunCase{{"-d", "COM3", "-n", "-h", "-j"}, KSensor + "fail CreateFileA", false,
                 "{ \"humidity\": null, \"name\": \"UNKNOWN\" }\n", 2},
        TRunCase{{"-d", "COM3", "-n", "-p"}, KSensor + "fail CreateFileA", false, "NaN\nUNKNOWN\n", 2},
        TRunCase{{"-d", "COM3", "-a"}, Reply("GT", "23.4\r\n"), false, "23.4\nNaN\nNaN\nUNKNOWN\n", 2}));

// Messages stand exactly where their step ran.
class Verbose : public ::testing::TestWithParam<TRunCase> {};
TEST_P(Verbose, PrintsMessagesInRunOrder) { ExpectRun(GetParam()); }

const std::string KNoHumidity = Reply("GT", "23.4\r\n") + Reply("GP", "1013.2\r\n") + Reply("GN", "AB-1\r\n");
const std::string KAllMissing = "{ \"temperature\": null, \"humidity\": null, \"pressure\": null, \"name\": \"UNKNOWN\" }\n";

INSTANTIATE_TEST_SUITE_P(
    Order, Verbose,
    ::testing::Values(
        TRunCase{{"-v", "-d", "COM3", "-a"}, KSensor, true, KAll, 0},
        TRunCase{{"-d", "COM3", "-a", "-v"}, KNoHumidity, true, "23.4\nERROR: No response.\nNaN\n1013.2\nAB-1\n", 2},
        TRunCase{{"-d", "COM3", "-a", "-j", "-v"}, KNoHumidity, true,
                 "{ \"temperature\": 23.4ERROR: No response.\n"
                 ", \"humidity\": null, \"pressure\": 1013.2, \"name\": \"AB-1\" }\n", 2},
        // Writes: 1 and 2 for temperature, 3 and 4 humidity, 5 and 6 pressure.
        TRunCase{{"-v", "-d", "COM3", "-a"}, KSensor + "fail WriteFile 6", true,
                 "23.4\n45.6\nERROR: Error: Write\nNaN\nAB-1\n", 2},
        TRunCase{{"-v", "-j", "-d", "COM3", "-a"}, KSensor + "fail ReadFile 4", true,
                 "{ \"temperature\": 23.4, \"humidity\": 45.6, \"pressure\": 1013.2ERROR: Error: Read\n"
                 ", \"name\": \"UNKNOWN\" }\n", 2},
        TRunCase{{"-v", "-d", "COM3", "-t"}, KSensor + "fail ReadFile 1", true, "ERROR: Error: Read\nNaN\n", 2},
        TRunCase{{"-v", "-d", "COM3", "-n"}, KSensor + "fail WriteFile 2", true, "ERROR: Error: Write\nUNKNOWN\n", 2},
        // The lone line feed before a command is not checked.
        TRunCase{{"-v", "-d", "COM3", "-a"}, KSensor + "fail WriteFile 1; fail WriteFile 7", true, KAll, 0},
        // Without -v a failure shows only as a missing value.
        TRunCase{{"-d", "COM3", "-a"}, KSensor + "fail ReadFile 1; fail WriteFile 4", false,
                 "NaN\nNaN\n1013.2\nAB-1\n", 2},
        // A port that fails to open or to configure: its line after the banner, before the opening.
        TRunCase{{"-v", "-a", "-j", "-d", "com3"}, KSensor + "fail CreateFileA", true,
                 "COM3: Error: Open Port\n" + KAllMissing, 2},
        TRunCase{{"-v", "-d", "com3"}, KSensor + "fail GetCommState", true, "COM3: Error: Get DCB Error\nNaN\n", 2},
        TRunCase{{"-v", "-d", "com3"}, KSensor + "fail SetCommState", true, "COM3: Error: Set DCB\nNaN\n", 2},
        TRunCase{{"-v", "-d", "com3"}, KSensor + "fail SetCommTimeouts", true, "COM3: Error: Set Timeout\nNaN\n", 2},
        TRunCase{{"-v", "-d", "com3", "-n"}, KSensor + "fail GetCommProperties", true,
                 "COM3: Error: Get properties\nUNKNOWN\n", 2},
        TRunCase{{"-a", "-d", "com3"}, KSensor + "fail GetCommProperties", false, "NaN\nNaN\nNaN\nUNKNOWN\n", 2}));

// The text passed to Open: the first 63 characters, upper-cased.
struct TDeviceCase {
    std::string iDevice;
    std::string iShown;  // in the failure line
    std::string iPortName;
};

class DeviceText : public ::testing::TestWithParam<TDeviceCase> {};

TEST_P(DeviceText, IsCutAndUpperCasedBeforeTheNameIsDerived) {
    const TDeviceCase& c = GetParam();
    const TCliRun run = RunFake({"-v", "-d", c.iDevice}, "fail CreateFileA");
    EXPECT_EQ(run.iStatus, 2);
    EXPECT_EQ(AfterBanner(run.iOut), c.iShown + ": Error: Open Port\nNaN\n");
    EXPECT_EQ(run.iTrace, "CreateFileA \"" + c.iPortName +
                              "\" access=C0000000 share=0 security=null disposition=3 flags=0 template=null -> FAIL\n");
}

const std::string K66 = "abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz0123";

INSTANTIATE_TEST_SUITE_P(
    Cases, DeviceText,
    ::testing::Values(
        TDeviceCase{"com3" + K66, "COM3ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789ABCDEFGHIJKLMNOPQRSTUVW", "COM3"},
        // "COM" only after the 63rd character is cut off: COM1.
        TDeviceCase{std::string(65, 'x') + "com5", std::string(63, 'X'), "COM1"},
        TDeviceCase{std::string(59, 'x') + "com57", std::string(59, 'X') + "COM5", "COM5"},
        TDeviceCase{"", "", "COM1"},
        TDeviceCase{"\xE9" "com7", "\xE9" "COM7", "COM7"},
        TDeviceCase{"xcom7 +z", "XCOM7 +Z", "COM7"},
        // A device's path is shown and opened as typed, however long.
        TDeviceCase{"/dev/serial/by-id/" + K66, "/dev/serial/by-id/" + K66, "/dev/serial/by-id/" + K66},
        TDeviceCase{"x/dev/ttyusb0", "X/DEV/TTYUSB0", "COM1"}));

// The port opened, as the fake saw it.
struct TPortCase {
    Args iArgs;
    std::string iPortName;
};

class PortOpened : public ::testing::TestWithParam<TPortCase> {};

TEST_P(PortOpened, IsTheDerivedName) {
    const TCliRun run = RunFake(GetParam().iArgs, KSensor);
    EXPECT_EQ(run.iStatus, 0);
    const std::vector<std::string> opens = TraceOf(run.iTrace, "CreateFileA");
    ASSERT_EQ(opens.size(), 1u) << run.iTrace;
    EXPECT_EQ(opens[0].substr(0, opens[0].find(" access=")), "CreateFileA \"" + GetParam().iPortName + "\"");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PortOpened,
    ::testing::Values(TPortCase{{"-d", "com3"}, "COM3"}, TPortCase{{"--dev=com3"}, "COM3"},
                      TPortCase{{"--device", "com3"}, "COM3"}, TPortCase{{"-dcom3"}, "COM3"},
                      TPortCase{{"-tdcom3"}, "COM3"}, TPortCase{{"-d", "com4", "-d", "com3"}, "COM3"},
                      TPortCase{{"-d", "com9"}, "COM9"}, TPortCase{{"-d", "com10"}, "\\\\.\\COM10"},
                      TPortCase{{"-d", "com99"}, "\\\\.\\COM99"}, TPortCase{{"-d", "COM100"}, "\\\\.\\COM100"},
                      TPortCase{{"-d", "com4096"}, "\\\\.\\COM4096"},
                      TPortCase{{"-d", "com99999999999999999999"}, "\\\\.\\COM2147483647"},
                      TPortCase{{"-d", "com0"}, "COM1"}, TPortCase{{"-d", "com-5"}, "COM1"},
                      TPortCase{{"-d", "com"}, "COM1"}, TPortCase{{"-d", "comcom5"}, "COM1"},
                      TPortCase{{"-d", "dev/ttyS1"}, "COM1"}, TPortCase{{"-d", "-t"}, "COM1"},
                      TPortCase{{"-d", "/dev/ttyUSB0"}, "/dev/ttyUSB0"}, TPortCase{{"-d", "/dev/com3"}, "/dev/com3"}));

const char KOpenTrace[] =
    "CreateFileA \"COM3\" access=C0000000 share=0 security=null disposition=3 flags=0 template=null\n"
    "GetCommState\n"
    "SetCommState baud=115200 bits=8 parity=0 stop=0 flags=00001091\n"
    "SetCommTimeouts 1 0 1 0 0\n"
    "GetCommProperties\n";

const char KCloseTrace[] = "PurgeComm 3\nCloseHandle\n";

// Each exchange: line feed, purge, command, pause, one read of 127; a failed
// command write skips pause and read. The port is closed at exit.
TEST(Exchange, EveryQuantityHasItsOwnExchange) {
    const TCliRun run = RunFake({"-d", "COM3", "-a"}, KSensor + "fail WriteFile 2; feed 3939390d0a");
    EXPECT_EQ(run.iStatus, 2);
    EXPECT_EQ(run.iOut, "NaN\n45.6\n1013.2\nAB-1\n");
    EXPECT_EQ(run.iTrace, std::string(KOpenTrace) +
                              "WriteFile 0a\nPurgeComm 12\nWriteFile 47540a -> FAIL\n"
                              "WriteFile 0a\nPurgeComm 12\nWriteFile 47480a\nSleep 1\nReadFile 127 -> 34352e360d0a\n"
                              "WriteFile 0a\nPurgeComm 12\nWriteFile 47500a\nSleep 1\nReadFile 127 -> 313031332e320d0a\n"
                              "WriteFile 0a\nPurgeComm 12\nWriteFile 474e0a\nSleep 1\nReadFile 127 -> 41422d310d0a\n" +
                              KCloseTrace);
}

TEST(Exchange, NoneRunsWhenTheOpenFailed) {
    // Configuration failed: the port stays open until exit, but is not used.
    const TCliRun config = RunFake({"-d", "COM3", "-a"}, KSensor + "fail SetCommTimeouts");
    EXPECT_EQ(config.iTrace,
              "CreateFileA \"COM3\" access=C0000000 share=0 security=null disposition=3 flags=0 template=null\n"
              "GetCommState\nSetCommState baud=115200 bits=8 parity=0 stop=0 flags=00001091\n"
              "SetCommTimeouts 1 0 1 0 0 -> FAIL\n" + std::string(KCloseTrace));
    const TCliRun open = RunFake({"-d", "COM3", "-a"}, KSensor + "fail CreateFileA");
    EXPECT_EQ(TraceOf(open.iTrace, "CreateFileA").size(), 1u);
    EXPECT_EQ(TraceOf(open.iTrace, "CloseHandle").size(), 0u);
    EXPECT_EQ(TraceOf(open.iTrace, "WriteFile").size(), 0u);
}

// Output that cannot be written makes the run end with status 2 and one line
// on standard error, whatever it was doing; the run itself goes on.
TEST(Output, LostOutputIsNoSuccess) {
    struct TCase {
        Args iArgs;
        std::string iStdoutTo;
        int iStatus;
        std::string iErr;
    };
    const std::vector<TCase> cases = {
        {{"-d", "COM3", "-a"}, "/dev/full", 2, "tarnel: write error: No space left on device\n"},
        {{"-d", "COM3", "-a", "-j", "-v"}, "/dev/full", 2, "tarnel: write error: No space left on device\n"},
        {{"-d", "COM3", "-a"}, "closed", 2, "tarnel: write error: Bad file descriptor\n"},
        {{}, "/dev/full", 2, "tarnel: write error: No space left on device\n"},
        {{"-d", "COM3", "-a"}, "/dev/null", 0, ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.iStdoutTo + ", " + std::to_string(c.iArgs.size()) + " arguments");
        const TCliRun run = RunFake(c.iArgs, KSensor, {}, c.iStdoutTo);
        EXPECT_EQ(run.iStatus, c.iStatus);
        EXPECT_EQ(run.iErr, c.iErr);
        // Every exchange still ran.
        if (!c.iArgs.empty()) {
            EXPECT_EQ(TraceOf(run.iTrace, "ReadFile").size(), 4u);
        }
    }
}

// A script the fake cannot read must not pass for a quiet run.
TEST(FakeScript, UnreadableStatementsStopTheProgram) {
    for (const char* script : {"fail WritFile 2", "fail WriteFile 0", "reply GT 3g", "replies GT 31"}) {
        const TCliRun run = RunFake({"-d", "COM3"}, script);
        EXPECT_EQ(run.iStatus, 99) << script;
        EXPECT_EQ(run.iOut, "") << script;
        EXPECT_EQ(run.iErr.compare(0, 24, "tarnel-fake: TARNEL_FAKE"), 0) << run.iErr;
    }
}

}  // namespace
