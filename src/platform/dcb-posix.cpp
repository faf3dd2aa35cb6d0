// The DCB record over termios: raw mode always, then what the record asks.
#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>

#include "baud.h"
#include "line-settings.h"
#include "port-posix.h"

namespace {

struct TSpeed {
    std::uint32_t iRate;
    speed_t iCode;
};

const TSpeed KSpeeds[] = {
    {50, B50},       {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},     {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400},
#ifdef B460800
    {460800, B460800}, {921600, B921600},
#endif
};

bool SpeedCode(std::uint32_t aRate, speed_t* aCode) {
    for (const TSpeed& s : KSpeeds) {
        if (s.iRate == aRate) {
            *aCode = s.iCode;
            return true;
        }
    }
    return false;
}

std::uint32_t RateOf(int aFd, const termios& aSettings) {
    const std::uint32_t classic = RateOfSpeedCode(cfgetospeed(&aSettings));
    if (classic != 0) return classic;
    std::uint32_t rate = 0;
    return GetArbitraryRate(aFd, &rate) ? rate : 0;
}

// Devices without modem lines (pseudo-terminals) refuse these; that is no
// reason to refuse the line settings.
bool SetModemLine(int aFd, int aLine, bool aOn) {
    if (ioctl(aFd, aOn ? TIOCMBIS : TIOCMBIC, &aLine) == 0) return true;
    return errno == ENOTTY || errno == EINVAL;
}

const tcflag_t KFormatFlags = CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS
#ifdef CMSPAR
                              | CMSPAR
#endif
    ;

}  // namespace

std::uint32_t RateOfSpeedCode(speed_t aCode) {
    for (const TSpeed& s : KSpeeds) {
        if (s.iCode == aCode) return s.iRate;
    }
    return 0;
}

void DcbFromTermios(const termios& aSettings, std::uint32_t aRate, int aModemLines, DCB* aDcb) {
    const termios& t = aSettings;
    const bool hardwareFlow = (t.c_cflag & CRTSCTS) != 0;
    aDcb->DCBlength = sizeof *aDcb;
    aDcb->BaudRate = aRate;
    aDcb->fBinary = 1;
    aDcb->fParity = (t.c_iflag & INPCK) != 0;
    aDcb->fOutxCtsFlow = hardwareFlow;
    aDcb->fOutxDsrFlow = 0;
    aDcb->fDtrControl = (aModemLines & TIOCM_DTR) != 0 ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    aDcb->fDsrSensitivity = 0;
    aDcb->fTXContinueOnXoff = 0;
    aDcb->fOutX = (t.c_iflag & IXON) != 0;
    aDcb->fInX = (t.c_iflag & IXOFF) != 0;
    aDcb->fErrorChar = 0;
    aDcb->fNull = 0;
    aDcb->fRtsControl = hardwareFlow ? RTS_CONTROL_HANDSHAKE
                        : (aModemLines & TIOCM_RTS) != 0 ? RTS_CONTROL_ENABLE
                                                         : RTS_CONTROL_DISABLE;
    aDcb->fAbortOnError = 0;
    aDcb->fDummy2 = 0;
    aDcb->wReserved = 0;
    aDcb->XonLim = 2048;
    aDcb->XoffLim = 512;
    switch (t.c_cflag & CSIZE) {
        case CS5: aDcb->ByteSize = 5; break;
        case CS6: aDcb->ByteSize = 6; break;
        case CS7: aDcb->ByteSize = 7; break;
        default: aDcb->ByteSize = 8; break;
    }
    if ((t.c_cflag & PARENB) == 0) {
        aDcb->Parity = NOPARITY;
    } else {
        const bool odd = (t.c_cflag & PARODD) != 0;
#ifdef CMSPAR
        if ((t.c_cflag & CMSPAR) != 0) {
            aDcb->Parity = odd ? MARKPARITY : SPACEPARITY;
        } else
#endif
        {
            aDcb->Parity = odd ? ODDPARITY : EVENPARITY;
        }
    }
    aDcb->StopBits = (t.c_cflag & CSTOPB) == 0 ? ONESTOPBIT
                     : aDcb->ByteSize == 5     ? ONE5STOPBITS
                                               : TWOSTOPBITS;
    aDcb->XonChar = static_cast<char>(t.c_cc[VSTART]);
    aDcb->XoffChar = static_cast<char>(t.c_cc[VSTOP]);
    aDcb->ErrorChar = 0;
    aDcb->EofChar = 0;
    aDcb->EvtChar = 0;
    aDcb->wReserved1 = 0;
}

