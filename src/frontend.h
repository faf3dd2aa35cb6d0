// Command line and run sequence.
#ifndef TARNEL_FRONTEND_H
#define TARNEL_FRONTEND_H

// Exit statuses of a run.
enum TExitStatus {
    EExitAllRead = 0,   // every selected quantity was obtained
    EExitHelp = 1,      // the help was printed instead of querying
    EExitMissing = 2,   // at least one selected quantity is missing
};

int Go();
void ShowProgramInfo();
void ShowHelp();

// Puts the run settings and the option parser back to their start, for
// running Go more than once in one process.
void ResetRunSettings();

#endif
