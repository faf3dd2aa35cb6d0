// The serial operations over POSIX terminals.
//
// A name that begins with "/" is the device's path. COMn and \\.\COMn name
// the device in the environment variable TARNEL_COMn, or /dev/ttyS<n-1> as
// Unix emulation layers number serial ports.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "number.h"
#include "port-posix.h"

namespace {

const std::uint32_t KPortMagic = 0x54524E4Cu;

}  // namespace

bool DevicePath(const char* aName, std::string* aPath) {
    if (IsDevicePath(aName)) {
        *aPath = aName;
        return true;
    }
    const char* p = aName;
    if (std::strncmp(p, "\\\\.\\", 4) == 0) p += 4;
    if (strncasecmp(p, "COM", 3) != 0) return false;
    const char* number = p + 3;
    if (!IsDigit(number[0]) || number[0] == '0') return false;
    unsigned long long n = 0;
    for (p = number; *p != '\0'; ++p) {
        if (!IsDigit(*p)) return false;
        n = n * 10 + static_cast<unsigned>(*p - '0');
        if (n > 0xFFFFFFFFull) return false;
    }
    const std::string variable = "TARNEL_COM" + std::string(number);
    if (const char* mapped = std::getenv(variable.c_str())) {
        *aPath = mapped;
    } else {
        *aPath = "/dev/ttyS" + std::to_string(n - 1);
    }
    return !aPath->empty();
}

namespace {

timespec Now() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now;
}

std::int64_t Nanos(const timespec& aTime) {
    return static_cast<std::int64_t>(aTime.tv_sec) * 1000000000 + aTime.tv_nsec;
}

timespec FromNanos(std::int64_t aNanos) {
    timespec t;
    t.tv_sec = static_cast<time_t>(aNanos / 1000000000);
    t.tv_nsec = static_cast<long>(aNanos % 1000000000);
    return t;
}

const std::int64_t KNoDeadline = -1;

// Waits for the events until the monotonic deadline; a deadline already
// passed still looks once. 1 when ready (a hang-up counts), 0 at the
// deadline, -1 on error.
int WaitFor(int aFd, short aEvents, std::int64_t aDeadline, short* aRevents) {
    for (;;) {
        pollfd fd = {aFd, aEvents, 0};
        timespec left = {0, 0};
        const timespec* timeout = nullptr;
        if (aDeadline != KNoDeadline) {
            const std::int64_t remaining = aDeadline - Nanos(Now());
            if (remaining > 0) left = FromNanos(remaining);
            timeout = &left;
        }
        const int ready = ppoll(&fd, 1, timeout, nullptr);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return ready;
        *aRevents = fd.revents;
        return 1;
    }
}

std::int64_t Millis(std::uint64_t aMillis) { return static_cast<std::int64_t>(aMillis) * 1000000; }

// One read of what poll announced. >0 bytes, 0 nothing after all, -1 the
// device failed or went away: end of file is a device that has gone, never
// an empty read.
ssize_t ReadSome(int aFd, std::uint8_t* aBuffer, std::size_t aCount) {
    for (;;) {
        const ssize_t n = read(aFd, aBuffer, aCount);
        if (n > 0) return n;
        if (n == 0) return -1;
        if (errno == EINTR) continue;
        return (errno == EAGAIN || errno == EWOULDBLOCK) ? 0 : -1;
    }
}

// A node whose device is missing: an 8250 port without a UART behind it
// opens, and then every call on it fails with EIO. On Windows such a port
// does not open; neither does it here.
bool NoDeviceBehind(int aFd) {
    termios settings;
    return tcgetattr(aFd, &settings) != 0 && errno == EIO;
}

const std::uint64_t KLockWaitMs = 1000;

// An exclusive advisory lock, waited for up to the time; false when another
// holder keeps it longer, or the file takes no lock.
bool LockWithin(int aFd, std::uint64_t aMillis) {
    const std::int64_t deadline = Nanos(Now()) + Millis(aMillis);
    for (;;) {
        if (flock(aFd, LOCK_EX | LOCK_NB) == 0) return true;
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK || Nanos(Now()) >= deadline) return false;
        const timespec pause = {0, 2000000};
        nanosleep(&pause, nullptr);
    }
}

}  // namespace

TPort* PortOf(HANDLE aHandle) {
    if (aHandle == nullptr || aHandle == INVALID_HANDLE_VALUE) return nullptr;
    TPort* port = static_cast<TPort*>(aHandle);
    return port->iMagic == KPortMagic ? port : nullptr;
}