bool TermiosFromDcb(const DCB& aDcb, termios* aSettings, bool* aArbitraryRate) {
    termios& t = *aSettings;
    tcflag_t size;
    switch (aDcb.ByteSize) {
        case 5: size = CS5; break;
        case 6: size = CS6; break;
        case 7: size = CS7; break;
        case 8: size = CS8; break;
        default: return false;
    }
    tcflag_t format = size | CREAD | CLOCAL;
    switch (aDcb.Parity) {
        case NOPARITY: break;
        case ODDPARITY: format |= PARENB | PARODD; break;
        case EVENPARITY: format |= PARENB; break;
#ifdef CMSPAR
        case MARKPARITY: format |= PARENB | PARODD | CMSPAR; break;
        case SPACEPARITY: format |= PARENB | CMSPAR; break;
#endif
        default: return false;
    }
    switch (aDcb.StopBits) {
        case ONESTOPBIT: break;
        case TWOSTOPBITS: format |= CSTOPB; break;
        case ONE5STOPBITS:
            // A UART sends one and a half stop bits only with five data bits.
            if (aDcb.ByteSize != 5) return false;
            format |= CSTOPB;
            break;
        default: return false;
    }
    if (aDcb.fOutxCtsFlow || aDcb.fRtsControl == RTS_CONTROL_HANDSHAKE) format |= CRTSCTS;

    // Raw bytes both ways: no echo, no line editing, no translation, no signals.
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF | IXANY | INPCK | IMAXBEL);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~(KFormatFlags | CREAD | CLOCAL);
    t.c_cflag |= format;
    if (aDcb.Parity != NOPARITY && aDcb.fParity) t.c_iflag |= INPCK;
    if (aDcb.fOutX) t.c_iflag |= IXON;
    if (aDcb.fInX) t.c_iflag |= IXOFF;
    if (aDcb.XonChar != 0) t.c_cc[VSTART] = static_cast<cc_t>(aDcb.XonChar);
    if (aDcb.XoffChar != 0) t.c_cc[VSTOP] = static_cast<cc_t>(aDcb.XoffChar);
    // Reads are timed by the layer, never by the terminal; with a minimum of
    // one byte an empty non-blocking read says EAGAIN, not end of file.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;

    speed_t code;
    const bool classic = SpeedCode(aDcb.BaudRate, &code);
    if (classic && (cfsetispeed(&t, code) != 0 || cfsetospeed(&t, code) != 0)) return false;
    if (aDcb.BaudRate == 0) return false;
    *aArbitraryRate = !classic;
    return true;
}

bool TerminalTookSettings(const termios& aAsked, std::uint32_t aAskedRate, const termios& aApplied,
                          std::uint32_t aAppliedRate) {
    const tcflag_t format = KFormatFlags | CREAD | CLOCAL;
    return (aApplied.c_cflag & format) == (aAsked.c_cflag & format) && aAppliedRate == aAskedRate;
}

bool ReadLineSettings(int aFd, DCB* aDcb) {
    termios t;
    if (tcgetattr(aFd, &t) != 0) return false;
    int lines = TIOCM_DTR | TIOCM_RTS;  // assumed raised where they cannot be read
    if (ioctl(aFd, TIOCMGET, &lines) != 0) lines = TIOCM_DTR | TIOCM_RTS;
    DcbFromTermios(t, RateOf(aFd, t), lines, aDcb);
    return true;
}

bool ApplyLineSettings(int aFd, const DCB& aDcb) {
    termios t;
    if (tcgetattr(aFd, &t) != 0) return false;
    bool arbitrary = false;
    if (!TermiosFromDcb(aDcb, &t, &arbitrary)) return false;
    if (tcsetattr(aFd, TCSANOW, &t) != 0) return false;
    if (arbitrary && !SetArbitraryRate(aFd, aDcb.BaudRate)) return false;

    termios applied;
    if (tcgetattr(aFd, &applied) != 0) return false;
    if (!TerminalTookSettings(t, aDcb.BaudRate, applied, RateOf(aFd, applied))) return false;

    const bool dtr = aDcb.fDtrControl != DTR_CONTROL_DISABLE;
    const bool rts = aDcb.fRtsControl != RTS_CONTROL_DISABLE;
    return SetModemLine(aFd, TIOCM_DTR, dtr) && SetModemLine(aFd, TIOCM_RTS, rts);
}
