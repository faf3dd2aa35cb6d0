// The termios layer against real pseudo-terminals.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/comm.h"
#include "platform/port-posix.h"

namespace {

using Clock = std::chrono::steady_clock;

double MillisSince(Clock::time_point aStart) {
    return std::chrono::duration<double, std::milli>(Clock::now() - aStart).count();
}

// Runs aCall in a child process, so that a call that never returns fails
// the test instead of hanging the suite: aCall's result, or -1 when the
// child ran past aLimitMs.
int InChild(const std::function<int()>& aCall, double aLimitMs) {
    const pid_t child = fork();
    if (child < 0) return -2;
    if (child == 0) _exit(aCall());
    const auto start = Clock::now();
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (MillisSince(start) > aLimitMs) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -3;
}

std::atomic<int> gInterruptions{0};

void CountInterruption(int) { gInterruptions.fetch_add(1); }

// SIGALRM every 3 ms while it lives, its handler installed without
// SA_RESTART: every wait it lands in fails with EINTR.
class Interruptions {
public:
    Interruptions() {
        struct sigaction action {};
        action.sa_handler = CountInterruption;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        sigaction(SIGALRM, &action, &iPrevious);
        gInterruptions = 0;
        const itimerval every = {{0, 3000}, {0, 3000}};
        setitimer(ITIMER_REAL, &every, nullptr);
    }
    ~Interruptions() {
        Stop();
        sigaction(SIGALRM, &iPrevious, nullptr);
    }
    Interruptions(const Interruptions&) = delete;
    Interruptions& operator=(const Interruptions&) = delete;

    // How many came; no more come after.
    int Stop() {
        const itimerval never = {{0, 0}, {0, 0}};
        setitimer(ITIMER_REAL, &never, nullptr);
        return gInterruptions.load();
    }

private:
    struct sigaction iPrevious {};
};

// A pseudo-terminal whose far end the test drives; its near end is COM7.
class Pty : public ::testing::Test {
protected:
    void SetUp() override {
        iMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(iMaster, 0);
        ASSERT_EQ(grantpt(iMaster), 0);
        ASSERT_EQ(unlockpt(iMaster), 0);
        iPath = ptsname(iMaster);
        setenv("TARNEL_COM7", iPath.c_str(), 1);
    }
    void TearDown() override {
        if (iHandle != INVALID_HANDLE_VALUE) CloseHandle(iHandle);
        CloseFarEnd();
        unsetenv("TARNEL_COM7");
    }

