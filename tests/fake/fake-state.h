// What the fake port holds between calls, shared by the fake's files.
#ifndef TARNEL_TESTS_FAKE_STATE_H
#define TARNEL_TESTS_FAKE_STATE_H

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "fake-comm.h"

struct TFakeState {
    std::vector<TFakeCall> iCalls;
    std::map<std::string, int> iCounts;                 // calls so far, by name
    std::vector<std::pair<std::string, int>> iFailures; // name and call number, 0 for every call
    std::map<std::string, std::vector<TFakePiece>> iReplies;  // bytes written -> pieces queued
    std::string iInput;
    std::vector<std::pair<std::int64_t, std::string>> iPending;  // arrival time and bytes, in order
    std::int64_t iNowUs = 0;
    COMMTIMEOUTS iTimeouts{};
    DCB iPortDcb{};
    DWORD iModemStatus = 0;
    bool iDtr = false;
    bool iRts = false;
    HANDLE iOpen = INVALID_HANDLE_VALUE;
    HANDLE iLast = INVALID_HANDLE_VALUE;
    unsigned iHandles = 0;  // handed out so far
    std::string iTracePath;
};

// Never destroyed: the program's serial object closes its port at exit,
// after ordinary static objects may already be gone.
TFakeState& FakeState();

bool FakeKnownName(const std::string& aName);

// Moves to the input what has arrived by the time.
void FakeArriveUntil(std::int64_t aTimeUs);

#endif
