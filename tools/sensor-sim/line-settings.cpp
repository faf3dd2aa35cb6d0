#include "line-settings.h"

#include <termios.h>

#include <cerrno>
#include <cstring>

namespace {

struct TSpeedEntry {
    unsigned long iRate;
    speed_t iCode;
};

const TSpeedEntry KStartSpeeds[] = {
    {1200, B1200},   {2400, B2400},   {4800, B4800},     {9600, B9600},
    {19200, B19200}, {38400, B38400}, {57600, B57600},   {115200, B115200},
    {230400, B230400},
};

bool FindSpeed(unsigned long aRate, speed_t& aCode) {
    for (const TSpeedEntry& entry : KStartSpeeds) {
        if (entry.iRate == aRate) {
            aCode = entry.iCode;
            return true;
        }
    }
    return false;
}

void AddFlag(std::string& aText, const char* aName, bool aOn) {
    aText += ' ';
    aText += aName;
    aText += aOn ? "=1" : "=0";
}

}  // namespace

bool IsSupportedStartSpeed(unsigned long aSpeed) {
    speed_t code = 0;
    return FindSpeed(aSpeed, code);
}

bool ApplyStartLine(int aFd, const StartLine& aLine, std::string& aError) {
    if (!aLine.iSet) return true;
    termios settings {};
    speed_t code = 0;
    if (!FindSpeed(aLine.iSpeed, code) || tcgetattr(aFd, &settings) != 0) {
        aError = std::string("cannot read the terminal settings: ") + std::strerror(errno);
        return false;
    }
    cfsetispeed(&settings, code);
    cfsetospeed(&settings, code);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    switch (aLine.iDataBits) {
        case 5: settings.c_cflag |= CS5; break;
        case 6: settings.c_cflag |= CS6; break;
        case 7: settings.c_cflag |= CS7; break;
        default: settings.c_cflag |= CS8; break;
    }
    if (aLine.iParity == 'E') settings.c_cflag |= PARENB;
    if (aLine.iParity == 'O') settings.c_cflag |= PARENB | PARODD;
    if (aLine.iStopBits == 2) settings.c_cflag |= CSTOPB;
    if (aLine.iRtsCts) settings.c_cflag |= CRTSCTS;
    settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF);
    if (aLine.iXonXoff) settings.c_iflag |= IXON | IXOFF;
    if (tcsetattr(aFd, TCSANOW, &settings) != 0) {
        aError = std::string("cannot set the terminal settings: ") + std::strerror(errno);
        return false;
    }
    return true;
}

std::string DescribeLine(int aFd) {
    termios settings {};
    if (tcgetattr(aFd, &settings) != 0) return std::string("error=") + std::strerror(errno);
    unsigned long input = 0;
    unsigned long output = 0;
    std::string text;
    if (ReadLineSpeeds(aFd, input, output)) {
        text += "ispeed=" + std::to_string(input) + " ospeed=" + std::to_string(output);
    } else {
        text += "ispeed=? ospeed=?";
    }
    int bits = 8;
    switch (settings.c_cflag & CSIZE) {
        case CS5: bits = 5; break;
        case CS6: bits = 6; break;
        case CS7: bits = 7; break;
        default: break;
    }
    text += " bits=" + std::to_string(bits);
    const char* parity = "none";
    if ((settings.c_cflag & PARENB) != 0) {
        bool odd = (settings.c_cflag & PARODD) != 0;
        if ((settings.c_cflag & CMSPAR) != 0) {
            parity = odd ? "mark" : "space";
        } else {
            parity = odd ? "odd" : "even";
        }
    }
    text += std::string(" parity=") + parity;
    text += (settings.c_cflag & CSTOPB) != 0 ? " stop=2" : " stop=1";
    AddFlag(text, "icanon", (settings.c_lflag & ICANON) != 0);
    AddFlag(text, "echo", (settings.c_lflag & ECHO) != 0);
    AddFlag(text, "echonl", (settings.c_lflag & ECHONL) != 0);
    AddFlag(text, "isig", (settings.c_lflag & ISIG) != 0);
    AddFlag(text, "iexten", (settings.c_lflag & IEXTEN) != 0);
    AddFlag(text, "opost", (settings.c_oflag & OPOST) != 0);
    AddFlag(text, "onlcr", (settings.c_oflag & ONLCR) != 0);
    AddFlag(text, "icrnl", (settings.c_iflag & ICRNL) != 0);
    AddFlag(text, "inlcr", (settings.c_iflag & INLCR) != 0);
    AddFlag(text, "igncr", (settings.c_iflag & IGNCR) != 0);
    AddFlag(text, "istrip", (settings.c_iflag & ISTRIP) != 0);
    AddFlag(text, "inpck", (settings.c_iflag & INPCK) != 0);
    AddFlag(text, "ixon", (settings.c_iflag & IXON) != 0);
    AddFlag(text, "ixoff", (settings.c_iflag & IXOFF) != 0);
    AddFlag(text, "crtscts", (settings.c_cflag & CRTSCTS) != 0);
    AddFlag(text, "cread", (settings.c_cflag & CREAD) != 0);
    AddFlag(text, "clocal", (settings.c_cflag & CLOCAL) != 0);
    AddFlag(text, "hupcl", (settings.c_cflag & HUPCL) != 0);
    text += " vmin=" + std::to_string(static_cast<unsigned>(settings.c_cc[VMIN]));
    text += " vtime=" + std::to_string(static_cast<unsigned>(settings.c_cc[VTIME]));
    return text;
}

std::chrono::nanoseconds FrameTime(int aFd) {
    termios settings {};
    unsigned long input = 0;
    unsigned long output = 0;
    if (tcgetattr(aFd, &settings) != 0 || !ReadLineSpeeds(aFd, input, output) || output == 0) {
        return std::chrono::nanoseconds(0);
    }
    long long bits = 1;
    switch (settings.c_cflag & CSIZE) {
        case CS5: bits += 5; break;
        case CS6: bits += 6; break;
        case CS7: bits += 7; break;
        default: bits += 8; break;
    }
    if ((settings.c_cflag & PARENB) != 0) bits += 1;
    bits += (settings.c_cflag & CSTOPB) != 0 ? 2 : 1;
    return std::chrono::nanoseconds(bits * 1000000000LL / static_cast<long long>(output));
}
