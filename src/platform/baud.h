// Line rates outside the classic termios speed codes, where the kernel
// offers a way to set them.
#ifndef TARNEL_PLATFORM_BAUD_H
#define TARNEL_PLATFORM_BAUD_H

#include <cstdint>

// Both work on the terminal's current settings and return false when the
// system has no such interface or refuses the rate.
bool SetArbitraryRate(int aFd, std::uint32_t aRate);
bool GetArbitraryRate(int aFd, std::uint32_t* aRate);

#endif
