// The platform operations over the fake port.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fake-state.h"

namespace {

std::string Number(DWORD aValue, const char* aFormat = "%u") {
    char text[16];
    std::snprintf(text, sizeof text, aFormat, static_cast<unsigned>(aValue));
    return text;
}

// Counts the call and tells whether the script wants it to fail.
bool Fails(const std::string& aName) {
    TFakeState& state = FakeState();
    const int number = ++state.iCounts[aName];
    for (const auto& failure : state.iFailures) {
        if (failure.first == aName && (failure.second == 0 || failure.second == number)) return true;
    }
    return false;
}

void WriteTraceLine(const std::string& aLine) {
    const std::string& path = FakeState().iTracePath;
    if (path.empty()) return;
    if (path == "-") {
        std::fprintf(stderr, "%s\n", aLine.c_str());
        return;
    }
    // Opened per line: the last calls come from the exit-time close.
    if (std::FILE* file = std::fopen(path.c_str(), "a")) {
        std::fprintf(file, "%s\n", aLine.c_str());
        std::fclose(file);
    }
}

// A call on a handle that is not the open port always fails.
TFakeCall Begin(const char* aName, HANDLE aHandle) {
    TFakeCall call;
    call.iName = aName;
    call.iHandle = aHandle;
    call.iFailed = Fails(aName);
    if (aHandle == INVALID_HANDLE_VALUE || aHandle != FakeState().iOpen) {
        call.iBadHandle = true;
        call.iFailed = true;
    }
    return call;
}

BOOL Finish(TFakeCall aCall, const std::string& aDetails) {
    aCall.iLine = aCall.iName + (aDetails.empty() ? "" : " " + aDetails);
    if (aCall.iBadHandle) aCall.iLine += " (bad handle)";
    if (aCall.iFailed) aCall.iLine += " -> FAIL";
    WriteTraceLine(aCall.iLine);
    const BOOL result = aCall.iFailed ? 0 : 1;
    FakeState().iCalls.push_back(std::move(aCall));
    return result;
}

std::string DcbText(const DCB& aDcb) {
    return "baud=" + Number(aDcb.BaudRate) + " bits=" + Number(aDcb.ByteSize) +
           " parity=" + Number(aDcb.Parity) + " stop=" + Number(aDcb.StopBits) +
           " flags=" + Number(FakeDcbFlags(aDcb), "%08X");
}

}  // namespace

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security,
                   DWORD disposition, DWORD flags, HANDLE templateFile) {
    TFakeState& state = FakeState();
    TFakeCall call;
    call.iName = "CreateFileA";
    call.iFailed = Fails(call.iName) || state.iOpen != INVALID_HANDLE_VALUE;  // no sharing
    call.iPortName = name != nullptr ? name : "";
    call.iAccess = access;
    call.iShare = share;
    call.iSecurity = security != nullptr;
    call.iDisposition = disposition;
    call.iFlags = flags;
    call.iTemplate = templateFile != nullptr;
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (!call.iFailed) {
        handle = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x7A00u + ++state.iHandles));
        state.iOpen = handle;
        state.iLast = handle;
    }
    call.iHandle = handle;
    const std::string details = "\"" + call.iPortName + "\" access=" + Number(access, "%08X") +
                                " share=" + Number(share) + " security=" + (call.iSecurity ? "set" : "null") +
                                " disposition=" + Number(disposition) + " flags=" + Number(flags) +
                                " template=" + (call.iTemplate ? "set" : "null");
    Finish(call, details);
    return handle;
}

BOOL CloseHandle(HANDLE handle) {
    TFakeCall call = Begin("CloseHandle", handle);
    if (!call.iBadHandle) {
        // The descriptor is gone even when closing reports an error.
        FakeState().iOpen = INVALID_HANDLE_VALUE;
        FakeState().iInput.clear();
        FakeState().iDtr = false;
        FakeState().iRts = false;
    }
    return Finish(call, "");
}

BOOL GetCommState(HANDLE handle, DCB* dcb) {
    TFakeCall call = Begin("GetCommState", handle);
    if (!call.iFailed && dcb != nullptr) *dcb = FakeState().iPortDcb;
    return Finish(call, "");
}

BOOL SetCommState(HANDLE handle, DCB* dcb) {
    TFakeCall call = Begin("SetCommState", handle);
    if (dcb != nullptr) call.iDcb = *dcb;
    if (!call.iFailed && dcb != nullptr) {
        TFakeState& state = FakeState();
        state.iPortDcb = *dcb;
        state.iDtr = dcb->fDtrControl != DTR_CONTROL_DISABLE;
        state.iRts = dcb->fRtsControl != RTS_CONTROL_DISABLE;
    }
    return Finish(call, dcb != nullptr ? DcbText(*dcb) : "null");
}

BOOL SetCommTimeouts(HANDLE handle, COMMTIMEOUTS* timeouts) {
    TFakeCall call = Begin("SetCommTimeouts", handle);
    if (timeouts == nullptr) return Finish(call, "null");
    call.iTimeouts = *timeouts;
    if (!call.iFailed) FakeState().iTimeouts = *timeouts;
    return Finish(call, Number(timeouts->ReadIntervalTimeout) + " " +
                            Number(timeouts->ReadTotalTimeoutMultiplier) + " " +
                            Number(timeouts->ReadTotalTimeoutConstant) + " " +
                            Number(timeouts->WriteTotalTimeoutMultiplier) + " " +
                            Number(timeouts->WriteTotalTimeoutConstant));
}

