// Device texts through the port-name derivation, settings texts through
// SearchCfg and the rate and format tables.
//
// Input: a device text, a zero byte, a settings text, a zero byte, a search
// pattern; missing pieces are empty.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "comm_stub.h"
#include "fuzz_check.h"
#include "port_name_check.h"
#include "serial.h"

namespace {

std::vector<std::string> Pieces(const std::uint8_t* aData, std::size_t aSize, std::size_t aCount) {
    std::vector<std::string> pieces(aCount);
    std::size_t piece = 0;
    for (std::size_t i = 0; i < aSize && piece < aCount; ++i) {
        if (aData[i] == 0) {
            ++piece;
        } else {
            pieces[piece] += static_cast<char>(aData[i]);
        }
    }
    return pieces;
}

void CheckSearch(const CSerial& aSerial, const std::string& aText, const std::string& aPattern) {
    const char* found = aSerial.SearchCfg(aText.c_str(), aPattern.c_str());
    const char* expected = aPattern.empty() ? nullptr : std::strstr(aText.c_str(), aPattern.c_str());
    FUZZ_CHECK(found == expected, "SearchCfg(" + Quoted(aText) + ", " + Quoted(aPattern) + ")");
}

// A port that cannot be opened: the name is derived all the same.
void CheckDevice(const std::string& aDevice, const std::string& aSettings) {
    gCommStub = TCommStub();
    CSerial serial;
    FUZZ_CHECK(serial.Open(aDevice.c_str(), aSettings.c_str()) == -1, "device " + Quoted(aDevice));
    FUZZ_CHECK(!serial.IsOpened() && serial.iLastError != nullptr &&
                   std::strcmp(serial.iLastError, "Error: Open Port") == 0,
               "device " + Quoted(aDevice));
    const std::string opened = IsDevicePath(aDevice.c_str()) ? aDevice : std::string(serial.iPortName);
    FUZZ_CHECK(gCommStub.iCreateCalls == 1 && gCommStub.iCreateName == opened &&
                   gCommStub.iCreateAccess == (GENERIC_READ | GENERIC_WRITE) && gCommStub.iCreateShare == 0 &&
                   gCommStub.iCreateDisposition == OPEN_EXISTING && gCommStub.iCreateFlags == 0,
               "device " + Quoted(aDevice) + ": CreateFileA got " + Quoted(gCommStub.iCreateName));
    CheckPortName(aDevice, serial.iPortName, "failed open");
}

std::uint32_t Fill32(unsigned char aFill) { return 0x01010101u * aFill; }

// The flag word after Open: flow control off, DTR and RTS enabled, every
// other bit as the port reported it.
std::uint32_t ExpectedFlags(std::uint32_t aReported) {
    const std::uint32_t low = ((aReported & 0x83u) | 0x10u);
    const std::uint32_t next = (((aReported >> 8) & 0xCCu) | 0x10u) << 8;
    return (aReported & 0xFFFF0000u) | next | low;
}

const TBaudEntry* ExpectedRate(const std::string& aSettings) {
    for (const TBaudEntry* row = KBaudTable; row->iName != nullptr; ++row) {
        if (std::strstr(aSettings.c_str(), row->iName) != nullptr) return row;
    }
    return nullptr;
}

// The longest name found; of equal lengths the one earlier in the table.
const TModeEntry* ExpectedMode(const std::string& aSettings) {
    const TModeEntry* best = nullptr;
    std::size_t bestLength = 0;
    for (const TModeEntry* row = KModeTable; row->iName != nullptr; ++row) {
        const std::size_t length = std::strlen(row->iName);
        if (length > bestLength && std::strstr(aSettings.c_str(), row->iName) != nullptr) {
            best = row;
            bestLength = length;
        }
    }
    return best;
}

// A port that opens, whose settings record holds the fill byte everywhere.
void CheckSettings(const std::string& aSettings, const std::string& aDevice, unsigned char aFill) {
    const std::string context = "settings " + Quoted(aSettings) + ", fill " + std::to_string(aFill);
    gCommStub = TCommStub();
    gCommStub.iOpenSucceeds = true;
    gCommStub.iDcbFill = aFill;
    {
        CSerial serial;
        FUZZ_CHECK(serial.Open("COM3", aSettings.c_str()) == 0 && serial.IsOpened() && serial.iLastError == nullptr,
                   context);
        FUZZ_CHECK(gCommStub.iCreateName == "COM3" && gCommStub.iSetStateCalls == 1, context);
        const COMMTIMEOUTS& t = gCommStub.iSetTimeouts;
        FUZZ_CHECK(gCommStub.iSetTimeoutsCalls == 1 && t.ReadIntervalTimeout == 1 &&
                       t.ReadTotalTimeoutMultiplier == 0 && t.ReadTotalTimeoutConstant == 1 &&
                       t.WriteTotalTimeoutMultiplier == 0 && t.WriteTotalTimeoutConstant == 0,
                   context);

        DCB expected;
        std::memset(&expected, aFill, sizeof expected);
        const TBaudEntry* rate = ExpectedRate(aSettings);
        if (rate != nullptr) expected.BaudRate = rate->iDcbRate;
        FUZZ_CHECK(serial.iBaudRate == (rate != nullptr ? rate->iRate : 9600), context);
        const TModeEntry* mode = ExpectedMode(aSettings);
        if (mode != nullptr) {
            expected.ByteSize = mode->iDataBits;
            expected.Parity = mode->iParity;
            expected.StopBits = mode->iStopBits;
        }
        FUZZ_CHECK(serial.iMode == (mode != nullptr ? mode->iName : KModeTable[0].iName),
                   context + ": mode " + Quoted(serial.iMode));
        // The flag word follows the rate.
        const std::size_t flagsAt = offsetof(DCB, BaudRate) + sizeof(DWORD);
        const std::uint32_t flags = ExpectedFlags(Fill32(aFill));
        std::memcpy(reinterpret_cast<unsigned char*>(&expected) + flagsAt, &flags, sizeof flags);
        FUZZ_CHECK(std::memcmp(&expected, &gCommStub.iSetState, sizeof expected) == 0,
                   context + ": settings record differs");

        // A second open only derives the new name and fails.
        FUZZ_CHECK(serial.Open(aDevice.c_str(), aSettings.c_str()) == -1 && serial.IsOpened() &&
                       std::strcmp(serial.iLastError, "Error: Already Open") == 0 &&
                       gCommStub.iCreateCalls == 1 && gCommStub.iSetStateCalls == 1,
                   context + ", device " + Quoted(aDevice));
        CheckPortName(aDevice, serial.iPortName, "open again");
    }
    // The destructor purges and closes.
    FUZZ_CHECK(gCommStub.iPurgeCalls == 1 && gCommStub.iPurgeFlags == (PURGE_TXABORT | PURGE_RXABORT) &&
                   gCommStub.iCloseCalls == 1 && gCommStub.iOtherCalls == 0,
               context);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize) {
    const std::vector<std::string> pieces = Pieces(aData, aSize, 3);
    const std::string& device = pieces[0];
    const std::string& settings = pieces[1];
    const std::string& pattern = pieces[2];

    const CSerial serial;
    CheckSearch(serial, device, "COM");
    CheckSearch(serial, settings, pattern);
    CheckSearch(serial, pattern, settings);
    CheckSearch(serial, device, pattern);
    for (const TBaudEntry* row = KBaudTable; row->iName != nullptr; ++row) CheckSearch(serial, settings, row->iName);
    for (const TModeEntry* row = KModeTable; row->iName != nullptr; ++row) CheckSearch(serial, settings, row->iName);

    CheckDevice(device, settings);
    CheckSettings(settings, device, 0x00);
    CheckSettings(settings, device, 0xFF);
    return 0;
}
