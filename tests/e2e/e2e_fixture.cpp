#include "e2e_fixture.h"

#include <ftw.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <regex>

#include "sensor_files.h"

const char* const KPlainAll = "23.4\n45.6\n1013.2\nAB-1\n";
const char* const KAllMissing = "NaN\nNaN\nNaN\nUNKNOWN\n";
const char* const KJsonAll =
    "{ \"temperature\": 23.4, \"humidity\": 45.6, \"pressure\": 1013.2, \"name\": \"AB-1\" }\n";

namespace {

int RemoveEntry(const char* aPath, const struct stat*, int, struct FTW*) { return remove(aPath); }

}  // namespace

void EndToEnd::SetUp() {
    iTool = ToolFromEnvironment();
    iPortMap.reset(new CPortMap(iTool.iTool));
    std::string why;
    if (!iPortMap->Supported(why)) {
        if (!iPortMap->Known()) FAIL() << why;
        GTEST_SKIP() << why;
    }

    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/tarnel-e2e-XXXXXX";
    ASSERT_NE(mkdtemp(&pattern[0]), nullptr) << "cannot make a temporary directory";
    iTempDir = pattern;

    iToolOptions.iTimeoutMs = KToolTimeLimitMs;
    iPortMap->Isolate(iToolOptions);
    // A device text without a usable number means COM1; no test may ever
    // reach a real serial port through it.
    ASSERT_TRUE(MapPort(1, NowherePath()));
}

void EndToEnd::TearDown() {
    if (iPortMap) {
        StopSensor();
        iPortMap->Clear();
    }
    if (!iTempDir.empty()) nftw(iTempDir.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

::testing::AssertionResult EndToEnd::StartSensor(const std::vector<std::string>& aArgs, int aPort) {
    StopSensor();
    ++iSensorCount;
    iLogPath = TempPath("sensor-" + std::to_string(iSensorCount) + ".log");
    iReportPath = TempPath("sensor-" + std::to_string(iSensorCount) + ".report");
    std::vector<std::string> args = {"--log=" + iLogPath, "--report=" + iReportPath};
    args.insert(args.end(), aArgs.begin(), aArgs.end());
    std::string error;
    if (!iSensor.Start(args, &error)) return ::testing::AssertionFailure() << error;
    iSensorPort = aPort;
    return MapPort(aPort, iSensor.TerminalPath());
}

int EndToEnd::StopSensor() {
    int status = iSensor.Stop();
    if (iSensorPort != 0) {
        std::string error;
        iPortMap->Map(iSensorPort, NowherePath(), iToolOptions, error);
        iSensorPort = 0;
    }
    return status;
}

::testing::AssertionResult EndToEnd::MapPort(int aPort, const std::string& aDevice) {
    std::string error;
    if (!iPortMap->Map(aPort, aDevice, iToolOptions, error)) return ::testing::AssertionFailure() << error;
    return ::testing::AssertionSuccess();
}

ProcessResult EndToEnd::RunTool(const std::vector<std::string>& aArgs, const std::string& aStdoutTo) {
    ProcessOptions options = iToolOptions;
    options.iStdoutTo = aStdoutTo;
    ProcessResult run = RunProcess(ToolArgv(iTool, aArgs), options);
    iPortMap->Normalize(run);
    return run;
}

::testing::AssertionResult EndToEnd::Ran(const ProcessResult& aRun, int aStatus, const std::string& aOut) const {
    ::testing::AssertionResult result = RanWith(aRun, aStatus, aOut);
    if (!result && !iLogPath.empty()) {
        // The sensor writes its log from a thread of its own; give it time.
        usleep(200000);
        result << "\n  the sensor's last traffic:\n" << SensorTimeline(ReadWholeFile(iLogPath), 24);
    }
    return result;
}

std::string EndToEnd::SensorLog() const { return SensorReceivedBytes(ReadWholeFile(iLogPath)); }

::testing::AssertionResult EndToEnd::SentCommands(std::vector<std::string>* aCommands, int* aLoneFeeds) const {
    const std::string sent = SensorLog();
    int loneFeeds = 0;
    std::string problem;
    aCommands->clear();
    if (!SplitExchanges(sent, *aCommands, loneFeeds, problem)) {
        return ::testing::AssertionFailure() << problem << " in \"" << Visible(sent) << "\"";
    }
    if (aLoneFeeds != nullptr) *aLoneFeeds = loneFeeds;
    return ::testing::AssertionSuccess();
}

std::vector<TSensorChunk> EndToEnd::SensorTraffic() const { return SensorChunks(ReadWholeFile(iLogPath)); }

std::vector<std::string> EndToEnd::SensorReport() const { return SplitLines(ReadWholeFile(iReportPath)); }

::testing::AssertionResult RanWith(const ProcessResult& aRun, int aStatus, const std::string& aOut) {
    if (aRun.iTimedOut) {
        return ::testing::AssertionFailure() << "still running after " << KToolTimeLimitMs << " ms; printed \""
                                             << Visible(aRun.iOut) << "\"";
    }
    if (aRun.iSignal != 0) return ::testing::AssertionFailure() << "ended by signal " << aRun.iSignal;
    ::testing::AssertionResult result = ::testing::AssertionSuccess();
    if (aRun.iStatus != aStatus || aRun.iOut != aOut || !aRun.iErr.empty()) {
        return ::testing::AssertionFailure() << "\n  status " << aRun.iStatus << " (want " << aStatus << ")"
                                             << "\n  stdout \"" << Visible(aRun.iOut) << "\""
                                             << "\n    want \"" << Visible(aOut) << "\""
                                             << "\n  stderr \"" << Visible(aRun.iErr) << "\"";
    }
    return result;
}

bool TakeBanner(const std::string& aOut, std::string& aRest) {
    static const std::regex KBanner(
        "tarnel V1\\.00\\.00 \\(build on [A-Z][a-z]{2} [ 123][0-9] [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}\\) [^\\n]*");
    std::string::size_type end = aOut.find('\n');
    if (end == std::string::npos || !std::regex_match(aOut.substr(0, end), KBanner)) return false;
    aRest = aOut.substr(end + 1);
    return true;
}

::testing::AssertionResult StripBanner(ProcessResult& aRun) {
    std::string rest;
    if (!TakeBanner(aRun.iOut, rest)) {
        return ::testing::AssertionFailure() << "no banner line; status " << aRun.iStatus << ", stdout \""
                                             << Visible(aRun.iOut.substr(0, 300)) << "\", stderr \""
                                             << Visible(aRun.iErr) << "\"";
    }
    aRun.iOut = rest;
    return ::testing::AssertionSuccess();
}

std::string LowerJsonEscapes(const std::string& aText) {
    std::string text = aText;
    std::string::size_type at = 0;
    while (at + 1 < text.size()) {
        if (text[at] != '\\') {
            ++at;
            continue;
        }
        if (text[at + 1] == 'u') {
            for (std::string::size_type i = at + 2; i < at + 6 && i < text.size(); ++i) {
                if (text[i] >= 'A' && text[i] <= 'F') text[i] = static_cast<char>(text[i] - 'A' + 'a');
            }
        }
        at += 2;
    }
    return text;
}
