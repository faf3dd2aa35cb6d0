// Command line of the simulated sensor: what it answers and which faults it plays.
#ifndef TARNEL_SENSOR_SIM_OPTIONS_H
#define TARNEL_SENSOR_SIM_OPTIONS_H

#include <cstddef>
#include <cstdio>
#include <string>

enum class SimCommand { Temperature, Humidity, Pressure, Name };
constexpr int KCommandCount = 4;

// How the sensor answers one command.
struct CommandBehaviour {
    std::string iReply;          // bytes sent for the command
    bool iSilent = false;        // no answer at all
    long iDelayUs = 0;           // pause before the first byte
    bool iSplit = false;         // first iSplitBytes, pause iSplitUs, then the rest
    std::size_t iSplitBytes = 0;
    long iSplitUs = 0;
    bool iHangup = false;        // hang up on receipt, without answering
    bool iHangupAfter = false;   // answer, then hang up at the next byte received
};

// Line settings put on the terminal at start, so that a test can tell which
// ones the program under test changed.
struct StartLine {
    bool iSet = false;
    unsigned iSpeed = 0;
    int iDataBits = 8;
    char iParity = 'N';
    int iStopBits = 1;
    bool iRtsCts = false;
    bool iXonXoff = false;
};

struct SimOptions {
    CommandBehaviour iCommands[KCommandCount];
    std::string iLinkPath;
    std::string iTerminalPath;   // serve this terminal; empty: a pseudo-terminal of our own
    std::string iReportPath;
    std::string iLogPath;
    bool iRealtime = false;
    bool iPacing = true;         // bytes take their time on the line
    bool iSequential = false;    // one command at a time, as firmware answers
    long iLatencyUs = 0;         // a USB adapter's latency timer; 0: none
    StartLine iStartLine;
};

enum class ParseOutcome { Run, Help, Error };

ParseOutcome ParseSimOptions(int aArgc, char** aArgv, SimOptions& aOptions, std::string& aError);
void PrintSimHelp(std::FILE* aOut, const char* aProgram);

const char* CommandText(SimCommand aCommand);
bool CommandFromText(const std::string& aText, SimCommand& aCommand);

#endif
