// Transfers, purging and modem lines, over the fake layer.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fake-comm.h"
#include "serial.h"

namespace {

const std::uint8_t* Bytes(const char* aText) { return reinterpret_cast<const std::uint8_t*>(aText); }

class SerialTransfer : public ::testing::Test {
protected:
    void SetUp() override {
        FakeReset();
        ASSERT_EQ(iSerial.Open("COM3", "115200 N81"), 0);
        iOpened = FakeCalls().size();
    }

    // The calls made since the port was opened.
    static std::vector<TFakeCall> Since(std::size_t aIndex) {
        return std::vector<TFakeCall>(FakeCalls().begin() + static_cast<long>(aIndex), FakeCalls().end());
    }
    std::vector<TFakeCall> NewCalls() const { return Since(iOpened); }

    CSerial iSerial;
    std::size_t iOpened = 0;
};

TEST_F(SerialTransfer, ReadDeliversWhatArrivedUpToTheCount) {
    std::uint8_t buffer[200];
    std::memset(buffer, 0xEE, sizeof buffer);
    FakeFeed("23.4\r\n");
    EXPECT_EQ(iSerial.Read(buffer, 127), 6);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 6), "23.4\r\n");
    EXPECT_EQ(buffer[6], 0xEE);  // no terminator added

    FakeFeed(std::string(200, 'x'));
    EXPECT_EQ(iSerial.Read(buffer, 127), 127);
    EXPECT_EQ(FakeInput().size(), 73u);

    const auto calls = NewCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].iName, "ReadFile");
    EXPECT_EQ(calls[0].iValue, 127u);
    EXPECT_EQ(calls[0].iHandle, iSerial.iHandle);
}

TEST_F(SerialTransfer, ReadOfNothingIsZeroNotAFailure) {
    std::uint8_t buffer[8];
    EXPECT_EQ(iSerial.Read(buffer, 8), 0);
    EXPECT_EQ(iSerial.iLastError, nullptr);
}

TEST_F(SerialTransfer, FailedTransfersStoreTheirMessageAndKeepThePortOpen) {
    std::uint8_t buffer[8];
    FakeFeed("abc");
    FakeFail("ReadFile", 1);
    EXPECT_EQ(iSerial.Read(buffer, 8), -1);  // the fake claims a full count even so
    EXPECT_STREQ(iSerial.iLastError, "Error: Read");
    EXPECT_TRUE(iSerial.IsOpened());
    EXPECT_EQ(iSerial.Read(buffer, 8), 3);

    FakeFail("WriteFile", 1);
    EXPECT_EQ(iSerial.Write(Bytes("GT\n"), 3), -1);
    EXPECT_STREQ(iSerial.iLastError, "Error: Write");
    EXPECT_TRUE(iSerial.IsOpened());
    EXPECT_EQ(iSerial.Write(Bytes("GT\n"), 3), 3);

    FakeFail("WriteFile", 3);
    EXPECT_EQ(iSerial.Puts("ab"), -1);
    EXPECT_STREQ(iSerial.iLastError, "Error: Write");
}

TEST_F(SerialTransfer, WriteHandsOverExactlyTheBytes) {
    EXPECT_EQ(iSerial.Write(Bytes("GT\n"), 3), 3);
    EXPECT_EQ(iSerial.Write(Bytes("zz"), 0), 0);  // still a platform call
    EXPECT_EQ(iSerial.Puts(""), 0);                // not one
    EXPECT_EQ(iSerial.Puts("ab"), 2);
    const auto calls = NewCalls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].iBytes, "GT\n");
    EXPECT_EQ(calls[1].iName, "WriteFile");
    EXPECT_EQ(calls[1].iValue, 0u);
    EXPECT_EQ(calls[2].iBytes, "ab");
    EXPECT_EQ(iSerial.iLastError, nullptr);
}

TEST_F(SerialTransfer, FlushDiscardsWhatArrivedBefore) {
    FakeFeed("stale");
    iSerial.Flush();
    std::uint8_t buffer[8];
    EXPECT_EQ(iSerial.Read(buffer, 8), 0);
    const auto calls = NewCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].iName, "PurgeComm");
    EXPECT_EQ(calls[0].iValue, PURGE_TXCLEAR | PURGE_RXCLEAR);
}

