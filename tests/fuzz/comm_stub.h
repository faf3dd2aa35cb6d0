// A platform layer for the fuzz targets: it records what CSerial asks of it.
// By default no port opens, so the tool runs its no-port path; with
// iOpenSucceeds the open and the configuration succeed on a port whose
// settings record is filled with iDcbFill, and transfers fail.
#ifndef TARNEL_TESTS_COMM_STUB_H
#define TARNEL_TESTS_COMM_STUB_H

#include <string>

#include "platform/comm.h"

struct TCommStub {
    bool iOpenSucceeds = false;
    unsigned char iDcbFill = 0;

    int iCreateCalls = 0;
    std::string iCreateName;
    DWORD iCreateAccess = 0;
    DWORD iCreateShare = 0;
    DWORD iCreateDisposition = 0;
    DWORD iCreateFlags = 0;

    int iSetStateCalls = 0;
    DCB iSetState = {};
    int iSetTimeoutsCalls = 0;
    COMMTIMEOUTS iSetTimeouts = {};
    int iPurgeCalls = 0;
    DWORD iPurgeFlags = 0;
    int iCloseCalls = 0;
    int iOtherCalls = 0;  // transfers and modem lines
};

extern TCommStub gCommStub;

// The handle an open port gets.
HANDLE StubHandle();

#endif
