// The real tarnel against the simulated sensor on a pseudo-terminal.
#ifndef TARNEL_E2E_FIXTURE_H
#define TARNEL_E2E_FIXTURE_H

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "port_map.h"
#include "process.h"
#include "sensor_files.h"
#include "sensor_sim.h"
#include "tool_runner.h"

// Every run of the tool must end by itself well within this.
constexpr int KToolTimeLimitMs = 5000;

extern const char* const KPlainAll;  // -a with the sensor's default readings
extern const char* const KJsonAll;   // -a -j likewise
extern const char* const KAllMissing;  // -a with nothing obtained

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts a fresh sensor with these options (plus its log and report) and
    // makes COM<aPort> reach it.
    ::testing::AssertionResult StartSensor(const std::vector<std::string>& aArgs, int aPort = 3);
    // Stops the sensor; afterwards its log and report are complete, and its
    // port leads nowhere (a later terminal may get the same path).
    int StopSensor();
    ::testing::AssertionResult MapPort(int aPort, const std::string& aDevice);

    // aStdoutTo as in ProcessOptions: by default the output is collected.
    ProcessResult RunTool(const std::vector<std::string>& aArgs, const std::string& aStdoutTo = "");

    // RanWith, and on failure what the sensor saw and sent, with its times.
    ::testing::AssertionResult Ran(const ProcessResult& aRun, int aStatus, const std::string& aOut) const;

    // Bytes the tool wrote to the sensor; call after StopSensor.
    std::string SensorLog() const;
    // The commands the tool sent, and how many lone line feeds got through
    // the purge; a failure with the first byte that fits no exchange. Call
    // after StopSensor.
    ::testing::AssertionResult SentCommands(std::vector<std::string>* aCommands, int* aLoneFeeds = nullptr) const;
    // Every chunk received and sent, with its time; call after StopSensor.
    std::vector<TSensorChunk> SensorTraffic() const;
    std::vector<std::string> SensorReport() const;

    std::string TempPath(const std::string& aName) const { return iTempDir + "/" + aName; }
    std::string NowherePath() const { return TempPath("no-such-port"); }
    std::string UsageName() const { return iPortMap->UsageName(); }
    // Where the platform of the tool under test really differs.
    const CPortMap& Platform() const { return *iPortMap; }
    bool NativeTool() const { return iTool.iRunner.empty(); }

    CSensorSim iSensor;

private:
    std::string iTempDir;
    ToolCommand iTool;
    std::unique_ptr<CPortMap> iPortMap;
    ProcessOptions iToolOptions;
    std::string iLogPath;
    std::string iReportPath;
    int iSensorCount = 0;
    int iSensorPort = 0;
};

// The run ended by itself with this status, printed exactly this and wrote
// nothing to standard error.
::testing::AssertionResult RanWith(const ProcessResult& aRun, int aStatus, const std::string& aOut);

// Splits off the verbose banner line; false when the output does not begin with one.
bool TakeBanner(const std::string& aOut, std::string& aRest);
// The same on a run's output, in place, with the whole run in the failure.
::testing::AssertionResult StripBanner(ProcessResult& aRun);

// Output with the hex digits of \u escapes in lower case.
std::string LowerJsonEscapes(const std::string& aText);

#endif
