// The runs that end with the help: the screen itself, option errors and the
// parser's environment.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli-run.h"

namespace {

const std::vector<std::string> KOptionLines = {
    "  --help                          Show this help.",
    "  -v, --verbose                   Verbose mode.",
    "  -d DEVICE, --device=DEVICE      Set device / port.",
    "  -t, --temperature               Read Temperature (default)",
    "  -h, --humidity                  Read Humidity",
    "  -p, --pressure                  Read Pressure",
    "  -n, --name                      Read Sensor name",
    "  -a, --all                       Read Temperature, Humidity and Pressure",
    "  -j, --json                      Result in JSON string",
};

// Everything after the banner line.
std::string HelpScreen() {
    std::string help = "\nUsage: tarnel-fake [options]\nOptions:\n";
    for (const std::string& line : KOptionLines) help += line + "\n";
    return help + "\n\n";
}

TEST(Help, OptionDescriptionsStartInColumn35) {
    for (const std::string& line : KOptionLines) {
        const std::size_t gap = line.find("   ");
        ASSERT_NE(gap, std::string::npos) << line;
        EXPECT_EQ(line.find_first_not_of(' ', gap), 34u) << line;
    }
}

TEST(Help, ScreenIsExact) {
    const TCliRun run = RunFake({}, "");
    EXPECT_EQ(run.iStatus, 1);
    EXPECT_EQ(run.iErr, "");
    ASSERT_TRUE(IsBannerLine(run.iOut.substr(0, run.iOut.find('\n') + 1))) << run.iOut;
    EXPECT_EQ(AfterBanner(run.iOut), HelpScreen());
}

TEST(Help, BannerMatcherNeedsTheStampForm) {
    EXPECT_TRUE(IsBannerLine("tarnel V1.00.00 (build on Jan 25 2019 16:09:56) x\n"));
    EXPECT_TRUE(IsBannerLine("tarnel V1.00.00 (build on Mar  7 2016 04:05:59) x y\n"));
    EXPECT_FALSE(IsBannerLine("tarnel V1.00.00 (build on Jan 5 2019 16:09:56) x\n"));
    EXPECT_FALSE(IsBannerLine("tarnel V1.00.00 (build on jan 25 2019 16:09:56) x\n"));
    EXPECT_FALSE(IsBannerLine("tarnel V1.00.00 (build on Jan 25 2019 16:09) x\n"));
    EXPECT_FALSE(IsBannerLine("tarnel V1.00.00 (build on Jan 25 2019 16:09:56)\n"));
}

struct THelpCase {
    std::vector<std::string> iArgs;
    std::string iDiagnostic;  // after "<program>: "; empty for none
    std::vector<std::string> iEnv;
};

class HelpRun : public ::testing::TestWithParam<THelpCase> {};

// The help instead of a query: banner once, help, status 1, and the port is
// never touched (the fake's trace stays empty).
TEST_P(HelpRun, PrintsTheHelpAndNeverOpensThePort) {
    const THelpCase& c = GetParam();
    const TCliRun run = RunFake(c.iArgs, Sensor(), c.iEnv);
    EXPECT_EQ(run.iStatus, 1);
    EXPECT_EQ(AfterBanner(run.iOut), HelpScreen());
    EXPECT_EQ(run.iErr, c.iDiagnostic.empty() ? "" : std::string(KProgram) + ": " + c.iDiagnostic + "\n");
    EXPECT_EQ(run.iTrace, "");
}

const std::vector<std::string> KPosix = {"POSIXLY_CORRECT=1"};

INSTANTIATE_TEST_SUITE_P(
    Cases, HelpRun,
    ::testing::Values(
        THelpCase{{}, "", {}},
        THelpCase{{"-v"}, "", {}},  // the banner once, not twice
        THelpCase{{"-t", "-a", "-j"}, "", {}},
        THelpCase{{"--help", "-d", "COM3"}, "", {}},
        THelpCase{{"-d", "COM3", "--help"}, "", {}},
        THelpCase{{"-d", "COM3", "--he"}, "", {}},
        THelpCase{{"-x", "-d", "COM3"}, "invalid option -- 'x'", {}},
        THelpCase{{"-d", "COM3", "-x"}, "invalid option -- 'x'", {}},
        THelpCase{{"-d", "COM3", "-x", "-y"}, "invalid option -- 'x'", {}},  // nothing after it is read
        THelpCase{{"-d", "COM3", "-tx"}, "invalid option -- 'x'", {}},
        THelpCase{{"-d"}, "option requires an argument -- 'd'", {}},
        THelpCase{{"-t", "--device"}, "option '--device' requires an argument", {}},
        THelpCase{{"--h", "-d", "COM3"}, "option '--h' is ambiguous; possibilities: '--help' '--humidity'", {}},
        THelpCase{{"-d", "COM3", "--json=1"}, "option '--json' doesn't allow an argument", {}},
        THelpCase{{"-d", "COM3", "--help=1"}, "option '--help' doesn't allow an argument", {}},
        THelpCase{{"--bogus", "-d", "COM3"}, "unrecognized option '--bogus'", {}},
        THelpCase{{"-d", "COM3", "-H"}, "invalid option -- 'H'", {}},
        // The parse stops at the first non-option: no device was set.
        THelpCase{{"com3", "-d", "com3"}, "", KPosix}));

}  // namespace
