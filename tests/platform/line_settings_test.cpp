// The DCB record to and from termios fields, without a device: what a
// pseudo-terminal cannot show, as it carries 8 bits without parity at any rate.
#include <gtest/gtest.h>

#include <sys/ioctl.h>
#include <termios.h>

#include <functional>

#include "platform/line-settings.h"

namespace {

const tcflag_t KFormat = CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS;
const tcflag_t KInputModes = IXON | IXOFF | INPCK;

// Everything raw mode clears set, and a format and rate the record replaces.
termios Cooked() {
    termios t{};
    t.c_iflag =
        IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK | IMAXBEL;
    t.c_oflag = OPOST | ONLCR;
    t.c_lflag = ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN;
    t.c_cflag = CS6 | PARENB | PARODD | CSTOPB | CRTSCTS;
    cfsetispeed(&t, B300);
    cfsetospeed(&t, B300);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 5;
    return t;
}

// Nothing set at all, so that every flag the record asks must be set.
termios Cleared() { return termios{}; }

DCB Record(DWORD aRate, BYTE aBits, BYTE aParity, BYTE aStop) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = aRate;
    dcb.fBinary = 1;
    dcb.fParity = 1;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.ByteSize = aBits;
    dcb.Parity = aParity;
    dcb.StopBits = aStop;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    return dcb;
}

// What a case asks besides rate and format.
enum : unsigned {
    KCheck = 1,         // fParity
    KCts = 2,           // fOutxCtsFlow
    KRtsHandshake = 4,  // fRtsControl
    KXonOut = 8,        // fOutX
    KXonIn = 16,        // fInX
};

