#include "comm_stub.h"

#include <cstdint>
#include <cstring>

TCommStub gCommStub;

HANDLE StubHandle() { return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(0x5eed)); }

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, SECURITY_ATTRIBUTES*, DWORD disposition,
                   DWORD flags, HANDLE) {
    ++gCommStub.iCreateCalls;
    gCommStub.iCreateName = name;
    gCommStub.iCreateAccess = access;
    gCommStub.iCreateShare = share;
    gCommStub.iCreateDisposition = disposition;
    gCommStub.iCreateFlags = flags;
    return gCommStub.iOpenSucceeds ? StubHandle() : INVALID_HANDLE_VALUE;
}

BOOL CloseHandle(HANDLE) {
    ++gCommStub.iCloseCalls;
    return 1;
}

BOOL GetCommState(HANDLE, DCB* dcb) {
    std::memset(dcb, gCommStub.iDcbFill, sizeof *dcb);
    return 1;
}

BOOL SetCommState(HANDLE, DCB* dcb) {
    ++gCommStub.iSetStateCalls;
    gCommStub.iSetState = *dcb;
    return 1;
}

BOOL SetCommTimeouts(HANDLE, COMMTIMEOUTS* timeouts) {
    ++gCommStub.iSetTimeoutsCalls;
    gCommStub.iSetTimeouts = *timeouts;
    return 1;
}

BOOL GetCommProperties(HANDLE, COMMPROP* properties) {
    std::memset(properties, 0, sizeof *properties);
    return 1;
}

BOOL ReadFile(HANDLE, LPVOID, DWORD, LPDWORD done, OVERLAPPED*) {
    ++gCommStub.iOtherCalls;
    if (done != nullptr) *done = 0;
    return 0;
}

BOOL WriteFile(HANDLE, LPCVOID, DWORD, LPDWORD done, OVERLAPPED*) {
    ++gCommStub.iOtherCalls;
    if (done != nullptr) *done = 0;
    return 0;
}

BOOL PurgeComm(HANDLE, DWORD flags) {
    ++gCommStub.iPurgeCalls;
    gCommStub.iPurgeFlags = flags;
    return 1;
}

BOOL EscapeCommFunction(HANDLE, DWORD) {
    ++gCommStub.iOtherCalls;
    return 1;
}

BOOL GetCommModemStatus(HANDLE, LPDWORD status) {
    ++gCommStub.iOtherCalls;
    if (status != nullptr) *status = 0;
    return 0;
}

void Sleep(DWORD) {}

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
    count->QuadPart = 0;
    return 1;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    frequency->QuadPart = 1000000;
    return 1;
}
