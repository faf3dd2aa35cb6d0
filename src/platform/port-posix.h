// What the POSIX serial layer keeps per open port, shared by its files.
#ifndef TARNEL_PLATFORM_PORT_POSIX_H
#define TARNEL_PLATFORM_PORT_POSIX_H

#include <cstdint>
#include <string>

#include "comm.h"

struct TPort {
    std::uint32_t iMagic;
    int iFd;
    COMMTIMEOUTS iTimeouts;
};

// The device a port name stands for: COMn and \\.\COMn name the device in
// TARNEL_COMn, or /dev/ttyS<n-1>. False for any other name.
bool DevicePath(const char* aName, std::string* aPath);

// The port behind a handle, or null when the handle is not one of ours.
TPort* PortOf(HANDLE aHandle);

// Line settings of a terminal to and from the DCB record.
bool ReadLineSettings(int aFd, DCB* aDcb);
bool ApplyLineSettings(int aFd, const DCB& aDcb);

#endif
