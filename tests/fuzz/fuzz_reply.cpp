// A sensor reply of arbitrary bytes through the reading conversion and both
// output forms, as the exchange would hand it over.
//
// Input: the reply bytes; only the first 127 are used, and the reply text
// ends at the first zero byte.

#include <strings.h>

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "json_check.h"
#include "output.h"
#include "reading.h"
#include "settings.h"

namespace {

const char* const KMemberNames[] = {"temperature", "humidity", "pressure"};

bool IsDigit(char aChar) { return aChar >= '0' && aChar <= '9'; }

// -digits.digits with at least two digits after the point.
bool IsRewritten(const char* aText) {
    const char* p = aText;
    if (*p++ != '-' || !IsDigit(*p)) return false;
    while (IsDigit(*p)) ++p;
    if (*p++ != '.') return false;
    const char* fraction = p;
    while (IsDigit(*p)) ++p;
    return *p == '\0' && p - fraction >= 2;
}

// -?digits.digit, the "%.1f" of a finite value.
bool IsOneDecimal(const std::string& aText) {
    std::size_t i = 0;
    if (i < aText.size() && aText[i] == '-') ++i;
    const std::size_t digits = i;
    while (i < aText.size() && IsDigit(aText[i])) ++i;
    if (i == digits || i + 2 != aText.size()) return false;
    return aText[i] == '.' && IsDigit(aText[i + 1]);
}

bool SameBits(float aLeft, float aRight) { return std::memcmp(&aLeft, &aRight, sizeof aLeft) == 0; }

// What the C library makes of a decimal text: strtod, then the narrowing a
// C compiler does on an IEEE machine (round to nearest). Without a number at
// the start the reading is missing.
float Reference(const char* aText) {
    char* end = nullptr;
    const double value = std::strtod(aText, &end);
    if (end == aText) return std::numeric_limits<float>::quiet_NaN();
    return static_cast<float>(value);
}

// Without these letters strtod can read no hexadecimal, infinity or NaN
// form, only the decimal notation a reading is made of.
bool OnlyDecimalForms(const char* aText) { return std::strpbrk(aText, "xXiInN") == nullptr; }

// The words strtod also reads, after blanks and a sign: 1 for infinity, -1
// for negative infinity, 2 for NaN, 0 for neither.
int SpecialWord(const char* aText) {
    const char* p = aText;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    if (strncasecmp(p, "nan", 3) == 0) return 2;
    if (strncasecmp(p, "inf", 3) == 0) return negative ? -1 : 1;
    return 0;
}

bool SameReading(float aLeft, float aRight) {
    return (std::isnan(aLeft) && std::isnan(aRight)) || SameBits(aLeft, aRight);
}

void Select(TQuantity aQuantity) {
    gReadTemperature = aQuantity == ETemperature;
    gReadHumidity = aQuantity == EHumidity;
    gReadPressure = aQuantity == EPressure;
    gReadName = 0;
}

void CheckItems(TQuantity aQuantity, float aReading, const std::string& aReply) {
    const std::string context = "reply " + Quoted(aReply) + ", " + KMemberNames[aQuantity];
    Select(aQuantity);

    gJsonFormat = 0;
    const std::string plain = ReadingItem(aQuantity, aReading);
    FUZZ_CHECK(!plain.empty() && plain.back() == '\n' && plain.find('\n') == plain.size() - 1,
               context + ": plain item " + Quoted(plain));
    const std::string number = plain.substr(0, plain.size() - 1);
    if (std::isnan(aReading)) {
        FUZZ_CHECK(number == "NaN", context + ": plain item " + Quoted(plain));
    } else if (std::isinf(aReading)) {
        FUZZ_CHECK(number == (aReading > 0 ? "inf" : "-inf"), context + ": plain item " + Quoted(plain));
    } else {
        FUZZ_CHECK(IsOneDecimal(number), context + ": plain item " + Quoted(plain));
        // One decimal of the value itself, nothing cut off.
        const double printed = std::strtod(number.c_str(), nullptr);
        const double error = std::fabs(printed - static_cast<double>(aReading));
        FUZZ_CHECK(error <= 0.05 + std::fabs(printed) * 1e-15,
                   context + ": plain item " + Quoted(plain) + " for " + std::to_string(aReading));
    }

    gJsonFormat = 1;
    const std::string item = ReadingItem(aQuantity, aReading);
    const std::string object = "{ " + item + " }";
    std::vector<TJsonMember> members;
    std::string error;
    FUZZ_CHECK(ParseJsonObject(object, members, &error), context + ": " + Quoted(object) + ": " + error);
    FUZZ_CHECK(members.size() == 1 && members[0].iName == KMemberNames[aQuantity],
               context + ": " + Quoted(object));
    if (std::isinf(aReading) || std::isnan(aReading)) {
        FUZZ_CHECK(members[0].iKind == TJsonKind::ENull, context + ": " + Quoted(object));
    } else {
        FUZZ_CHECK(members[0].iKind == TJsonKind::ENumber && members[0].iValue == number,
                   context + ": " + Quoted(object) + " against the plain " + Quoted(plain));
    }

    // With every quantity selected, only the separator comes in front.
    gReadTemperature = gReadHumidity = gReadPressure = gReadName = 1;
    const std::string separated = ReadingItem(aQuantity, aReading);
    FUZZ_CHECK(separated == (aQuantity == ETemperature ? item : ", " + item),
               context + ": " + Quoted(separated) + " after others, alone " + Quoted(item));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize) {
    // The exchange's buffer: zeroed, at most 127 bytes read, always terminated.
    char reply[KReplySize] = {};
    std::memcpy(reply, aData, aSize < KReplySize - 1 ? aSize : KReplySize - 1);
    const std::string text(reply);

    // Temperature: the sign repair first.
    char repaired[KReplySize];
    std::memcpy(repaired, reply, sizeof repaired);
    RepairSign(repaired);
    FUZZ_CHECK(std::memchr(repaired, '\0', sizeof repaired) != nullptr,
               "reply " + Quoted(text) + ": unterminated after RepairSign");
    const char* point = std::strchr(reply, '.');
    const bool repeatedSign = point != nullptr && point[1] == '-';
    if (repeatedSign) {
        FUZZ_CHECK(IsRewritten(repaired), "reply " + Quoted(text) + " rewritten as " + Quoted(repaired));
    } else {
        FUZZ_CHECK(std::memcmp(repaired, reply, sizeof reply) == 0,
                   "reply " + Quoted(text) + " changed to " + Quoted(repaired));
    }

    const float readings[] = {ConvertReading(repaired), ConvertReading(reply), ConvertReading(reply)};
    const char* const converted[] = {repaired, reply, reply};
    for (int q = ETemperature; q <= EPressure; ++q) {
        const TQuantity quantity = static_cast<TQuantity>(q);
        const float reading = readings[q];
        const std::string context = "reply " + Quoted(text) + ", " + KMemberNames[q];
        // The missing value is always the one quiet NaN.
        if (std::isnan(reading)) {
            FUZZ_CHECK(SameBits(reading, KMissingReading), context + ": a NaN other than the missing value");
        }
        const int word = SpecialWord(converted[q]);
        if (word != 0) {
            const float expected = word == 2 ? KMissingReading : word > 0 ? HUGE_VALF : -HUGE_VALF;
            FUZZ_CHECK(SameReading(reading, expected), context + ": " + std::to_string(reading));
        } else if (OnlyDecimalForms(converted[q])) {
            const float expected = Reference(converted[q]);
            FUZZ_CHECK(SameReading(reading, expected), context + ": " + std::to_string(reading) +
                                                           ", the C library reads " + std::to_string(expected));
        }
        if (quantity == ETemperature && repeatedSign) {
            FUZZ_CHECK(std::signbit(reading), context + ": repaired to " + std::to_string(reading));
        }
        CheckItems(quantity, reading, text);
    }
    return 0;
}