HANDLE CreateFileA(LPCSTR aName, DWORD aAccess, DWORD aShare, SECURITY_ATTRIBUTES*, DWORD aDisposition,
                   DWORD, HANDLE) {
    std::string path;
    if (aName == nullptr || aDisposition != OPEN_EXISTING || !DevicePath(aName, &path)) {
        return INVALID_HANDLE_VALUE;
    }
#if defined(__linux__)
    // The exchange is timed in single milliseconds; the default timer slack
    // of 50 us per wait adds up.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
    int mode = O_RDWR;
    if ((aAccess & GENERIC_WRITE) == 0) mode = O_RDONLY;
    else if ((aAccess & GENERIC_READ) == 0) mode = O_WRONLY;
    // Non-blocking, so that opening never waits for a carrier; transfers are
    // timed with poll.
    int fd = open(path.c_str(), mode | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return INVALID_HANDLE_VALUE;
    // Run with standard output closed, the port would take its number, and
    // the results would go to the sensor.
    if (fd <= STDERR_FILENO) {
        const int high = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
        close(fd);
        if (high < 0) return INVALID_HANDLE_VALUE;
        fd = high;
    }
    if (NoDeviceBehind(fd)) {
        close(fd);
        return INVALID_HANDLE_VALUE;
    }
    // No sharing means no other process may hold the port. Runs started
    // together (three readings polled on one schedule) wait their turn.
    if (aShare == 0 && !LockWithin(fd, KLockWaitMs)) {
        close(fd);
        return INVALID_HANDLE_VALUE;
    }
    TPort* port = new (std::nothrow) TPort;
    if (port == nullptr) {
        close(fd);
        return INVALID_HANDLE_VALUE;
    }
    port->iMagic = KPortMagic;
    port->iFd = fd;
    port->iTimeouts = COMMTIMEOUTS{0, 0, 0, 0, 0};
    return port;
}

BOOL CloseHandle(HANDLE aHandle) {
    TPort* port = PortOf(aHandle);
    if (port == nullptr) return 0;
    flock(port->iFd, LOCK_UN);
    const int rc = close(port->iFd);
    port->iMagic = 0;
    delete port;
    return rc == 0;
}

BOOL GetCommState(HANDLE aHandle, DCB* aDcb) {
    TPort* port = PortOf(aHandle);
    return port != nullptr && aDcb != nullptr && ReadLineSettings(port->iFd, aDcb);
}

BOOL SetCommState(HANDLE aHandle, DCB* aDcb) {
    TPort* port = PortOf(aHandle);
    return port != nullptr && aDcb != nullptr && ApplyLineSettings(port->iFd, *aDcb);
}

BOOL SetCommTimeouts(HANDLE aHandle, COMMTIMEOUTS* aTimeouts) {
    TPort* port = PortOf(aHandle);
    if (port == nullptr || aTimeouts == nullptr || !isatty(port->iFd)) return 0;
    port->iTimeouts = *aTimeouts;
    return 1;
}

BOOL GetCommProperties(HANDLE aHandle, COMMPROP* aProperties) {
    TPort* port = PortOf(aHandle);
    if (port == nullptr || aProperties == nullptr || !isatty(port->iFd)) return 0;
    std::memset(aProperties, 0, sizeof *aProperties);
    aProperties->wPacketLength = sizeof *aProperties;
    aProperties->wPacketVersion = 2;
    aProperties->dwServiceMask = 1;  // a serial port
    aProperties->dwMaxBaud = 115200;
    aProperties->dwSettableBaud = 0;
    int queued = 0;
    if (ioctl(port->iFd, FIONREAD, &queued) == 0 && queued > 0) {
        aProperties->dwCurrentRxQueue = static_cast<DWORD>(queued);
    }
    return 1;
}

// The documented read time-outs: a total limit of multiplier times count plus
// constant, an interval limit between bytes once the first has come, and the
// special forms with MAXDWORD in the interval.
BOOL ReadFile(HANDLE aHandle, LPVOID aBuffer, DWORD aCount, LPDWORD aDone, OVERLAPPED*) {
    TPort* port = PortOf(aHandle);
    if (port == nullptr || aDone == nullptr || (aBuffer == nullptr && aCount > 0)) return 0;
    *aDone = 0;
    if (aCount == 0) return 1;
    std::uint8_t* buffer = static_cast<std::uint8_t*>(aBuffer);
    const COMMTIMEOUTS& to = port->iTimeouts;

    const bool immediate = to.ReadIntervalTimeout == MAXDWORD && to.ReadTotalTimeoutMultiplier == 0 &&
                           to.ReadTotalTimeoutConstant == 0;
    const bool firstByte = to.ReadIntervalTimeout == MAXDWORD &&
                           to.ReadTotalTimeoutMultiplier == MAXDWORD &&
                           to.ReadTotalTimeoutConstant != 0 && to.ReadTotalTimeoutConstant != MAXDWORD;
    const bool useInterval = to.ReadIntervalTimeout != 0 && to.ReadIntervalTimeout != MAXDWORD;

    const std::int64_t start = Nanos(Now());
    std::int64_t totalDeadline = KNoDeadline;
    if (immediate) {
        totalDeadline = start;
    } else if (firstByte) {
        totalDeadline = start + Millis(to.ReadTotalTimeoutConstant);
    } else if (to.ReadTotalTimeoutMultiplier != 0 || to.ReadTotalTimeoutConstant != 0) {
        totalDeadline = start + Millis(static_cast<std::uint64_t>(to.ReadTotalTimeoutMultiplier) * aCount +
                                       to.ReadTotalTimeoutConstant);
    }

    DWORD got = 0;
    std::int64_t lastByte = start;
    for (;;) {
        std::int64_t deadline = totalDeadline;
        if (useInterval && got > 0) {
            const std::int64_t intervalEnd = lastByte + Millis(to.ReadIntervalTimeout);
            if (deadline == KNoDeadline || intervalEnd < deadline) deadline = intervalEnd;
        }
        short revents = 0;
        const int ready = WaitFor(port->iFd, POLLIN, deadline, &revents);
        if (ready < 0) return 0;
        if (ready == 0) break;
        const ssize_t n = ReadSome(port->iFd, buffer + got, aCount - got);
        if (n < 0) {
            if (got > 0) break;  // keep what came; the next read reports the loss
            return 0;
        }
        if (n > 0) {
            got += static_cast<DWORD>(n);
            lastByte = Nanos(Now());
            if (got == aCount || firstByte) break;
        }
    }
    *aDone = got;
    return 1;
}

BOOL WriteFile(HANDLE aHandle, LPCVOID aBuffer, DWORD aCount, LPDWORD aDone, OVERLAPPED*) {
    TPort* port = PortOf(aHandle);
    if (port == nullptr || aDone == nullptr || (aBuffer == nullptr && aCount > 0)) return 0;
    *aDone = 0;
    const std::uint8_t* bytes = static_cast<const std::uint8_t*>(aBuffer);
    const COMMTIMEOUTS& to = port->iTimeouts;
    std::int64_t deadline = KNoDeadline;
    if (to.WriteTotalTimeoutMultiplier != 0 || to.WriteTotalTimeoutConstant != 0) {
        deadline = Nanos(Now()) + Millis(static_cast<std::uint64_t>(to.WriteTotalTimeoutMultiplier) * aCount +
                                         to.WriteTotalTimeoutConstant);
    }
    DWORD sent = 0;
    while (sent < aCount) {
        const ssize_t n = write(port->iFd, bytes + sent, aCount - sent);
        if (n > 0) {
            sent += static_cast<DWORD>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return 0;
        short revents = 0;
        const int ready = WaitFor(port->iFd, POLLOUT, deadline, &revents);
        if (ready < 0) return 0;
        if (ready == 0) break;  // the time-out ends the write with what was sent
        if ((revents & POLLOUT) == 0 && (revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return 0;
    }
    *aDone = sent;
    return 1;
}

BOOL PurgeComm(HANDLE aHandle, DWORD aFlags) {
    TPort* port = PortOf(aHandle);
    const DWORD known = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
    if (port == nullptr || (aFlags & ~known) != 0) return 0;
    // The abort flags end pending overlapped transfers, of which this layer
    // has none; only the clear flags discard buffered bytes.
    const bool output = (aFlags & PURGE_TXCLEAR) != 0;
    const bool input = (aFlags & PURGE_RXCLEAR) != 0;
    if (!output && !input) return 1;
    return tcflush(port->iFd, output && input ? TCIOFLUSH : output ? TCOFLUSH : TCIFLUSH) == 0;
}

BOOL EscapeCommFunction(HANDLE aHandle, DWORD aFunction) {
    TPort* port = PortOf(aHandle);
    if (port == nullptr) return 0;
    int line = 0;
    switch (aFunction) {
        case SETDTR: line = TIOCM_DTR; return ioctl(port->iFd, TIOCMBIS, &line) == 0;
        case CLRDTR: line = TIOCM_DTR; return ioctl(port->iFd, TIOCMBIC, &line) == 0;
        case SETRTS: line = TIOCM_RTS; return ioctl(port->iFd, TIOCMBIS, &line) == 0;
        case CLRRTS: line = TIOCM_RTS; return ioctl(port->iFd, TIOCMBIC, &line) == 0;
        case SETXOFF: return tcflow(port->iFd, TCOOFF) == 0;
        case SETXON: return tcflow(port->iFd, TCOON) == 0;
        case SETBREAK: return ioctl(port->iFd, TIOCSBRK) == 0;
        case CLRBREAK: return ioctl(port->iFd, TIOCCBRK) == 0;
        default: return 0;
    }
}

BOOL GetCommModemStatus(HANDLE aHandle, LPDWORD aStatus) {
    TPort* port = PortOf(aHandle);
    int lines = 0;
    if (port == nullptr || aStatus == nullptr || ioctl(port->iFd, TIOCMGET, &lines) != 0) return 0;
    DWORD status = 0;
    if (lines & TIOCM_CTS) status |= MS_CTS_ON;
    if (lines & TIOCM_DSR) status |= MS_DSR_ON;
    if (lines & TIOCM_RI) status |= MS_RING_ON;
    if (lines & TIOCM_CD) status |= MS_RLSD_ON;
    *aStatus = status;
    return 1;
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* aCount) {
    if (aCount == nullptr) return 0;
    aCount->QuadPart = Nanos(Now());
    return 1;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* aFrequency) {
    if (aFrequency == nullptr) return 0;
    aFrequency->QuadPart = 1000000000;
    return 1;
}

void Sleep(DWORD aMilliseconds) {
    const timespec until = FromNanos(Nanos(Now()) + Millis(aMilliseconds));
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}
