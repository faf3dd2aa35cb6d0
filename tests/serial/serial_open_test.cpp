// Naming, opening, configuring and closing the port, over the fake layer.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fake-comm.h"
#include "serial.h"

namespace {

using Names = std::vector<std::string>;

const Names KOpenSteps = {"CreateFileA", "GetCommState", "SetCommState", "SetCommTimeouts",
                          "GetCommProperties"};

class SerialOpen : public ::testing::Test {
protected:
    void SetUp() override { FakeReset(); }

    // The record the last SetCommState was given.
    static DCB AppliedDcb() {
        for (auto call = FakeCalls().rbegin(); call != FakeCalls().rend(); ++call) {
            if (call->iName == "SetCommState") return call->iDcb;
        }
        ADD_FAILURE() << "no SetCommState";
        return DCB{};
    }

    static const TFakeCall& Call(std::size_t aIndex) { return FakeCalls().at(aIndex); }
};

TEST_F(SerialOpen, ConstructorSetsDefaultsWithoutPlatformCalls) {
    CSerial serial;
    EXPECT_STREQ(serial.iPortName, "COM1");
    EXPECT_EQ(serial.iBaudRate, 9600);
    EXPECT_EQ(serial.iMode, KModeTable[0].iName);
    EXPECT_EQ(serial.iLastError, nullptr);
    EXPECT_EQ(serial.iHandle, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(serial.IsOpened());
    EXPECT_TRUE(FakeCalls().empty());
}

TEST_F(SerialOpen, SuccessfulOpenConfiguresThePortInOrder) {
    CSerial serial;
    ASSERT_EQ(serial.Open("COM3", "115200 N81"), 0);
    EXPECT_TRUE(serial.IsOpened());
    EXPECT_EQ(serial.iHandle, FakeLastHandle());
    EXPECT_EQ(serial.iLastError, nullptr);
    EXPECT_EQ(FakeCallNames(), KOpenSteps);
    for (const TFakeCall& call : FakeCalls()) {
        EXPECT_FALSE(call.iBadHandle) << call.iLine;
    }

    const TFakeCall& create = Call(0);
    EXPECT_EQ(create.iPortName, "COM3");
    EXPECT_EQ(create.iAccess, GENERIC_READ | GENERIC_WRITE);
    EXPECT_EQ(create.iShare, 0u);
    EXPECT_FALSE(create.iSecurity);
    EXPECT_EQ(create.iDisposition, OPEN_EXISTING);
    EXPECT_EQ(create.iFlags, 0u);
    EXPECT_FALSE(create.iTemplate);

    const COMMTIMEOUTS& timeouts = Call(3).iTimeouts;
    EXPECT_EQ(timeouts.ReadIntervalTimeout, 1u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 1u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutConstant, 0u);

    const DCB applied = AppliedDcb();
    EXPECT_EQ(applied.BaudRate, 115200u);
    EXPECT_EQ(applied.ByteSize, 8);
    EXPECT_EQ(applied.Parity, NOPARITY);
    EXPECT_EQ(applied.StopBits, ONESTOPBIT);
    EXPECT_TRUE(FakeDtr());
    EXPECT_TRUE(FakeRts());
}

struct TOpenFailure {
    const char* iStep;
    const char* iMessage;
    bool iStaysOpen;
    std::size_t iCalls;  // steps made, the failing one included
    std::int32_t iBaudRate;
    const char* iMode;
};

class SerialOpenFailure : public SerialOpen, public ::testing::WithParamInterface<TOpenFailure> {};

TEST_P(SerialOpenFailure, StopsAtTheStepWithItsMessage) {
    const TOpenFailure& c = GetParam();
    FakeFail(c.iStep);
    CSerial serial;
    EXPECT_EQ(serial.Open("COM12", "57600 E72"), -1);
    EXPECT_STREQ(serial.iLastError, c.iMessage);
    EXPECT_EQ(serial.IsOpened(), c.iStaysOpen);
    EXPECT_EQ(serial.iHandle, c.iStaysOpen ? FakeLastHandle() : INVALID_HANDLE_VALUE);
    EXPECT_STREQ(serial.iPortName, "\\\\.\\COM12");
    EXPECT_EQ(serial.iBaudRate, c.iBaudRate);
    EXPECT_STREQ(serial.iMode, c.iMode);
    EXPECT_EQ(FakeCallNames(), Names(KOpenSteps.begin(), KOpenSteps.begin() + static_cast<long>(c.iCalls)));

    // Nothing of a failed Open releases the port: only Close does.
    const std::size_t before = FakeCalls().size();
    EXPECT_EQ(serial.Open("COM4", "9600 N81"), -1);
    if (c.iStaysOpen) {
        EXPECT_STREQ(serial.iLastError, "Error: Already Open");
        EXPECT_EQ(FakeCalls().size(), before);
        EXPECT_STREQ(serial.iPortName, "COM4");
        EXPECT_EQ(serial.iBaudRate, c.iBaudRate);
        serial.Close();
        EXPECT_EQ(FakeCallNames().back(), "CloseHandle");
        EXPECT_EQ(FakeCalls().back().iHandle, FakeLastHandle());
    } else {
        // Still failing CreateFileA: every step is tried anew.
        EXPECT_EQ(FakeCalls().size(), before + 1);
        EXPECT_STREQ(serial.iLastError, "Error: Open Port");
    }
    EXPECT_FALSE(serial.IsOpened());
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, SerialOpenFailure,
    ::testing::Values(TOpenFailure{"CreateFileA", "Error: Open Port", false, 1, 9600, "N81"},
                      TOpenFailure{"GetCommState", "Error: Get DCB Error", true, 2, 9600, "N81"},
                      TOpenFailure{"SetCommState", "Error: Set DCB", true, 3, 57600, "E72"},
                      TOpenFailure{"SetCommTimeouts", "Error: Set Timeout", true, 4, 57600, "E72"},
                      TOpenFailure{"GetCommProperties", "Error: Get properties", true, 5, 57600, "E72"}),
    [](const auto& aInfo) { return std::string(aInfo.param.iStep); });

TEST_F(SerialOpen, FailedConfigurationLeavesWhatWasAppliedOnThePort) {
    FakeFail("GetCommState");
    CSerial refused;
    refused.Open("COM3", "57600 E72");
    EXPECT_EQ(FakePortDcb().BaudRate, 9600u);
    refused.Close();

    FakeReset();
    FakeFail("SetCommTimeouts");
    CSerial configured;
    configured.Open("COM3", "57600 E72");
    EXPECT_EQ(FakePortDcb().BaudRate, 57600u);
    EXPECT_EQ(FakePortDcb().ByteSize, 7);
    EXPECT_EQ(FakePortDcb().StopBits, TWOSTOPBITS);
}

TEST_F(SerialOpen, SecondOpenFailsAndKeepsTheFirstPortUsable) {
    CSerial serial;
    ASSERT_EQ(serial.Open("COM3", "115200 N81"), 0);
    const HANDLE first = serial.iHandle;
    const std::size_t before = FakeCalls().size();
    EXPECT_EQ(serial.Open("COM100", "9600 E71"), -1);
    EXPECT_STREQ(serial.iLastError, "Error: Already Open");
    EXPECT_EQ(FakeCalls().size(), before);  // no platform call at all
    EXPECT_EQ(serial.iHandle, first);
    EXPECT_STREQ(serial.iPortName, "\\\\.\\COM100");  // derived before the test
    EXPECT_EQ(serial.iBaudRate, 115200);
    EXPECT_STREQ(serial.iMode, "N81");
    EXPECT_EQ(FakePortDcb().BaudRate, 115200u);
    EXPECT_EQ(serial.Write(reinterpret_cast<const std::uint8_t*>("x"), 1), 1);
}

struct TPortName {
    const char* iDevice;
    const char* iName;
};

class SerialPortName : public SerialOpen, public ::testing::WithParamInterface<TPortName> {};

TEST_P(SerialPortName, OpensTheDerivedName) {
    CSerial serial;
    ASSERT_EQ(serial.Open(GetParam().iDevice, "115200 N81"), 0);
    EXPECT_EQ(Call(0).iPortName, GetParam().iName);
    EXPECT_STREQ(serial.iPortName, GetParam().iName);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SerialPortName,
    ::testing::Values(
        TPortName{"COM1", "COM1"}, TPortName{"COM3", "COM3"}, TPortName{"COM9", "COM9"},
        TPortName{"COM10", "\\\\.\\COM10"}, TPortName{"COM99", "\\\\.\\COM99"},
        // From 100 up the device-namespace form goes on; nothing wraps to COM1.
        TPortName{"COM100", "\\\\.\\COM100"}, TPortName{"COM256", "\\\\.\\COM256"},
        TPortName{"COM2147483647", "\\\\.\\COM2147483647"},
        TPortName{"COM2147483648", "\\\\.\\COM2147483647"},
        TPortName{"COM4294967297", "\\\\.\\COM2147483647"},
        TPortName{"COM99999999999999999999999999999999", "\\\\.\\COM2147483647"},
        TPortName{"COM0", "COM1"}, TPortName{"COM-5", "COM1"}, TPortName{"COM-99999999999", "COM1"},
        TPortName{"COM", "COM1"}, TPortName{"COMX3", "COM1"}, TPortName{"COM--7", "COM1"},
        TPortName{"COMCOM5", "COM1"}, TPortName{"XCOM7", "COM7"}, TPortName{"COM 7", "COM7"},
        TPortName{"COM\t7", "COM7"}, TPortName{"COM+7", "COM7"}, TPortName{"COM 0012", "\\\\.\\COM12"},
        TPortName{"COM12abc", "\\\\.\\COM12"}, TPortName{"COM3COM4", "COM3"},
        TPortName{"com3", "COM1"}, TPortName{"dev/ttyS1", "COM1"}, TPortName{"", "COM1"},
        // A device's path opens itself, whatever it holds.
        TPortName{"/dev/ttyS1", "/dev/ttyS1"}, TPortName{"/dev/COM7", "/dev/COM7"}));

// A path longer than the name field: opened whole, the field keeps what fits.
TEST_F(SerialOpen, ALongDevicePathIsOpenedWhole) {
    const std::string path = "/dev/serial/by-id/usb-Tarnel_Sensor_Bridge_AB-1_0123456789abcdef-if00-port0";
    ASSERT_GT(path.size(), 63u);
    CSerial serial;
    ASSERT_EQ(serial.Open(path.c_str(), "115200 N81"), 0);
    EXPECT_EQ(Call(0).iPortName, path);
    EXPECT_EQ(std::string(serial.iPortName), path.substr(0, 63));
}

// The flag word keeps every bit but the handshake ones, whatever the port had.
TEST_F(SerialOpen, HandshakeFlagsAreSetAndEveryOtherFieldKept) {
    struct {
        DWORD iBefore;
        DWORD iAfter;
    } const cases[] = {
        {0xFFFFFFFFu, 0xFFFFDC93u}, {0x00000000u, 0x00001010u},
        {0xAAAAAAAAu, 0xAAAA9892u}, {0x55555555u, 0x55555411u},
    };
    for (const auto& c : cases) {
        FakeReset();
        DCB port{};
        std::memset(&port, 0xA5, sizeof port);
        FakeSetDcbFlags(&port, c.iBefore);
        port.XonLim = 1111;
        port.XoffLim = 2222;
        port.XonChar = 0x21;
        port.XoffChar = 0x22;
        port.ErrorChar = 0x23;
        port.EofChar = 0x24;
        port.EvtChar = 0x25;
        FakeSetPortDcb(port);

        CSerial serial;
        ASSERT_EQ(serial.Open("COM3", "115200 N81"), 0);
        const DCB applied = AppliedDcb();
        EXPECT_EQ(FakeDcbFlags(applied), c.iAfter) << std::hex << c.iBefore;
        EXPECT_EQ(applied.fOutxCtsFlow, 0u);
        EXPECT_EQ(applied.fOutxDsrFlow, 0u);
        EXPECT_EQ(applied.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
        EXPECT_EQ(applied.fDsrSensitivity, 0u);
        EXPECT_EQ(applied.fOutX, 0u);
        EXPECT_EQ(applied.fInX, 0u);
        EXPECT_EQ(applied.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));
        EXPECT_EQ(applied.DCBlength, port.DCBlength);
        EXPECT_EQ(applied.wReserved, port.wReserved);
        EXPECT_EQ(applied.XonLim, 1111);
        EXPECT_EQ(applied.XoffLim, 2222);
        EXPECT_EQ(applied.XonChar, 0x21);
        EXPECT_EQ(applied.XoffChar, 0x22);
        EXPECT_EQ(applied.ErrorChar, 0x23);
        EXPECT_EQ(applied.EofChar, 0x24);
        EXPECT_EQ(applied.EvtChar, 0x25);
        EXPECT_EQ(applied.wReserved1, port.wReserved1);
    }
}

// Written out independently of the program's tables.
struct TModeRow {
    const char* iName;
    int iDataBits;
    int iParity;
    int iStopBits;
};

const TModeRow KExpectedModes[] = {
    {"N81", 8, 0, 0},   {"E81", 8, 2, 0},   {"O81", 8, 1, 0},   {"N71", 7, 0, 0},
    {"E71", 7, 2, 0},   {"O71", 7, 1, 0},   {"N82", 8, 0, 2},   {"E82", 8, 2, 2},
    {"O82", 8, 1, 2},   {"N72", 7, 0, 2},   {"E72", 7, 2, 2},   {"O72", 7, 1, 2},
    {"N81.5", 8, 0, 1}, {"E81.5", 8, 2, 1}, {"O81.5", 8, 1, 1}, {"N71.5", 7, 0, 1},
    {"E71.5", 7, 2, 1}, {"O71.5", 7, 1, 1}, {"8N1", 8, 0, 0},   {"8E1", 8, 2, 0},
    {"8O1", 8, 1, 0},   {"7N1", 7, 0, 0},   {"7E1", 7, 2, 0},   {"7O1", 7, 1, 0},
    {"8N2", 8, 0, 2},   {"8E2", 8, 2, 2},   {"8O2", 8, 1, 2},   {"7N2", 7, 0, 2},
    {"7E2", 7, 2, 2},   {"7O2", 7, 1, 2},   {"8N1.5", 8, 0, 1}, {"8E1.5", 8, 2, 1},
    {"8O1.5", 8, 1, 1}, {"7N1.5", 7, 0, 1}, {"7E1.5", 7, 2, 1}, {"7O1.5", 7, 1, 1},
};

const char* const KExpectedRates[] = {"1200",  "2400",  "4800",  "9600",  "14400",
                                      "19200", "28800", "38400", "57600", "115200"};

TEST_F(SerialOpen, TablesHoldEveryRowInOrder) {
    std::size_t row = 0;
    for (const TModeRow& expected : KExpectedModes) {
        const TModeEntry& entry = KModeTable[row++];
        ASSERT_NE(entry.iName, nullptr);
        EXPECT_STREQ(entry.iName, expected.iName);
        EXPECT_EQ(entry.iDataBits, expected.iDataBits) << expected.iName;
        EXPECT_EQ(entry.iParity, expected.iParity) << expected.iName;
        EXPECT_EQ(entry.iStopBits, expected.iStopBits) << expected.iName;
    }
    EXPECT_EQ(KModeTable[row].iName, nullptr);
    EXPECT_EQ(KModeTable[row].iDataBits + KModeTable[row].iParity + KModeTable[row].iStopBits, 0);

    row = 0;
    for (const char* rate : KExpectedRates) {
        const TBaudEntry& entry = KBaudTable[row++];
        ASSERT_NE(entry.iName, nullptr);
        EXPECT_STREQ(entry.iName, rate);
        EXPECT_EQ(entry.iDcbRate, static_cast<std::uint32_t>(std::stoul(rate)));
        EXPECT_EQ(entry.iRate, std::stoi(rate));
    }
    EXPECT_EQ(KBaudTable[row].iName, nullptr);
    EXPECT_EQ(KBaudTable[row].iDcbRate, 0u);
    EXPECT_EQ(KBaudTable[row].iRate, 0);
}

// Each name alone selects its own row: N81.5 is not taken for N81.
TEST_F(SerialOpen, EachFormatNameSelectsItsRow) {
    for (std::size_t row = 0; KModeTable[row].iName != nullptr; ++row) {
        FakeReset();
        CSerial serial;
        ASSERT_EQ(serial.Open("COM3", KModeTable[row].iName), 0);
        EXPECT_EQ(serial.iMode, KModeTable[row].iName);
        const DCB applied = AppliedDcb();
        EXPECT_EQ(applied.ByteSize, KExpectedModes[row].iDataBits) << KModeTable[row].iName;
        EXPECT_EQ(applied.Parity, KExpectedModes[row].iParity) << KModeTable[row].iName;
        EXPECT_EQ(applied.StopBits, KExpectedModes[row].iStopBits) << KModeTable[row].iName;
    }
}

struct TSettings {
    const char* iText;
    DWORD iDcbRate;
    int iDataBits;
    int iParity;
    int iStopBits;
    std::int32_t iBaudRate;
    const char* iMode;
};

class SerialSettings : public SerialOpen, public ::testing::WithParamInterface<TSettings> {};

// The port starts with values no row gives, so that "unchanged" shows.
TEST_P(SerialSettings, SelectRateAndFormat) {
    const TSettings& c = GetParam();
    DCB port = FakeDefaultDcb();
    port.BaudRate = 4800;
    port.ByteSize = 6;
    port.Parity = MARKPARITY;
    port.StopBits = ONE5STOPBITS;
    FakeSetPortDcb(port);

    CSerial serial;
    ASSERT_EQ(serial.Open("COM3", c.iText), 0);
    const DCB applied = AppliedDcb();
    EXPECT_EQ(applied.BaudRate, c.iDcbRate);
    EXPECT_EQ(applied.ByteSize, c.iDataBits);
    EXPECT_EQ(applied.Parity, c.iParity);
    EXPECT_EQ(applied.StopBits, c.iStopBits);
    EXPECT_EQ(serial.iBaudRate, c.iBaudRate);
    EXPECT_STREQ(serial.iMode, c.iMode);
    // Always the table's own text, never a copy.
    bool inTable = false;
    for (const TModeEntry* row = KModeTable; row->iName != nullptr; ++row) inTable = inTable || row->iName == serial.iMode;
    EXPECT_TRUE(inTable);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SerialSettings,
    ::testing::Values(TSettings{"115200 N81", 115200, 8, 0, 0, 115200, "N81"},
                      TSettings{"115200N81", 115200, 8, 0, 0, 115200, "N81"},
                      TSettings{"115200,8N1", 115200, 8, 0, 0, 115200, "8N1"},
                      TSettings{"9600 7E1.5", 9600, 7, 2, 1, 9600, "7E1.5"},
                      TSettings{"38400 O71", 38400, 7, 1, 0, 38400, "O71"},
                      // Equal length: the earlier row, wherever it stands in the text.
                      TSettings{"N72 8N1", 4800, 7, 0, 2, 9600, "N72"},
                      TSettings{"8N1 N72", 4800, 7, 0, 2, 9600, "N72"},
                      TSettings{"7N1.5 N81.5", 4800, 8, 0, 1, 9600, "N81.5"},
                      // The longer name wins over an earlier row.
                      TSettings{"O72 O81.5", 4800, 8, 1, 1, 9600, "O81.5"},
                      TSettings{"E81.5", 4800, 8, 2, 1, 9600, "E81.5"},
                      // Rates: the first row found, inside longer digits too.
                      TSettings{"12000", 1200, 6, 3, 1, 1200, "N81"},
                      TSettings{"115200 9600", 9600, 6, 3, 1, 9600, "N81"},
                      TSettings{"14400", 14400, 6, 3, 1, 14400, "N81"},
                      TSettings{"28800", 28800, 6, 3, 1, 28800, "N81"},
                      // Nothing named: the port's values and the object's stay.
                      TSettings{"", 4800, 6, 3, 1, 9600, "N81"},
                      TSettings{"300", 4800, 6, 3, 1, 9600, "N81"},
                      TSettings{"n81 e72", 4800, 6, 3, 1, 9600, "N81"}));

TEST_F(SerialOpen, UnnamedSettingsKeepThePreviousSelection) {
    CSerial serial;
    ASSERT_EQ(serial.Open("COM3", "57600 E72"), 0);
    serial.Close();
    DCB port = FakeDefaultDcb();
    port.BaudRate = 4800;
    FakeSetPortDcb(port);
    ASSERT_EQ(serial.Open("COM3", "300"), 0);
    EXPECT_EQ(serial.iBaudRate, 57600);
    EXPECT_STREQ(serial.iMode, "E72");
    EXPECT_EQ(AppliedDcb().BaudRate, 4800u);
}

TEST_F(SerialOpen, SearchCfgFindsTheFirstOccurrence) {
    const CSerial serial;
    struct {
        const char* iText;
        const char* iPattern;
        int iAt;  // -1: not found
    } const cases[] = {
        {"", "", -1},         {"abc", "", -1},         {"", "N81", -1},       {"N81", "N81", 0},
        {"x n81", "N81", -1}, {"115200 N81", "N81", 7}, {"aaab", "aab", 1},    {"abc", "abcd", -1},
        {"abcabc", "c", 2},   {"COMCOM5", "COM", 0},    {"CO", "COM", -1},     {"xCOM", "COM", 1},
    };
    for (const auto& c : cases) {
        const char* found = serial.SearchCfg(c.iText, c.iPattern);
        if (c.iAt < 0) {
            EXPECT_EQ(found, nullptr) << c.iText << " / " << c.iPattern;
        } else {
            EXPECT_EQ(found, c.iText + c.iAt) << c.iText << " / " << c.iPattern;
        }
    }
    EXPECT_TRUE(FakeCalls().empty());
}

TEST_F(SerialOpen, CloseReleasesOnceAndIsThenANoOp) {
    CSerial serial;
    serial.Close();
    EXPECT_TRUE(FakeCalls().empty());

    ASSERT_EQ(serial.Open("COM3", "115200 N81"), 0);
    const HANDLE handle = serial.iHandle;
    const std::size_t opened = FakeCalls().size();
    serial.Close();
    ASSERT_EQ(FakeCalls().size(), opened + 2);
    EXPECT_EQ(Call(opened).iName, "PurgeComm");
    EXPECT_EQ(Call(opened).iValue, PURGE_TXABORT | PURGE_RXABORT);
    EXPECT_EQ(Call(opened).iHandle, handle);
    EXPECT_EQ(Call(opened + 1).iName, "CloseHandle");
    EXPECT_EQ(Call(opened + 1).iHandle, handle);
    EXPECT_FALSE(serial.IsOpened());
    EXPECT_EQ(serial.iHandle, INVALID_HANDLE_VALUE);

    serial.Close();
    EXPECT_EQ(FakeCalls().size(), opened + 2);
}

TEST_F(SerialOpen, CloseEndsInTheClosedStateWhenThePlatformFails) {
    FakeFail("PurgeComm");
    FakeFail("CloseHandle");
    CSerial serial;
    ASSERT_EQ(serial.Open("COM3", "115200 N81"), 0);
    serial.Close();
    EXPECT_EQ(FakeCallNames().back(), "CloseHandle");  // reached despite the failed purge
    EXPECT_FALSE(serial.IsOpened());
    EXPECT_EQ(serial.iHandle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(serial.iLastError, nullptr);
}

TEST_F(SerialOpen, ReopenRunsEveryStepAnew) {
    CSerial serial;
    ASSERT_EQ(serial.Open("COM3", "115200 N81"), 0);
    serial.Close();
    const std::size_t closed = FakeCalls().size();
    ASSERT_EQ(serial.Open("COM5", "9600 8N1"), 0);
    const Names names = FakeCallNames();
    EXPECT_EQ(Names(names.begin() + static_cast<long>(closed), names.end()), KOpenSteps);
    EXPECT_EQ(Call(closed).iPortName, "COM5");
    EXPECT_EQ(serial.iHandle, FakeLastHandle());
    EXPECT_EQ(AppliedDcb().BaudRate, 9600u);
}

TEST_F(SerialOpen, DestructorClosesAnOpenPort) {
    HANDLE handle;
    {
        CSerial serial;
        ASSERT_EQ(serial.Open("COM3", "115200 N81"), 0);
        handle = serial.iHandle;
    }
    ASSERT_GE(FakeCalls().size(), 2u);
    EXPECT_EQ(FakeCalls().back().iName, "CloseHandle");
    EXPECT_EQ(FakeCalls().back().iHandle, handle);
    EXPECT_EQ(FakeCalls()[FakeCalls().size() - 2].iValue, PURGE_TXABORT | PURGE_RXABORT);
}

TEST_F(SerialOpen, LastErrorIsNeverCleared) {
    CSerial serial;
    FakeFail("CreateFileA", 1);
    EXPECT_EQ(serial.Open("COM3", "115200 N81"), -1);
    EXPECT_STREQ(serial.iLastError, "Error: Open Port");
    serial.Close();
    ASSERT_EQ(serial.Open("COM3", "115200 N81"), 0);
    EXPECT_STREQ(serial.iLastError, "Error: Open Port");

    std::uint8_t buffer[8];
    FakeFeed("ab");
    EXPECT_EQ(serial.Read(buffer, 8), 2);
    EXPECT_EQ(serial.Write(buffer, 2), 2);
    serial.Flush();
    serial.Dtr(true);
    EXPECT_FALSE(serial.Dsr());
    EXPECT_STREQ(serial.iLastError, "Error: Open Port");

    FakeFail("ReadFile");
    EXPECT_EQ(serial.Read(buffer, 8), -1);
    EXPECT_STREQ(serial.iLastError, "Error: Read");
    EXPECT_EQ(serial.Write(buffer, 2), 2);
    serial.Close();
    EXPECT_STREQ(serial.iLastError, "Error: Read");
}

}  // namespace