    HANDLE Open(const char* aName = "COM7") {
        iHandle = CreateFileA(aName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        return iHandle;
    }
    // Opened and in raw mode, as every real use leaves it.
    void OpenRaw() {
        ASSERT_NE(Open(), INVALID_HANDLE_VALUE);
        DCB dcb{};
        ASSERT_TRUE(GetCommState(iHandle, &dcb));
        ASSERT_TRUE(SetCommState(iHandle, &dcb));
    }
    void SetTimeouts(DWORD aInterval, DWORD aMultiplier, DWORD aConstant) {
        COMMTIMEOUTS t = {aInterval, aMultiplier, aConstant, 0, 0};
        ASSERT_TRUE(SetCommTimeouts(iHandle, &t));
    }
    void Send(const std::string& aBytes) {
        ASSERT_EQ(write(iMaster, aBytes.data(), aBytes.size()), static_cast<ssize_t>(aBytes.size()));
    }
    std::string Received() {
        std::string got;
        pollfd p = {iMaster, POLLIN, 0};
        while (poll(&p, 1, 50) > 0 && (p.revents & POLLIN)) {
            char buf[256];
            const ssize_t n = read(iMaster, buf, sizeof buf);
            if (n <= 0) break;
            got.append(buf, static_cast<size_t>(n));
        }
        return got;
    }
    void CloseFarEnd() {
        if (iMaster >= 0) close(iMaster);
        iMaster = -1;
    }
    termios SlaveSettings() {
        termios t{};
        const int fd = open(iPath.c_str(), O_RDWR | O_NOCTTY);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(tcgetattr(fd, &t), 0);
        close(fd);
        return t;
    }
    std::string Read(DWORD aCount, BOOL* aOk = nullptr) {
        char buf[512];
        DWORD done = 12345;
        const BOOL ok = ReadFile(iHandle, buf, aCount, &done, nullptr);
        if (aOk != nullptr) *aOk = ok;
        return ok ? std::string(buf, done) : std::string();
    }

    int iMaster = -1;
    std::string iPath;
    HANDLE iHandle = INVALID_HANDLE_VALUE;
};

TEST_F(Pty, PortNamesAndTheirDevices) {
    EXPECT_NE(Open("COM7"), INVALID_HANDLE_VALUE);
    CloseHandle(iHandle);
    EXPECT_NE(Open("\\\\.\\COM7"), INVALID_HANDLE_VALUE);
    CloseHandle(iHandle);
    iHandle = INVALID_HANDLE_VALUE;

    setenv("TARNEL_COM123", iPath.c_str(), 1);
    EXPECT_NE(Open("\\\\.\\COM123"), INVALID_HANDLE_VALUE);
    CloseHandle(iHandle);
    iHandle = INVALID_HANDLE_VALUE;
    unsetenv("TARNEL_COM123");

    // A device's path opens as it stands.
    EXPECT_NE(Open(iPath.c_str()), INVALID_HANDLE_VALUE);
    CloseHandle(iHandle);
    iHandle = INVALID_HANDLE_VALUE;

    for (const char* bad : {"", "COM", "COM0", "COM07", "COM7x", "LPT1", "dev/tty", "\\\\.\\",
                            "COM99999999999"}) {
        EXPECT_EQ(CreateFileA(bad, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
                  INVALID_HANDLE_VALUE)
            << bad;
    }
    // Unmapped numbers name the emulation layers' devices, which do not exist here.
    setenv("TARNEL_COM7", "/nonexistent/tty", 1);
    EXPECT_EQ(Open("COM7"), INVALID_HANDLE_VALUE);
}

TEST(CommPosix, UnmappedNumbersNameTheEmulationLayersDevices) {
    for (const char* variable : {"TARNEL_COM1", "TARNEL_COM3", "TARNEL_COM10", "TARNEL_COM100"}) {
        unsetenv(variable);
    }
    setenv("TARNEL_COM3", "/dev/pts/42", 1);
    struct Case {
        const char* name;
        const char* path;
    } cases[] = {
        {"COM1", "/dev/ttyS0"},
        {"COM10", "/dev/ttyS9"},
        {"\\\\.\\COM100", "/dev/ttyS99"},
        {"com2", "/dev/ttyS1"},
        {"COM3", "/dev/pts/42"},
        {"\\\\.\\COM3", "/dev/pts/42"},
        // A device's own path names itself, COM in it or not.
        {"/dev/serial/by-id/usb-Example_COM5-if00-port0", "/dev/serial/by-id/usb-Example_COM5-if00-port0"},
    };
    for (const Case& c : cases) {
        std::string path = "unchanged";
        EXPECT_TRUE(DevicePath(c.name, &path)) << c.name;
        EXPECT_EQ(path, c.path) << c.name;
    }
    // A variable that is set but empty names no device.
    setenv("TARNEL_COM3", "", 1);
    std::string path;
    EXPECT_FALSE(DevicePath("COM3", &path));
    unsetenv("TARNEL_COM3");
}

TEST_F(Pty, APortHeldByAnotherProcessDoesNotOpen) {
    const int other = open(iPath.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(Open(), INVALID_HANDLE_VALUE);
    close(other);
    EXPECT_NE(Open(), INVALID_HANDLE_VALUE);
    // And now we hold it.
    const int third = open(iPath.c_str(), O_RDWR | O_NOCTTY);
    EXPECT_NE(flock(third, LOCK_EX | LOCK_NB), 0);
    close(third);
}

TEST_F(Pty, LineSettingsReachTheTerminal) {
    ASSERT_NE(Open(), INVALID_HANDLE_VALUE);
    DCB dcb{};
    ASSERT_TRUE(GetCommState(iHandle, &dcb));
    struct Case {
        DWORD rate;
        BYTE bits, parity, stop;
        speed_t code;  // 0: only through the arbitrary-rate interface
        tcflag_t cflags;
    } cases[] = {
        {115200, 8, NOPARITY, ONESTOPBIT, B115200, CS8},
        {9600, 8, NOPARITY, TWOSTOPBITS, B9600, CS8 | CSTOPB},
        {1200, 8, NOPARITY, ONESTOPBIT, B1200, CS8},
        {14400, 8, NOPARITY, ONESTOPBIT, 0, CS8},
        {28800, 8, NOPARITY, TWOSTOPBITS, 0, CS8 | CSTOPB},
    };
    for (const Case& c : cases) {
        dcb.BaudRate = c.rate;
        dcb.ByteSize = c.bits;
        dcb.Parity = c.parity;
        dcb.StopBits = c.stop;
        dcb.fOutX = 0;
        dcb.fInX = 0;
        dcb.fOutxCtsFlow = 0;
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
        ASSERT_TRUE(SetCommState(iHandle, &dcb)) << c.rate;
        const termios t = SlaveSettings();
        if (c.code != 0) {
            EXPECT_EQ(cfgetospeed(&t), c.code) << c.rate;
        }
        EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS), c.cflags) << c.rate;
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
        EXPECT_EQ(t.c_oflag & OPOST, 0u);
        EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF | ISTRIP), 0u);

