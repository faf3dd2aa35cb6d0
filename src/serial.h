// The serial port: naming, opening and configuring, transfers, modem lines.
#ifndef TARNEL_SERIAL_H
#define TARNEL_SERIAL_H

#include <cstdint>

#include "platform/comm.h"

struct TBaudEntry {
    const char* iName;
    std::uint32_t iDcbRate;
    std::int32_t iRate;
};

struct TModeEntry {
    const char* iName;
    std::uint8_t iDataBits;
    std::uint8_t iParity;
    std::uint8_t iStopBits;
};

// Both end with a row whose name is null.
extern const TBaudEntry KBaudTable[];
extern const TModeEntry KModeTable[];

class CSerial {
public:
    CSerial();
    ~CSerial();
    CSerial(const CSerial&) = delete;
    CSerial& operator=(const CSerial&) = delete;

    const char* SearchCfg(const char* aText, const char* aPattern) const;
    int Open(const char* aDevice, const char* aSettings);
    void Close();
    bool IsOpened() const;

    int Read(std::uint8_t* aBuffer, int aCount);
    int Write(const std::uint8_t* aBytes, int aCount);
    int Puts(const char* aText);
    void Flush();
    void Dtr(bool aOn);
    void Rts(bool aOn);
    bool Dsr();
    bool Cts();

    char iPortName[64];
    std::int32_t iBaudRate;
    const char* iMode;
    const char* iLastError;
    HANDLE iHandle;
};

#endif
