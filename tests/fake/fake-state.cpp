#include <cstdio>

#include "fake-state.h"

namespace {

const char* const KNames[] = {
    "CreateFileA", "CloseHandle", "GetCommState", "SetCommState", "SetCommTimeouts",
    "GetCommProperties", "ReadFile", "WriteFile", "PurgeComm", "EscapeCommFunction",
    "GetCommModemStatus", "Sleep",
};

}  // namespace

TFakeState& FakeState() {
    static TFakeState* state = [] {
        TFakeState* fresh = new TFakeState;
        fresh->iPortDcb = FakeDefaultDcb();
        return fresh;
    }();
    return *state;
}

bool FakeKnownName(const std::string& aName) {
    for (const char* name : KNames) {
        if (aName == name) return true;
    }
    return false;
}

void FakeReset() {
    TFakeState& state = FakeState();
    state = TFakeState();
    state.iPortDcb = FakeDefaultDcb();
}

void FakeFail(const std::string& aName, int aNth) { FakeState().iFailures.emplace_back(aName, aNth); }

void FakeReply(const std::string& aCommand, const std::string& aBytes) {
    FakeReplyPieces(aCommand, {TFakePiece{0, aBytes}});
}

void FakeReplyPieces(const std::string& aCommand, const std::vector<TFakePiece>& aPieces) {
    FakeState().iReplies[aCommand + "\n"] = aPieces;
}

void FakeArriveUntil(std::int64_t aTimeUs) {
    TFakeState& state = FakeState();
    auto& pending = state.iPending;
    // Kept in order of arrival by the writer.
    std::size_t arrived = 0;
    while (arrived < pending.size() && pending[arrived].first <= aTimeUs) {
        state.iInput += pending[arrived].second;
        ++arrived;
    }
    pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(arrived));
}

void FakeFeed(const std::string& aBytes) { FakeState().iInput += aBytes; }
void FakeSetModemStatus(DWORD aStatus) { FakeState().iModemStatus = aStatus; }
void FakeTraceTo(const std::string& aPath) { FakeState().iTracePath = aPath; }
void FakeSetPortDcb(const DCB& aDcb) { FakeState().iPortDcb = aDcb; }
DCB FakePortDcb() { return FakeState().iPortDcb; }

DCB FakeDefaultDcb() {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = 9600;
    dcb.fBinary = 1;
    dcb.fOutxCtsFlow = 1;
    dcb.fOutxDsrFlow = 1;
    dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
    dcb.fDsrSensitivity = 1;
    dcb.fTXContinueOnXoff = 1;
    dcb.fOutX = 1;
    dcb.fInX = 1;
    dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    dcb.XonLim = 2048;
    dcb.XoffLim = 512;
    dcb.ByteSize = 7;
    dcb.Parity = EVENPARITY;
    dcb.StopBits = TWOSTOPBITS;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.EofChar = 0x1A;
    return dcb;
}

bool FakeDtr() { return FakeState().iDtr; }
bool FakeRts() { return FakeState().iRts; }
std::string FakeInput() { return FakeState().iInput; }
HANDLE FakeLastHandle() { return FakeState().iLast; }
std::int64_t FakeNowUs() { return FakeState().iNowUs; }
const std::vector<TFakeCall>& FakeCalls() { return FakeState().iCalls; }

std::vector<std::string> FakeCallNames() {
    std::vector<std::string> names;
    for (const TFakeCall& call : FakeState().iCalls) names.push_back(call.iName);
    return names;
}

std::string FakeTrace() {
    std::string trace;
    for (const TFakeCall& call : FakeState().iCalls) trace += call.iLine + "\n";
    return trace;
}

DWORD FakeDcbFlags(const DCB& aDcb) {
    return aDcb.fBinary | aDcb.fParity << 1 | aDcb.fOutxCtsFlow << 2 | aDcb.fOutxDsrFlow << 3 |
           aDcb.fDtrControl << 4 | aDcb.fDsrSensitivity << 6 | aDcb.fTXContinueOnXoff << 7 |
           aDcb.fOutX << 8 | aDcb.fInX << 9 | aDcb.fErrorChar << 10 | aDcb.fNull << 11 |
           aDcb.fRtsControl << 12 | aDcb.fAbortOnError << 14 | static_cast<DWORD>(aDcb.fDummy2) << 15;
}

void FakeSetDcbFlags(DCB* aDcb, DWORD aFlags) {
    aDcb->fBinary = aFlags & 1u;
    aDcb->fParity = aFlags >> 1 & 1u;
    aDcb->fOutxCtsFlow = aFlags >> 2 & 1u;
    aDcb->fOutxDsrFlow = aFlags >> 3 & 1u;
    aDcb->fDtrControl = aFlags >> 4 & 3u;
    aDcb->fDsrSensitivity = aFlags >> 6 & 1u;
    aDcb->fTXContinueOnXoff = aFlags >> 7 & 1u;
    aDcb->fOutX = aFlags >> 8 & 1u;
    aDcb->fInX = aFlags >> 9 & 1u;
    aDcb->fErrorChar = aFlags >> 10 & 1u;
    aDcb->fNull = aFlags >> 11 & 1u;
    aDcb->fRtsControl = aFlags >> 12 & 3u;
    aDcb->fAbortOnError = aFlags >> 14 & 1u;
    // 17 bits shifted out of 32 always fit; the compiler cannot see it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
    aDcb->fDummy2 = aFlags >> 15;
#pragma GCC diagnostic pop
}

std::string FakeHex(const std::string& aBytes) {
    std::string hex;
    for (char c : aBytes) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned>(static_cast<unsigned char>(c)));
        hex += digits;
    }
    return hex;
}

namespace {

int HexDigit(char aChar) {
    if (aChar >= '0' && aChar <= '9') return aChar - '0';
    if (aChar >= 'a' && aChar <= 'f') return aChar - 'a' + 10;
    if (aChar >= 'A' && aChar <= 'F') return aChar - 'A' + 10;
    return -1;
}

}  // namespace

bool FakeUnhex(const std::string& aHex, std::string* aBytes) {
    if (aHex.size() % 2 != 0) return false;
    std::string bytes;
    for (std::size_t i = 0; i < aHex.size(); i += 2) {
        const int high = HexDigit(aHex[i]);
        const int low = HexDigit(aHex[i + 1]);
        if (high < 0 || low < 0) return false;
        bytes += static_cast<char>(high * 16 + low);
    }
    *aBytes = bytes;
    return true;
}
