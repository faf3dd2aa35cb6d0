// A scripted stand-in for the serial-port operations of platform/comm.h.
//
// It models one port: CreateFileA hands out a handle, SetCommState becomes the
// state GetCommState reports, a write of a scripted command queues its reply
// on the port's input, PurgeComm with PURGE_RXCLEAR drops that input and
// ReadFile delivers what is queued. Every call is recorded with its
// arguments; any step can be made to fail.
//
// Time is virtual: a clock that only Sleep and ReadFile move, and which
// QueryPerformanceCounter reports. A read lasts its total time-out and takes
// what arrived by its end, so that replies in timed pieces need no waiting.
//
// In a process, the environment variable TARNEL_FAKE holds a script read at
// start-up: statements separated by ';', words separated by blanks.
//   reply CMD HEX[@MS]...
//                   writing "CMD\n" queues the bytes of each HEX as the reply,
//                   each piece MS milliseconds after the write (0 without @)
//   feed HEX        the bytes HEX wait on the input from the start
//   fail NAME [N]   the Nth call of NAME fails (every call without N)
//   modem HEX       the modem status word GetCommModemStatus reports
//   trace PATH      appends one line per call to PATH ("-" for stderr)
// A script it cannot read ends the process with status 99 before main.
#ifndef TARNEL_TESTS_FAKE_COMM_H
#define TARNEL_TESTS_FAKE_COMM_H

#include <cstdint>
#include <string>
#include <vector>

#include "platform/comm.h"

struct TFakeCall {
    std::string iName;
    HANDLE iHandle = nullptr;
    bool iFailed = false;
    bool iBadHandle = false;  // not the handle of the open port
    std::string iPortName;  // CreateFileA
    DWORD iAccess = 0;      // CreateFileA
    DWORD iShare = 0;
    DWORD iDisposition = 0;
    DWORD iFlags = 0;
    bool iSecurity = false;  // a non-null pointer was given
    bool iTemplate = false;
    DCB iDcb{};                 // SetCommState: the record given
    COMMTIMEOUTS iTimeouts{};   // SetCommTimeouts
    std::string iBytes;         // WriteFile: the bytes given; ReadFile: those delivered
    DWORD iValue = 0;           // ReadFile/WriteFile count, PurgeComm flags, EscapeCommFunction function, Sleep ms
    std::string iLine;          // the call as a trace line
};

// Back to a fresh port: no calls, no failures, no replies, the default DCB.
void FakeReset();

// Applies a script (format above). False, with the reason, when a statement
// cannot be read; the statements before it stay applied.
bool FakeScript(const std::string& aScript, std::string* aError);

void FakeFail(const std::string& aName, int aNth = 0);
void FakeReply(const std::string& aCommand, const std::string& aBytes);
// A reply in pieces, each arriving so many microseconds after the command.
struct TFakePiece {
    std::int64_t iAfterUs;
    std::string iBytes;
};
void FakeReplyPieces(const std::string& aCommand, const std::vector<TFakePiece>& aPieces);
void FakeFeed(const std::string& aBytes);
void FakeSetModemStatus(DWORD aStatus);
void FakeTraceTo(const std::string& aPath);

// The port's line settings: what GetCommState reports next.
void FakeSetPortDcb(const DCB& aDcb);
DCB FakePortDcb();
// A port as a previous user may have left it: handshakes on, 7E2 at 9600.
DCB FakeDefaultDcb();

bool FakeDtr();
bool FakeRts();
std::string FakeInput();       // bytes waiting on the port's input
HANDLE FakeLastHandle();       // the handle CreateFileA last gave out
std::int64_t FakeNowUs();      // the virtual clock, in microseconds

const std::vector<TFakeCall>& FakeCalls();
std::vector<std::string> FakeCallNames();
std::string FakeTrace();       // every trace line, each ended by a line feed

// The flag word of a DCB (fBinary in bit 0), independent of bit-field layout.
DWORD FakeDcbFlags(const DCB& aDcb);
void FakeSetDcbFlags(DCB* aDcb, DWORD aFlags);

std::string FakeHex(const std::string& aBytes);
bool FakeUnhex(const std::string& aHex, std::string* aBytes);

#endif
