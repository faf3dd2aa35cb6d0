// A pseudo-terminal whose far end a test of the termios layer drives.
#ifndef TARNEL_TESTS_PLATFORM_PTY_FIXTURE_H
#define TARNEL_TESTS_PLATFORM_PTY_FIXTURE_H

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/comm.h"
#include "platform/port-posix.h"

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

#endif
