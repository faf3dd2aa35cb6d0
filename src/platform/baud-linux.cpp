// Kept apart from the termios code: the kernel's own terminal header, which
// has the arbitrary-rate interface, cannot be used together with <termios.h>.
#include "baud.h"

#if defined(__linux__)
#include <asm/ioctls.h>
#include <asm/termbits.h>

extern "C" int ioctl(int aFd, unsigned long aRequest, ...);

bool SetArbitraryRate(int aFd, std::uint32_t aRate) {
    struct termios2 settings;
    if (ioctl(aFd, TCGETS2, &settings) != 0) return false;
    settings.c_cflag &= ~static_cast<tcflag_t>(CBAUD);
    settings.c_cflag |= BOTHER;
    settings.c_ispeed = aRate;
    settings.c_ospeed = aRate;
    if (ioctl(aFd, TCSETS2, &settings) != 0) return false;
    std::uint32_t applied = 0;
    return GetArbitraryRate(aFd, &applied) && applied == aRate;
}

bool GetArbitraryRate(int aFd, std::uint32_t* aRate) {
    struct termios2 settings;
    if (ioctl(aFd, TCGETS2, &settings) != 0) return false;
    *aRate = settings.c_ospeed;
    return true;
}

#else

bool SetArbitraryRate(int, std::uint32_t) { return false; }
bool GetArbitraryRate(int, std::uint32_t*) { return false; }

#endif
