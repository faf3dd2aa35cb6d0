#include "cli-run.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

#include "fake-comm.h"
#include "process.h"

const char KProgram[] = TARNEL_FAKE_PATH;

namespace {

std::string TracePath() {
    static std::atomic<int> counter{0};
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/tarnel-cli-" +
           std::to_string(getpid()) + "-" + std::to_string(++counter) + ".trace";
}

std::string Slurp(const std::string& aPath) {
    std::ifstream in(aPath, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TCliRun RunFake(const std::vector<std::string>& aArgs, const std::string& aScript,
                const std::vector<std::string>& aEnv, const std::string& aStdoutTo) {
    const std::string trace = TracePath();
    std::remove(trace.c_str());
    std::vector<std::string> argv = {KProgram};
    argv.insert(argv.end(), aArgs.begin(), aArgs.end());
    ProcessOptions options;
    options.iUnsetEnv = {"POSIXLY_CORRECT"};
    options.iSetEnv = aEnv;
    options.iSetEnv.push_back("TARNEL_FAKE=" + aScript + "; trace " + trace);
    options.iTimeoutMs = 10000;
    options.iStdoutTo = aStdoutTo;
    const ProcessResult result = RunProcess(argv, options);
    TCliRun run;
    run.iStatus = result.iStatus;
    run.iOut = result.iOut;
    run.iErr = result.iErr;
    run.iTrace = Slurp(trace);
    std::remove(trace.c_str());
    return run;
}

std::string Reply(const std::string& aCommand, const std::string& aBytes) {
    return "reply " + aCommand + " " + FakeHex(aBytes) + "; ";
}

std::string Sensor() {
    return Reply("GT", "23.4\r\n") + Reply("GH", "45.6\r\n") + Reply("GP", "1013.2\r\n") + Reply("GN", "AB-1\r\n");
}

bool IsBannerLine(const std::string& aLine) {
    static const std::regex banner(
        "tarnel V1\\.00\\.00 \\(build on (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
        "[ 123][0-9] [0-9]{4} [0-2][0-9]:[0-5][0-9]:[0-5][0-9]\\) [^\n]+\n");
    return std::regex_match(aLine, banner);
}

std::string AfterBanner(const std::string& aOut) {
    const std::size_t end = aOut.find('\n');
    if (end == std::string::npos || !IsBannerLine(aOut.substr(0, end + 1))) return "(no banner)" + aOut;
    return aOut.substr(end + 1);
}

std::vector<std::string> TraceOf(const std::string& aTrace, const std::string& aName) {
    std::vector<std::string> lines;
    std::istringstream in(aTrace);
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, aName.size() + 1, aName + " ") == 0 || line == aName) lines.push_back(line);
    }
    return lines;
}