        DCB back{};
        ASSERT_TRUE(GetCommState(iHandle, &back));
        EXPECT_EQ(back.BaudRate, c.rate);
        EXPECT_EQ(back.ByteSize, c.bits);
        EXPECT_EQ(back.Parity, c.parity);
        EXPECT_EQ(back.StopBits, c.stop);
    }

    dcb.BaudRate = 115200;
    dcb.fOutX = 1;
    dcb.fInX = 1;
    dcb.fOutxCtsFlow = 1;
    ASSERT_TRUE(SetCommState(iHandle, &dcb));
    termios t = SlaveSettings();
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
    EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
}

TEST_F(Pty, RefusedLineSettings) {
    ASSERT_NE(Open(), INVALID_HANDLE_VALUE);
    DCB good{};
    ASSERT_TRUE(GetCommState(iHandle, &good));
    good.BaudRate = 115200;
    good.ByteSize = 8;
    good.Parity = NOPARITY;
    good.StopBits = ONESTOPBIT;
    ASSERT_TRUE(SetCommState(iHandle, &good));

    struct Case {
        const char* what;
        DWORD rate;
        BYTE bits, parity, stop;
    } cases[] = {
        {"1.5 stop bits with 8 data bits", 115200, 8, NOPARITY, ONE5STOPBITS},
        {"1.5 stop bits with 7 data bits", 9600, 7, EVENPARITY, ONE5STOPBITS},
        {"9 data bits", 115200, 9, NOPARITY, ONESTOPBIT},
        {"unknown parity", 115200, 8, 7, ONESTOPBIT},
        {"unknown stop bits", 115200, 8, NOPARITY, 3},
        {"rate 0", 0, 8, NOPARITY, ONESTOPBIT},
        // A pseudo-terminal always carries 8 bits without parity; what it
        // cannot do must be refused, not silently dropped.
        {"7 data bits on a pty", 9600, 7, NOPARITY, ONESTOPBIT},
        {"parity on a pty", 9600, 8, EVENPARITY, ONESTOPBIT},
    };
    for (const Case& c : cases) {
        DCB dcb = good;
        dcb.BaudRate = c.rate;
        dcb.ByteSize = c.bits;
        dcb.Parity = c.parity;
        dcb.StopBits = c.stop;
        EXPECT_FALSE(SetCommState(iHandle, &dcb)) << c.what;
    }
}

