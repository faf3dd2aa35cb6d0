// The termios layer against real pseudo-terminals: names, locks and line
// settings, which take no measured time.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/comm.h"
#include "platform/port-posix.h"
#include "pty_fixture.h"

namespace {

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

}  // namespace
