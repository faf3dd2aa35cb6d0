#include "serial.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "number.h"

const TBaudEntry KBaudTable[] = {
    {"1200", 1200, 1200},     {"2400", 2400, 2400},     {"4800", 4800, 4800},
    {"9600", 9600, 9600},     {"14400", 14400, 14400},  {"19200", 19200, 19200},
    {"28800", 28800, 28800},  {"38400", 38400, 38400},  {"57600", 57600, 57600},
    {"115200", 115200, 115200}, {nullptr, 0, 0},
};

const TModeEntry KModeTable[] = {
    {"N81", 8, NOPARITY, ONESTOPBIT},     {"E81", 8, EVENPARITY, ONESTOPBIT},
    {"O81", 8, ODDPARITY, ONESTOPBIT},    {"N71", 7, NOPARITY, ONESTOPBIT},
    {"E71", 7, EVENPARITY, ONESTOPBIT},   {"O71", 7, ODDPARITY, ONESTOPBIT},
    {"N82", 8, NOPARITY, TWOSTOPBITS},    {"E82", 8, EVENPARITY, TWOSTOPBITS},
    {"O82", 8, ODDPARITY, TWOSTOPBITS},   {"N72", 7, NOPARITY, TWOSTOPBITS},
    {"E72", 7, EVENPARITY, TWOSTOPBITS},  {"O72", 7, ODDPARITY, TWOSTOPBITS},
    {"N81.5", 8, NOPARITY, ONE5STOPBITS}, {"E81.5", 8, EVENPARITY, ONE5STOPBITS},
    {"O81.5", 8, ODDPARITY, ONE5STOPBITS}, {"N71.5", 7, NOPARITY, ONE5STOPBITS},
    {"E71.5", 7, EVENPARITY, ONE5STOPBITS}, {"O71.5", 7, ODDPARITY, ONE5STOPBITS},
    {"8N1", 8, NOPARITY, ONESTOPBIT},     {"8E1", 8, EVENPARITY, ONESTOPBIT},
    {"8O1", 8, ODDPARITY, ONESTOPBIT},    {"7N1", 7, NOPARITY, ONESTOPBIT},
    {"7E1", 7, EVENPARITY, ONESTOPBIT},   {"7O1", 7, ODDPARITY, ONESTOPBIT},
    {"8N2", 8, NOPARITY, TWOSTOPBITS},    {"8E2", 8, EVENPARITY, TWOSTOPBITS},
    {"8O2", 8, ODDPARITY, TWOSTOPBITS},   {"7N2", 7, NOPARITY, TWOSTOPBITS},
    {"7E2", 7, EVENPARITY, TWOSTOPBITS},  {"7O2", 7, ODDPARITY, TWOSTOPBITS},
    {"8N1.5", 8, NOPARITY, ONE5STOPBITS}, {"8E1.5", 8, EVENPARITY, ONE5STOPBITS},
    {"8O1.5", 8, ODDPARITY, ONE5STOPBITS}, {"7N1.5", 7, NOPARITY, ONE5STOPBITS},
    {"7E1.5", 7, EVENPARITY, ONE5STOPBITS}, {"7O1.5", 7, ODDPARITY, ONE5STOPBITS},
    {nullptr, 0, 0, 0},
};

namespace {

void DerivePortName(const CSerial& aSerial, const char* aDevice, char (&aName)[64]) {
    long long n = 0;
    if (const char* com = aSerial.SearchCfg(aDevice, "COM")) n = SaturatedInteger(com + 3);
    if (n >= 1 && n <= 9) {
        std::snprintf(aName, sizeof aName, "COM%lld", n);
    } else if (n >= 10) {
        std::snprintf(aName, sizeof aName, "\\\\.\\COM%lld", n);
    } else {
        std::snprintf(aName, sizeof aName, "COM%d", 1);
    }
}

}  // namespace

CSerial::CSerial()
    : iPortName("COM1"), iBaudRate(9600), iMode(KModeTable[0].iName), iLastError(nullptr),
      iHandle(INVALID_HANDLE_VALUE) {}

CSerial::~CSerial() { Close(); }

const char* CSerial::SearchCfg(const char* aText, const char* aPattern) const {
    if (*aPattern == '\0') return nullptr;
    for (const char* pos = aText;; ++pos) {
        const char* t = pos;
        const char* p = aPattern;
        while (*p != '\0' && *t == *p) {
            ++t;
            ++p;
        }
        if (*p == '\0') return pos;
        if (*pos == '\0') return nullptr;
    }
}

bool CSerial::IsOpened() const { return iHandle != INVALID_HANDLE_VALUE; }

