// The readings of one exchange, exactly, over the fake port in this process.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "fake-comm.h"
#include "query.h"
#include "settings.h"
#include "temperature-cases.h"

namespace {

class ExchangeReading : public ::testing::Test {
protected:
    void SetUp() override {
        gSerial.Close();
        FakeReset();
        ASSERT_EQ(gSerial.Open("COM3", "115200 N81"), 0);
    }
    void TearDown() override { gSerial.Close(); }
};

TEST_F(ExchangeReading, TemperatureRepliesGiveTheirValues) {
    for (const TTemperatureCase& c : TemperatureCases()) {
        FakeReply("GT", c.iReply);
        EXPECT_EQ(QueryReading(ETemperature), static_cast<float>(c.iValue)) << c.iReply;
    }
}

// Only temperature replies are repaired.
TEST_F(ExchangeReading, HumidityAndPressureConvertAsTheyStand) {
    const struct {
        TQuantity iQuantity;
        const char* iCommand;
        const char* iReply;
        float iValue;
    } cases[] = {
        {EHumidity, "GH", "0.-25", 0.0f},  {EHumidity, "GH", "-1.-25", -1.0f},
        {EPressure, "GP", "-1.-25", -1.0f}, {EPressure, "GP", "1013.25\r\n", 1013.25f},
        {EHumidity, "GH", "abc", 0.0f},     {EPressure, "GP", "nan", 0.0f},
        {EPressure, "GP", "inf", 0.0f},     {EPressure, "GP", "0x1A", 0.0f},
        {EHumidity, "GH", " \t+45.6%", 45.6f}, {EPressure, "GP", "1e39", HUGE_VALF},
        {EPressure, "GP", "-1e400", -HUGE_VALF}, {EPressure, "GP", "1e-50", 0.0f},
    };
    for (const auto& c : cases) {
        FakeReply(c.iCommand, c.iReply);
        EXPECT_EQ(QueryReading(c.iQuantity), c.iValue) << c.iReply;
    }
}

TEST_F(ExchangeReading, FailuresGiveTheMissingValue) {
    EXPECT_TRUE(std::isnan(QueryReading(EPressure)));  // no reply
    FakeReply("GP", "12");
    FakeFail("ReadFile");
    EXPECT_TRUE(std::isnan(QueryReading(EPressure)));
    char name[KNameSize];
    std::memset(name, 'x', sizeof name);
    EXPECT_FALSE(QueryName(name));
    EXPECT_STREQ(name, "UNKNOWN");
    for (std::size_t i = 7; i < sizeof name; ++i) EXPECT_EQ(name[i], '\0') << i;
}

}  // namespace
