// The termios layer against real pseudo-terminals: read windows, signals and
// hang-ups, timed to the millisecond.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/comm.h"
#include "pty_fixture.h"

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