int CSerial::Open(const char* aDevice, const char* aSettings) {
    // A device's path is opened whole; the name keeps what fits of it.
    const bool path = IsDevicePath(aDevice);
    if (path) {
        std::snprintf(iPortName, sizeof iPortName, "%s", aDevice);
    } else {
        DerivePortName(*this, aDevice, iPortName);
    }

    if (IsOpened()) {
        iLastError = "Error: Already Open";
        return -1;
    }

    iHandle = CreateFileA(path ? aDevice : iPortName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                          nullptr);
    if (!IsOpened()) {
        iLastError = "Error: Open Port";
        return -1;
    }

    DCB dcb;
    std::memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(iHandle, &dcb)) {
        iLastError = "Error: Get DCB Error";
        return -1;
    }

    for (const TBaudEntry* row = KBaudTable; row->iName != nullptr; ++row) {
        if (SearchCfg(aSettings, row->iName) != nullptr) {
            dcb.BaudRate = row->iDcbRate;
            iBaudRate = row->iRate;
            break;
        }
    }

    const TModeEntry* mode = nullptr;
    for (const TModeEntry* row = KModeTable; row->iName != nullptr; ++row) {
        if (SearchCfg(aSettings, row->iName) != nullptr &&
            (mode == nullptr || std::strlen(row->iName) > std::strlen(mode->iName))) {
            mode = row;
        }
    }
    if (mode != nullptr) {
        dcb.ByteSize = mode->iDataBits;
        dcb.Parity = mode->iParity;
        dcb.StopBits = mode->iStopBits;
        iMode = mode->iName;
    }

    // The sensor needs DTR and RTS up and no flow control of any kind.
    dcb.fOutxCtsFlow = 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = 0;
    dcb.fOutX = 0;
    dcb.fInX = 0;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;

    if (!SetCommState(iHandle, &dcb)) {
        iLastError = "Error: Set DCB";
        return -1;
    }

    // A read waits about a millisecond for data and returns what came.
    COMMTIMEOUTS timeouts;
    timeouts.ReadIntervalTimeout = 1;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 1;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    if (!SetCommTimeouts(iHandle, &timeouts)) {
        iLastError = "Error: Set Timeout";
        return -1;
    }

    COMMPROP properties;
    std::memset(&properties, 0, sizeof properties);
    if (!GetCommProperties(iHandle, &properties)) {
        iLastError = "Error: Get properties";
        return -1;
    }
    return 0;
}

void CSerial::Close() {
    if (IsOpened()) {
        PurgeComm(iHandle, PURGE_TXABORT | PURGE_RXABORT);
        CloseHandle(iHandle);
    }
    iHandle = INVALID_HANDLE_VALUE;
}

int CSerial::Read(std::uint8_t* aBuffer, int aCount) {
    if (!IsOpened()) return -1;
    DWORD done = 0;
    if (aCount < 0 || !ReadFile(iHandle, aBuffer, static_cast<DWORD>(aCount), &done, nullptr) ||
        done > static_cast<DWORD>(aCount)) {
        iLastError = "Error: Read";
        return -1;
    }
    return static_cast<int>(done);
}

int CSerial::Write(const std::uint8_t* aBytes, int aCount) {
    if (!IsOpened()) return -1;
    DWORD done = 0;
    if (aCount < 0 || !WriteFile(iHandle, aBytes, static_cast<DWORD>(aCount), &done, nullptr) ||
        done > static_cast<DWORD>(aCount)) {
        iLastError = "Error: Write";
        return -1;
    }
    return static_cast<int>(done);
}

int CSerial::Puts(const char* aText) {
    if (!IsOpened()) return -1;
    std::size_t length = std::strlen(aText);
    if (length == 0) return 0;
    if (length > INT_MAX) {
        iLastError = "Error: Write";
        return -1;
    }
    return Write(reinterpret_cast<const std::uint8_t*>(aText), static_cast<int>(length));
}

void CSerial::Flush() {
    if (IsOpened()) PurgeComm(iHandle, PURGE_TXCLEAR | PURGE_RXCLEAR);
}

void CSerial::Dtr(bool aOn) {
    if (IsOpened()) EscapeCommFunction(iHandle, aOn ? SETDTR : CLRDTR);
}

void CSerial::Rts(bool aOn) {
    if (IsOpened()) EscapeCommFunction(iHandle, aOn ? SETRTS : CLRRTS);
}

bool CSerial::Dsr() {
    if (!IsOpened()) return false;
    DWORD status = 0;
    return GetCommModemStatus(iHandle, &status) && (status & MS_DSR_ON) != 0;
}

bool CSerial::Cts() {
    if (!IsOpened()) return false;
    DWORD status = 0;
    return GetCommModemStatus(iHandle, &status) && (status & MS_CTS_ON) != 0;
}
