// The serial-port operations CSerial needs from the system, with the pause
// and the monotonic clock of the exchange.
//
// On Windows they are the system's own. Elsewhere this header declares a
// minimal, compatible subset which comm-posix.cpp implements over termios
// (and which the tests replace with a scripted fake).
#ifndef TARNEL_PLATFORM_COMM_H
#define TARNEL_PLATFORM_COMM_H

#ifdef _WIN32
#include <windows.h>
#else

#include <cstdint>

typedef std::uint32_t DWORD;
typedef std::uint16_t WORD;
typedef std::uint8_t BYTE;
typedef int BOOL;
typedef const char* LPCSTR;
typedef void* HANDLE;
typedef DWORD* LPDWORD;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef std::int64_t LONGLONG;

// Only the member the tool reads.
union LARGE_INTEGER {
    LONGLONG QuadPart;
};

struct OVERLAPPED;                // never used: all transfers are synchronous
struct SECURITY_ATTRIBUTES;       // never used

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)))
#define MAXDWORD 0xFFFFFFFFu

#define GENERIC_READ  0x80000000u
#define GENERIC_WRITE 0x40000000u
#define OPEN_EXISTING 3u

#define NOPARITY    0
#define ODDPARITY   1
#define EVENPARITY  2
#define MARKPARITY  3
#define SPACEPARITY 4

#define ONESTOPBIT   0
#define ONE5STOPBITS 1
#define TWOSTOPBITS  2

#define DTR_CONTROL_DISABLE   0
#define DTR_CONTROL_ENABLE    1
#define DTR_CONTROL_HANDSHAKE 2
#define RTS_CONTROL_DISABLE   0
#define RTS_CONTROL_ENABLE    1
#define RTS_CONTROL_HANDSHAKE 2
#define RTS_CONTROL_TOGGLE    3

#define PURGE_TXABORT 0x0001u
#define PURGE_RXABORT 0x0002u
#define PURGE_TXCLEAR 0x0004u
#define PURGE_RXCLEAR 0x0008u

#define SETXOFF  1u
#define SETXON   2u
#define SETRTS   3u
#define CLRRTS   4u
#define SETDTR   5u
#define CLRDTR   6u
#define SETBREAK 8u
#define CLRBREAK 9u

#define MS_CTS_ON  0x0010u
#define MS_DSR_ON  0x0020u
#define MS_RING_ON 0x0040u
#define MS_RLSD_ON 0x0080u

// Line settings. The flag bits keep the documented order so that the
// flag word has the same meaning on every platform.
struct DCB {
    DWORD DCBlength;
    DWORD BaudRate;
    DWORD fBinary : 1;
    DWORD fParity : 1;
    DWORD fOutxCtsFlow : 1;
    DWORD fOutxDsrFlow : 1;
    DWORD fDtrControl : 2;
    DWORD fDsrSensitivity : 1;
    DWORD fTXContinueOnXoff : 1;
    DWORD fOutX : 1;
    DWORD fInX : 1;
    DWORD fErrorChar : 1;
    DWORD fNull : 1;
    DWORD fRtsControl : 2;
    DWORD fAbortOnError : 1;
    DWORD fDummy2 : 17;
    WORD wReserved;
    WORD XonLim;
    WORD XoffLim;
    BYTE ByteSize;
    BYTE Parity;
    BYTE StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    WORD wReserved1;
};

// Milliseconds; MAXDWORD in the interval has its documented special meanings.
struct COMMTIMEOUTS {
    DWORD ReadIntervalTimeout;
    DWORD ReadTotalTimeoutMultiplier;
    DWORD ReadTotalTimeoutConstant;
    DWORD WriteTotalTimeoutMultiplier;
    DWORD WriteTotalTimeoutConstant;
};

// Only what this layer can tell about a port.
struct COMMPROP {
    WORD wPacketLength;
    WORD wPacketVersion;
    DWORD dwServiceMask;
    DWORD dwMaxTxQueue;
    DWORD dwMaxRxQueue;
    DWORD dwMaxBaud;
    DWORD dwSettableBaud;
    DWORD dwCurrentTxQueue;
    DWORD dwCurrentRxQueue;
};

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security,
                   DWORD disposition, DWORD flags, HANDLE templateFile);
BOOL CloseHandle(HANDLE handle);
BOOL GetCommState(HANDLE handle, DCB* dcb);
BOOL SetCommState(HANDLE handle, DCB* dcb);
BOOL SetCommTimeouts(HANDLE handle, COMMTIMEOUTS* timeouts);
BOOL GetCommProperties(HANDLE handle, COMMPROP* properties);
BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD count, LPDWORD done, OVERLAPPED* overlapped);
BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD count, LPDWORD done, OVERLAPPED* overlapped);
BOOL PurgeComm(HANDLE handle, DWORD flags);
BOOL EscapeCommFunction(HANDLE handle, DWORD function);
BOOL GetCommModemStatus(HANDLE handle, LPDWORD status);
void Sleep(DWORD milliseconds);
// A monotonic counter and its ticks per second.
BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);

#endif  // _WIN32

// Whether a device text is the path of a device, opened as it stands rather
// than as a COM port's name: on POSIX systems a text that begins with "/".
// Windows has no such texts; there a text without "COM" names COM1.
inline bool IsDevicePath(const char* aDevice) {
#ifdef _WIN32
    (void)aDevice;
    return false;
#else
    return aDevice[0] == '/';
#endif
}

#endif  // TARNEL_PLATFORM_COMM_H