BOOL GetCommProperties(HANDLE handle, COMMPROP* properties) {
    TFakeCall call = Begin("GetCommProperties", handle);
    if (!call.iFailed && properties != nullptr) {
        std::memset(properties, 0, sizeof *properties);
        properties->dwMaxBaud = 115200;
    }
    return Finish(call, "");
}

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD count, LPDWORD done, OVERLAPPED*) {
    TFakeCall call = Begin("ReadFile", handle);
    call.iValue = count;
    if (call.iFailed) {
        // Nothing of a failed read may be trusted by the caller.
        if (done != nullptr) *done = count;
        return Finish(call, Number(count));
    }
    // The read lasts its total time-out and takes what arrived by its end.
    TFakeState& state = FakeState();
    const COMMTIMEOUTS& to = state.iTimeouts;
    const std::int64_t windowUs =
        (static_cast<std::int64_t>(to.ReadTotalTimeoutMultiplier) * count + to.ReadTotalTimeoutConstant) * 1000;
    state.iNowUs += windowUs;
    FakeArriveUntil(state.iNowUs);
    std::string& input = state.iInput;
    const std::size_t taken = input.size() < count ? input.size() : count;
    call.iBytes = input.substr(0, taken);
    input.erase(0, taken);
    if (taken > 0) std::memcpy(buffer, call.iBytes.data(), taken);
    if (done != nullptr) *done = static_cast<DWORD>(taken);
    return Finish(call, Number(count) + " -> " + (taken > 0 ? FakeHex(call.iBytes) : "(none)"));
}

BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD count, LPDWORD done, OVERLAPPED*) {
    TFakeCall call = Begin("WriteFile", handle);
    call.iValue = count;
    call.iBytes.assign(static_cast<const char*>(buffer), count);
    if (done != nullptr) *done = call.iFailed ? 0 : count;
    if (!call.iFailed) {
        TFakeState& state = FakeState();
        const auto reply = state.iReplies.find(call.iBytes);
        if (reply != state.iReplies.end()) {
            for (const TFakePiece& piece : reply->second) {
                const std::int64_t at = state.iNowUs + piece.iAfterUs;
                auto& pending = state.iPending;
                auto place = pending.begin();
                while (place != pending.end() && place->first <= at) ++place;
                pending.insert(place, {at, piece.iBytes});
            }
            FakeArriveUntil(state.iNowUs);
        }
    }
    return Finish(call, count > 0 ? FakeHex(call.iBytes) : "(none)");
}

BOOL PurgeComm(HANDLE handle, DWORD flags) {
    TFakeCall call = Begin("PurgeComm", handle);
    call.iValue = flags;
    if (!call.iFailed && (flags & PURGE_RXCLEAR) != 0) {
        FakeArriveUntil(FakeState().iNowUs);
        FakeState().iInput.clear();
    }
    return Finish(call, Number(flags));
}

BOOL EscapeCommFunction(HANDLE handle, DWORD function) {
    TFakeCall call = Begin("EscapeCommFunction", handle);
    call.iValue = function;
    if (!call.iFailed) {
        TFakeState& state = FakeState();
        if (function == SETDTR || function == CLRDTR) state.iDtr = function == SETDTR;
        if (function == SETRTS || function == CLRRTS) state.iRts = function == SETRTS;
    }
    return Finish(call, Number(function));
}

BOOL GetCommModemStatus(HANDLE handle, LPDWORD status) {
    TFakeCall call = Begin("GetCommModemStatus", handle);
    if (status != nullptr) *status = call.iFailed ? 0xFFFFFFFFu : FakeState().iModemStatus;
    return Finish(call, call.iFailed ? "" : "-> " + Number(FakeState().iModemStatus, "%08X"));
}

void Sleep(DWORD milliseconds) {
    TFakeCall call;
    call.iName = "Sleep";
    call.iHandle = FakeState().iOpen;  // not a port call
    call.iValue = milliseconds;
    Fails(call.iName);
    FakeState().iNowUs += static_cast<std::int64_t>(milliseconds) * 1000;
    Finish(call, Number(milliseconds));
}

// The virtual clock in microseconds; not a port call, so not traced.
BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
    if (count == nullptr) return 0;
    count->QuadPart = FakeState().iNowUs;
    return 1;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    if (frequency == nullptr) return 0;
    frequency->QuadPart = 1000000;
    return 1;
}

namespace {

// The script of a fake process, read before main runs.
bool LoadScript() {
    const char* script = std::getenv("TARNEL_FAKE");
    if (script == nullptr) return false;
    std::string error;
    if (!FakeScript(script, &error)) {
        std::fprintf(stderr, "tarnel-fake: TARNEL_FAKE: %s\n", error.c_str());
        std::_Exit(99);
    }
    return true;
}

[[maybe_unused]] const bool KScriptLoaded = LoadScript();

}  // namespace
