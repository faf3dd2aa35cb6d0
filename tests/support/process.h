// Runs a program of the project as a child process and collects what it printed.
#ifndef TARNEL_TESTS_PROCESS_H
#define TARNEL_TESTS_PROCESS_H

#include <string>
#include <vector>

struct ProcessResult {
    int iStatus = -1;        // exit status, or -1 when killed by a signal / not started
    int iSignal = 0;         // signal that ended it, 0 if it exited
    bool iTimedOut = false;  // killed because it ran past the limit
    std::string iOut;
    std::string iErr;
    double iSeconds = 0.0;   // wall time from start to exit
};

struct ProcessOptions {
    std::vector<std::string> iSetEnv;    // "NAME=value" entries added to (or replacing in) the environment
    std::vector<std::string> iUnsetEnv;  // names removed from the environment
    std::string iStdin;                  // bytes given on standard input (then closed)
    // Standard output: "" a pipe read into iOut; "closed"; "broken-pipe", a
    // pipe whose reading end is closed; otherwise a file to write, such as
    // /dev/full.
    std::string iStdoutTo;
    int iTimeoutMs = 20000;
};

ProcessResult RunProcess(const std::vector<std::string>& aArgv, const ProcessOptions& aOptions = {});

#endif
