// Kept apart: the kernel's termios2 header cannot share a file with <termios.h>.
#include "line-settings.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

bool ReadLineSpeeds(int aFd, unsigned long& aInput, unsigned long& aOutput) {
    struct termios2 settings {};
    if (ioctl(aFd, TCGETS2, &settings) != 0) return false;
    aInput = settings.c_ispeed;
    aOutput = settings.c_ospeed;
    return true;
}