TEST_F(SerialTransfer, ControlLinesFollowDtrAndRts) {
    EXPECT_TRUE(FakeDtr());  // raised by Open
    EXPECT_TRUE(FakeRts());
    struct {
        void (CSerial::*iSet)(bool);
        bool iOn;
        DWORD iFunction;
        bool iDtr;
        bool iRts;
    } const steps[] = {
        {&CSerial::Dtr, false, CLRDTR, false, true}, {&CSerial::Dtr, true, SETDTR, true, true},
        {&CSerial::Rts, false, CLRRTS, true, false}, {&CSerial::Rts, true, SETRTS, true, true},
    };
    for (const auto& step : steps) {
        const std::size_t before = FakeCalls().size();
        (iSerial.*step.iSet)(step.iOn);
        const auto calls = Since(before);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].iName, "EscapeCommFunction");
        EXPECT_EQ(calls[0].iValue, step.iFunction);
        EXPECT_EQ(FakeDtr(), step.iDtr);
        EXPECT_EQ(FakeRts(), step.iRts);
    }
}

TEST_F(SerialTransfer, ModemLinesComeFromTheStatusWord) {
    struct {
        DWORD iStatus;
        bool iFail;
        bool iDsr;
        bool iCts;
    } const cases[] = {
        {0x00u, false, false, false}, {MS_CTS_ON, false, false, true},
        {MS_DSR_ON, false, true, false}, {MS_CTS_ON | MS_DSR_ON, false, true, true},
        {~(MS_CTS_ON | MS_DSR_ON), false, false, false},
        {MS_CTS_ON | MS_DSR_ON, true, false, false},  // a failed query is false
    };
    for (const auto& c : cases) {
        FakeSetModemStatus(c.iStatus);
        if (c.iFail) FakeFail("GetCommModemStatus");
        EXPECT_EQ(iSerial.Dsr(), c.iDsr) << std::hex << c.iStatus;
        EXPECT_EQ(iSerial.Cts(), c.iCts) << std::hex << c.iStatus;
        EXPECT_EQ(FakeCallNames().back(), "GetCommModemStatus");
    }
    EXPECT_EQ(iSerial.iLastError, nullptr);
}

TEST_F(SerialTransfer, OperationsWithoutResultIgnorePlatformFailures) {
    FakeFail("PurgeComm");
    FakeFail("EscapeCommFunction");
    iSerial.Flush();
    iSerial.Dtr(false);
    iSerial.Rts(false);
    EXPECT_EQ(NewCalls().size(), 3u);
    EXPECT_EQ(iSerial.iLastError, nullptr);
    EXPECT_TRUE(iSerial.IsOpened());
}

// Every operation on a closed port: its not-open result, no platform call,
// and whatever message was there stays.
TEST(SerialClosed, EveryOperationGivesItsNotOpenResult) {
    struct {
        const char* iHow;
        const char* iMessage;
    } const cases[] = {
        {"never opened", nullptr},
        {"failed to open", "Error: Open Port"},
        {"opened and closed", nullptr},
        {"configuration failed, closed", "Error: Set Timeout"},
    };
    for (const auto& c : cases) {
        FakeReset();
        CSerial serial;
        const std::string how = c.iHow;
        if (how == "failed to open") {
            FakeFail("CreateFileA");
            serial.Open("COM3", "115200 N81");
        } else if (how == "opened and closed") {
            serial.Open("COM3", "115200 N81");
            serial.Close();
        } else if (how == "configuration failed, closed") {
            FakeFail("SetCommTimeouts");
            serial.Open("COM3", "115200 N81");
            serial.Close();
        }
        ASSERT_FALSE(serial.IsOpened()) << how;
        FakeFeed("waiting");
        FakeSetModemStatus(MS_CTS_ON | MS_DSR_ON);
        const std::size_t before = FakeCalls().size();

        std::uint8_t buffer[8] = {};
        EXPECT_EQ(serial.Read(buffer, 8), -1) << how;
        EXPECT_EQ(serial.Write(Bytes("GT\n"), 3), -1) << how;
        EXPECT_EQ(serial.Puts("GT\n"), -1) << how;
        EXPECT_EQ(serial.Puts(""), -1) << how;
        serial.Flush();
        serial.Dtr(true);
        serial.Rts(false);
        EXPECT_FALSE(serial.Dsr()) << how;
        EXPECT_FALSE(serial.Cts()) << how;

        EXPECT_EQ(FakeCalls().size(), before) << how;
        EXPECT_EQ(buffer[0], 0) << how;
        if (c.iMessage == nullptr) {
            EXPECT_EQ(serial.iLastError, nullptr) << how;
        } else {
            EXPECT_STREQ(serial.iLastError, c.iMessage) << how;
        }
    }
}

}  // namespace