TEST(DcbTermios, EveryRateAndFormatTranslatesBothWays) {
    struct Case {
        DWORD rate;
        speed_t code;  // 0: no speed code, only the arbitrary-rate interface
        BYTE bits, parity, stop;
        unsigned asks;
        tcflag_t cflags;
        tcflag_t iflags;
    } cases[] = {
        {1200, B1200, 7, EVENPARITY, ONESTOPBIT, KCheck, CS7 | PARENB, INPCK},
        {2400, B2400, 7, ODDPARITY, ONESTOPBIT, KCheck, CS7 | PARENB | PARODD, INPCK},
        {4800, B4800, 7, NOPARITY, TWOSTOPBITS, KCheck, CS7 | CSTOPB, 0},
        {9600, B9600, 8, ODDPARITY, TWOSTOPBITS, 0, CS8 | PARENB | PARODD | CSTOPB, 0},
        {14400, 0, 8, EVENPARITY, TWOSTOPBITS, KCheck, CS8 | PARENB | CSTOPB, INPCK},
        {19200, B19200, 8, NOPARITY, TWOSTOPBITS, KCheck, CS8 | CSTOPB, 0},
        {28800, 0, 7, EVENPARITY, TWOSTOPBITS, 0, CS7 | PARENB | CSTOPB, 0},
        {38400, B38400, 8, NOPARITY, ONESTOPBIT, KCts, CS8 | CRTSCTS, 0},
        {57600, B57600, 8, NOPARITY, ONESTOPBIT, KRtsHandshake | KXonOut, CS8 | CRTSCTS, IXON},
        {115200, B115200, 8, NOPARITY, ONESTOPBIT, KXonIn, CS8, IXOFF},
        {115200, B115200, 8, ODDPARITY, ONESTOPBIT, KCheck | KCts | KRtsHandshake | KXonOut | KXonIn,
         CS8 | PARENB | PARODD | CRTSCTS, IXON | IXOFF | INPCK},
        // One and a half stop bits exist with five data bits only.
        {9600, B9600, 5, NOPARITY, ONE5STOPBITS, 0, CS5 | CSTOPB, 0},
#ifdef CMSPAR
        {9600, B9600, 8, MARKPARITY, ONESTOPBIT, KCheck, CS8 | PARENB | PARODD | CMSPAR, INPCK},
        {9600, B9600, 8, SPACEPARITY, ONESTOPBIT, KCheck, CS8 | PARENB | CMSPAR, INPCK},
#endif
    };
    for (const Case& c : cases) {
        for (const auto& start : {Cooked(), Cleared()}) {
            SCOPED_TRACE(testing::Message()
                         << c.rate << " " << int{c.bits} << "/" << int{c.parity} << "/" << int{c.stop}
                         << (start.c_lflag != 0 ? " over cooked" : " over cleared"));
            DCB dcb = Record(c.rate, c.bits, c.parity, c.stop);
            dcb.fParity = (c.asks & KCheck) != 0;
            dcb.fOutxCtsFlow = (c.asks & KCts) != 0;
            dcb.fRtsControl = (c.asks & KRtsHandshake) != 0 ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
            dcb.fOutX = (c.asks & KXonOut) != 0;
            dcb.fInX = (c.asks & KXonIn) != 0;

            termios t = start;
            bool arbitrary = true;
            ASSERT_TRUE(TermiosFromDcb(dcb, &t, &arbitrary));
            tcflag_t format = KFormat;
#ifdef CMSPAR
            format |= CMSPAR;
#endif
            EXPECT_EQ(t.c_cflag & format, c.cflags);
            EXPECT_EQ(t.c_cflag & (CREAD | CLOCAL), static_cast<tcflag_t>(CREAD | CLOCAL));
            EXPECT_EQ(t.c_iflag & KInputModes, c.iflags);
            EXPECT_EQ(arbitrary, c.code == 0);
            if (c.code != 0) {
                EXPECT_EQ(cfgetospeed(&t), c.code);
                EXPECT_EQ(cfgetispeed(&t), c.code);
                EXPECT_EQ(RateOfSpeedCode(cfgetospeed(&t)), c.rate);
            } else {
                EXPECT_EQ(cfgetospeed(&t), cfgetospeed(&start)) << "left for the arbitrary-rate interface";
            }
            // Raw mode whatever was asked.
            EXPECT_EQ(t.c_iflag & ~KInputModes, 0u);
            EXPECT_EQ(t.c_oflag & OPOST, 0u);
            EXPECT_EQ(t.c_lflag & (ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN), 0u);
            EXPECT_EQ(t.c_cc[VMIN], 1);
            EXPECT_EQ(t.c_cc[VTIME], 0);
            EXPECT_EQ(t.c_cc[VSTART], 0x11);
            EXPECT_EQ(t.c_cc[VSTOP], 0x13);

            DCB back{};
            DcbFromTermios(t, c.rate, TIOCM_DTR | TIOCM_RTS, &back);
            EXPECT_EQ(back.DCBlength, sizeof back);
            EXPECT_EQ(back.BaudRate, c.rate);
            EXPECT_EQ(back.ByteSize, c.bits);
            EXPECT_EQ(back.Parity, c.parity);
            EXPECT_EQ(back.StopBits, c.stop);
            EXPECT_EQ(back.fParity, (c.iflags & INPCK) != 0);
            EXPECT_EQ(back.fOutxCtsFlow, (c.cflags & CRTSCTS) != 0);
            EXPECT_EQ(back.fRtsControl,
                      (c.cflags & CRTSCTS) != 0 ? DWORD{RTS_CONTROL_HANDSHAKE} : DWORD{RTS_CONTROL_ENABLE});
            EXPECT_EQ(back.fOutX, (c.asks & KXonOut) != 0);
            EXPECT_EQ(back.fInX, (c.asks & KXonIn) != 0);
            EXPECT_EQ(back.fBinary, 1u);
            EXPECT_EQ(back.XonChar, 0x11);
            EXPECT_EQ(back.XoffChar, 0x13);
        }
    }
}