TEST(CommPosix, NotATerminal) {
    setenv("TARNEL_COM8", "/dev/null", 1);
    HANDLE h = CreateFileA("COM8", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DCB dcb{};
    EXPECT_FALSE(GetCommState(h, &dcb));
    COMMTIMEOUTS t = {1, 0, 1, 0, 0};
    EXPECT_FALSE(SetCommTimeouts(h, &t));
    COMMPROP p{};
    EXPECT_FALSE(GetCommProperties(h, &p));
    EXPECT_TRUE(CloseHandle(h));
    unsetenv("TARNEL_COM8");
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
}

TEST_F(Pty, TheOneMillisecondWindowIsOneMillisecond) {
    OpenRaw();
    SetTimeouts(1, 0, 1);
    std::vector<double> took;
    for (int i = 0; i < 21; ++i) {
        const auto start = Clock::now();
        BOOL ok = 0;
        EXPECT_EQ(Read(127, &ok), "");
        EXPECT_TRUE(ok);  // nothing within the window is a success
        took.push_back(MillisSince(start));
    }
    std::sort(took.begin(), took.end());
    EXPECT_GE(took.front(), 1.0);
    // The median, so that a busy machine does not make the test flaky.
    EXPECT_LT(took[took.size() / 2], 1.3) << "a 1 ms window must not become the scheduler's tick";
}

TEST_F(Pty, WhatArrivedBeforeTheReadIsPartOfIt) {
    OpenRaw();
    SetTimeouts(1, 0, 1);
    Send("23.4\r\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(Read(127), "23.4\r\n");
    // A full buffer ends the read at once.
    Send("abcdef");
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    const auto start = Clock::now();
    EXPECT_EQ(Read(4), "abcd");
    EXPECT_LT(MillisSince(start), 0.9);
    EXPECT_EQ(Read(127), "ef");
}

TEST_F(Pty, TotalAndIntervalLimits) {
    OpenRaw();
    // Bytes every 3 ms with an interval limit of 20 ms and a total of 30 ms:
    // the total ends the read.
    SetTimeouts(20, 0, 30);
    std::thread sender([this] {
        for (int i = 0; i < 20; ++i) {
            Send("x");
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
    });
    auto start = Clock::now();
    std::string got = Read(127);
    double ms = MillisSince(start);
    sender.join();
    EXPECT_GE(ms, 30.0);
    EXPECT_LT(ms, 40.0);
    EXPECT_GE(got.size(), 5u);
    EXPECT_LE(got.size(), 12u);
    Received();

    // No total limit: the interval after the first byte ends it.
    SetTimeouts(15, 0, 0);
    PurgeComm(iHandle, PURGE_RXCLEAR);
    std::thread late([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        Send("ab");
    });
    start = Clock::now();
    got = Read(127);
    ms = MillisSince(start);
    late.join();
    EXPECT_EQ(got, "ab");
    EXPECT_GE(ms, 30.0 + 15.0);
    EXPECT_LT(ms, 30.0 + 30.0);

    // Multiplier times count plus constant.
    SetTimeouts(0, 2, 5);
    start = Clock::now();
    EXPECT_EQ(Read(10), "");
    ms = MillisSince(start);
    EXPECT_GE(ms, 25.0);
    EXPECT_LT(ms, 35.0);
}

TEST_F(Pty, SpecialFormsOfTheInterval) {
    OpenRaw();
    // MAXDWORD alone: return at once with what is there.
    SetTimeouts(MAXDWORD, 0, 0);
    auto start = Clock::now();
    EXPECT_EQ(Read(127), "");
    EXPECT_LT(MillisSince(start), 0.5);
    Send("q");
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(Read(127), "q");

    // MAXDWORD, MAXDWORD, constant: wait up to the constant for the first byte,
    // return as soon as any came.
    SetTimeouts(MAXDWORD, MAXDWORD, 200);
    std::thread sender([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        Send("r");
    });
    start = Clock::now();
    EXPECT_EQ(Read(127), "r");
    const double ms = MillisSince(start);
    sender.join();
    EXPECT_GE(ms, 10.0);
    EXPECT_LT(ms, 100.0);
    start = Clock::now();
    EXPECT_EQ(Read(127), "");
    EXPECT_GE(MillisSince(start), 200.0);
}

TEST_F(Pty, WritesPurgesAndTheWireBytes) {
    OpenRaw();  // raw: no CR/NL translation on output
    SetTimeouts(1, 0, 1);
    DWORD done = 0;
    ASSERT_TRUE(WriteFile(iHandle, "GT\n", 3, &done, nullptr));
    EXPECT_EQ(done, 3u);
    ASSERT_TRUE(WriteFile(iHandle, "", 0, &done, nullptr));
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(Received(), "GT\n");

    Send("kept");
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_TRUE(PurgeComm(iHandle, PURGE_TXABORT | PURGE_RXABORT));  // no pending transfer to end
    EXPECT_EQ(Read(127), "kept");

    Send("stale");
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_TRUE(PurgeComm(iHandle, PURGE_TXCLEAR | PURGE_RXCLEAR));
    EXPECT_EQ(Read(127), "");
    EXPECT_FALSE(PurgeComm(iHandle, 0x100));
}

TEST_F(Pty, AFarEndThatWentAwayFailsTransfers) {
    OpenRaw();
    SetTimeouts(1, 0, 1);
    Send("last");
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    CloseFarEnd();
    BOOL ok = 1;
    Read(127, &ok);
    // What had arrived may still come; after that the loss is reported.
    Read(127, &ok);
    EXPECT_FALSE(ok);
    DWORD done = 0;
    EXPECT_FALSE(WriteFile(iHandle, "GT\n", 3, &done, nullptr));
}

TEST_F(Pty, ASignalDoesNotCutAReadShort) {
    OpenRaw();
    SetTimeouts(0, 0, 30);
    Interruptions signals;
    const auto start = Clock::now();
    BOOL ok = 0;
    const std::string got = Read(127, &ok);
    const double ms = MillisSince(start);
    EXPECT_GT(signals.Stop(), 0) << "no signal came during the read";
    EXPECT_TRUE(ok);
    EXPECT_EQ(got, "");
    EXPECT_GE(ms, 30.0);
    EXPECT_LT(ms, 200.0);
}

TEST_F(Pty, ASignalDoesNotCutAWriteShort) {
    OpenRaw();
    // More than the terminal buffers, so that the write waits for the far
    // end, which starts reading only after some interruptions.
    const std::string bytes(256 * 1024, 'w');
    std::size_t drained = 0;
    Interruptions signals;
    std::thread reader([this, &bytes, &drained] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        const auto start = Clock::now();
        while (drained < bytes.size() && MillisSince(start) < 5000.0) {
            pollfd p = {iMaster, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0) continue;  // the signal may land here too
            char buf[4096];
            const ssize_t n = read(iMaster, buf, sizeof buf);
            if (n > 0) drained += static_cast<std::size_t>(n);
        }
    });
    DWORD done = 0;
    const BOOL ok = WriteFile(iHandle, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    const int interruptions = signals.Stop();
    reader.join();
    EXPECT_GT(interruptions, 0) << "no signal came during the write";
    EXPECT_TRUE(ok);
    EXPECT_EQ(done, bytes.size());
    EXPECT_EQ(drained, bytes.size());
}

// A transfer on a hung-up terminal fails at once. With end of file taken
// for an empty read, or an error for a full buffer, it would wait for a
// terminal that is always ready and never return: hence the child.
// errno may hold EAGAIN from anything before; only what the call itself
// sees may decide.
TEST_F(Pty, AHungUpTerminalFailsAReadAtOnce) {
    OpenRaw();
    SetTimeouts(0, 0, 1000);
    CloseFarEnd();
    const auto start = Clock::now();
    const int result = InChild(
        [this] {
            char buf[16];
            DWORD done = 0;
            errno = EAGAIN;
            return ReadFile(iHandle, buf, sizeof buf, &done, nullptr) ? 1 : 0;
        },
        3000.0);
    EXPECT_EQ(result, 0) << "1: the read succeeded; -1: it never returned";
    EXPECT_LT(MillisSince(start), 100.0);
}

TEST_F(Pty, AHungUpTerminalFailsAWriteAtOnce) {
    OpenRaw();
    COMMTIMEOUTS timeouts = {0, 0, 0, 0, 1000};
    ASSERT_TRUE(SetCommTimeouts(iHandle, &timeouts));
    const auto staleWrite = [this](const std::string& aBytes) {
        DWORD done = 0;
        errno = EAGAIN;
        return WriteFile(iHandle, aBytes.data(), static_cast<DWORD>(aBytes.size()), &done, nullptr) ? 1 : 0;
    };
    const std::string more(256 * 1024, 'w');
    const std::string command = "GT\n";

    // Gone while the write waits for room.
    std::thread hangUp([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        CloseFarEnd();
    });
    auto start = Clock::now();
    int result = InChild(
        [this, &staleWrite, &more] {
            close(iMaster);  // the parent's copy alone keeps the far end open
            return staleWrite(more);
        },
        3000.0);
    double ms = MillisSince(start);
    hangUp.join();
    EXPECT_EQ(result, 0) << "1: the write succeeded; -1: it never returned";
    EXPECT_LT(ms, 20.0 + 100.0);

    // Gone before the write began.
    start = Clock::now();
    result = InChild([&staleWrite, &command] { return staleWrite(command); }, 3000.0);
    EXPECT_EQ(result, 0) << "1: the write succeeded; -1: it never returned";
    EXPECT_LT(MillisSince(start), 100.0);
}

TEST(CommPosix, SleepIsPreciseToTheMillisecond) {
    for (DWORD ms : {1u, 2u, 5u}) {
        std::vector<double> took;
        for (int i = 0; i < 11; ++i) {
            const auto start = Clock::now();
            Sleep(ms);
            took.push_back(MillisSince(start));
        }
        std::sort(took.begin(), took.end());
        EXPECT_GE(took.front(), static_cast<double>(ms));
        EXPECT_LT(took[took.size() / 2], ms + 0.3);
    }
}

TEST(CommPosix, SignalsDoNotCutASleepShort) {
    Interruptions signals;
    const auto start = Clock::now();
    Sleep(30);
    const double ms = MillisSince(start);
    EXPECT_GT(signals.Stop(), 0) << "no signal came during the pause";
    EXPECT_GE(ms, 30.0);
    EXPECT_LT(ms, 200.0);
}

}  // namespace
