#include "output.h"

#include <cstdio>

#include "console.h"
#include "json.h"
#include "settings.h"

namespace {

const char* const KMemberNames[] = {"temperature", "humidity", "pressure"};

std::string Number(float aReading) {
    char text[64];  // "%.1f" of the largest float is 41 characters
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(aReading));
    return text;
}

// A member follows another exactly when a quantity before it is selected.
}  // namespace

bool IsSelected(TQuantity aQuantity) {
    const std::uint8_t selected[] = {gReadTemperature, gReadHumidity, gReadPressure};
    return selected[aQuantity] != 0;
}

namespace {

// A member follows another exactly when a quantity before it is selected;
// the name comes after the three readings.
bool FollowsAnother(int aPosition) {
    for (int i = 0; i < aPosition; ++i) {
        if (IsSelected(static_cast<TQuantity>(i))) return true;
    }
    return false;
}

const int KNamePosition = 3;

}  // namespace

std::string ReadingItem(TQuantity aQuantity, float aReading) {
    if (!gJsonFormat) return IsMissing(aReading) ? std::string("NaN\n") : Number(aReading) + "\n";
    std::string item = FollowsAnother(aQuantity) ? ", \"" : "\"";
    item += KMemberNames[aQuantity];
    item += "\": ";
    // JSON has no infinity.
    item += IsMissing(aReading) || std::isinf(aReading) ? std::string("null") : Number(aReading);
    return item;
}

std::string NameItem(const char* aName) {
    if (!gJsonFormat) return std::string(aName) + "\n";
    std::string item = FollowsAnother(KNamePosition) ? ", \"name\": " : "\"name\": ";
    AppendJsonString(item, aName);
    return item;
}

void PrintJsonOpening() { OutText("{ "); }

void PrintReading(TQuantity aQuantity, float aReading) {
    OutText(ReadingItem(aQuantity, aReading).c_str());
}

void PrintName(const char* aName) { OutText(NameItem(aName).c_str()); }

void PrintJsonClosing() { OutText(" }\n"); }