TEST(DcbTermios, WhatNoUartDoesIsRefused) {
    struct Case {
        const char* what;
        DWORD rate;
        BYTE bits, parity, stop;
    } cases[] = {
        {"1.5 stop bits with 8 data bits", 9600, 8, NOPARITY, ONE5STOPBITS},
        {"1.5 stop bits with 7 data bits", 9600, 7, EVENPARITY, ONE5STOPBITS},
        {"9 data bits", 9600, 9, NOPARITY, ONESTOPBIT},
        {"4 data bits", 9600, 4, NOPARITY, ONESTOPBIT},
        {"unknown parity", 9600, 8, 5, ONESTOPBIT},
        {"unknown stop bits", 9600, 8, NOPARITY, 3},
        {"rate 0", 0, 8, NOPARITY, ONESTOPBIT},
    };
    for (const Case& c : cases) {
        termios t = Cooked();
        bool arbitrary = false;
        EXPECT_FALSE(TermiosFromDcb(Record(c.rate, c.bits, c.parity, c.stop), &t, &arbitrary)) << c.what;
    }
}

TEST(DcbTermios, ModemLinesAndFlowControlReadBack) {
    termios t = Cleared();
    bool arbitrary = false;
    ASSERT_TRUE(TermiosFromDcb(Record(9600, 8, NOPARITY, ONESTOPBIT), &t, &arbitrary));
    struct Case {
        int lines;
        DWORD dtr, rts;
    } cases[] = {
        {0, DTR_CONTROL_DISABLE, RTS_CONTROL_DISABLE},
        {TIOCM_DTR, DTR_CONTROL_ENABLE, RTS_CONTROL_DISABLE},
        {TIOCM_RTS, DTR_CONTROL_DISABLE, RTS_CONTROL_ENABLE},
        {TIOCM_DTR | TIOCM_RTS, DTR_CONTROL_ENABLE, RTS_CONTROL_ENABLE},
    };
    for (const Case& c : cases) {
        DCB back{};
        DcbFromTermios(t, 9600, c.lines, &back);
        EXPECT_EQ(back.fDtrControl, c.dtr) << c.lines;
        EXPECT_EQ(back.fRtsControl, c.rts) << c.lines;
    }
    // With hardware flow the terminal drives RTS, whatever the line shows.
    t.c_cflag |= CRTSCTS;
    DCB back{};
    DcbFromTermios(t, 9600, 0, &back);
    EXPECT_EQ(back.fRtsControl, DWORD{RTS_CONTROL_HANDSHAKE});
}

TEST(DcbTermios, ASettingTheTerminalDidNotTakeIsRefused) {
    termios asked = Cooked();
    bool arbitrary = false;
    DCB dcb = Record(9600, 7, ODDPARITY, TWOSTOPBITS);
    dcb.fOutxCtsFlow = 1;
    ASSERT_TRUE(TermiosFromDcb(dcb, &asked, &arbitrary));

    struct Case {
        const char* what;
        std::function<void(termios*)> change;
        std::uint32_t rate;
        bool taken;
    } cases[] = {
        {"all of it", [](termios*) {}, 9600, true},
        {"another rate", [](termios*) {}, 19200, false},
        {"a rate that cannot be read", [](termios*) {}, 0, false},
        // What a pseudo-terminal does with 7 data bits and parity.
        {"8 bits without parity",
         [](termios* t) {
             t->c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD);
             t->c_cflag |= CS8;
         },
         9600, false},
        {"odd parity become even", [](termios* t) { t->c_cflag &= ~static_cast<tcflag_t>(PARODD); }, 9600,
         false},
        {"one stop bit", [](termios* t) { t->c_cflag &= ~static_cast<tcflag_t>(CSTOPB); }, 9600, false},
        {"no hardware flow", [](termios* t) { t->c_cflag &= ~static_cast<tcflag_t>(CRTSCTS); }, 9600, false},
        {"no receiver", [](termios* t) { t->c_cflag &= ~static_cast<tcflag_t>(CREAD); }, 9600, false},
        {"modem control", [](termios* t) { t->c_cflag &= ~static_cast<tcflag_t>(CLOCAL); }, 9600, false},
    };
    for (const Case& c : cases) {
        termios applied = asked;
        c.change(&applied);
        EXPECT_EQ(TerminalTookSettings(asked, 9600, applied, c.rate), c.taken) << c.what;
    }
}

}  // namespace
