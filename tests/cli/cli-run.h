// Runs the program built on the fake port and collects what it did.
#ifndef TARNEL_TESTS_CLI_RUN_H
#define TARNEL_TESTS_CLI_RUN_H

#include <string>
#include <vector>

struct TCliRun {
    int iStatus = -1;
    std::string iOut;
    std::string iErr;
    std::string iTrace;  // the fake's call trace, one line per call
};

// The path of the program; the parser's diagnostics begin with it.
extern const char KProgram[];

// Runs it with the arguments and the fake's script; POSIXLY_CORRECT is
// unset unless aEnv sets it. aStdoutTo as in ProcessOptions.
TCliRun RunFake(const std::vector<std::string>& aArgs, const std::string& aScript,
                const std::vector<std::string>& aEnv = {}, const std::string& aStdoutTo = "");

// The script statement that makes the sensor answer CMD with the bytes.
std::string Reply(const std::string& aCommand, const std::string& aBytes);

// 23.4, 45.6, 1013.2 and AB-1, each ended by a carriage return and a line feed.
std::string Sensor();

// The banner line: its build stamp has the form "Jan 25 2019 16:09:56".
bool IsBannerLine(const std::string& aLine);

// The output after a leading banner line; "(no banner)" and the whole
// output when it does not begin with one.
std::string AfterBanner(const std::string& aOut);

// The trace lines that begin with the operation's name.
std::vector<std::string> TraceOf(const std::string& aTrace, const std::string& aName);

#endif
