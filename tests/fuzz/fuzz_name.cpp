// A name reply of arbitrary bytes through trimming and both output forms:
// every JSON object must parse and give back the name's bytes exactly.
//
// Input: the reply bytes; only the first 127 are used, and the reply text
// ends at the first zero byte.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "json.h"
#include "json_check.h"
#include "output.h"
#include "reading.h"
#include "settings.h"

namespace {

// Trailing spaces and control characters (1 to 32) cut, 63 bytes kept.
std::string Trimmed(std::string aText) {
    while (!aText.empty() && static_cast<unsigned char>(aText.back()) <= 32) aText.pop_back();
    return aText.substr(0, KNameSize - 1);
}

// Bytes a JSON string holds as they are.
bool NeedsNoEscape(const std::string& aText) {
    for (const char c : aText) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || byte == '"' || byte == '\\') return false;
    }
    return IsValidUtf8(aText);
}

// The object's one line: its text without the line end.
std::string Line(const std::string& aPrinted, const std::string& aContext) {
    FUZZ_CHECK(!aPrinted.empty() && aPrinted.back() == '\n' && aPrinted.find('\n') == aPrinted.size() - 1,
               aContext + ": not one line: " + Quoted(aPrinted));
    return aPrinted.substr(0, aPrinted.size() - 1);
}

void CheckNameAlone(const std::string& aName, const std::string& aContext) {
    gReadTemperature = gReadHumidity = gReadPressure = 0;
    gReadName = 1;

    gJsonFormat = 0;
    const std::string plain = NameItem(aName.c_str());
    FUZZ_CHECK(plain == aName + "\n", aContext + ": plain item " + Quoted(plain));

    gJsonFormat = 1;
    const std::string item = NameItem(aName.c_str());
    const std::string object = Line("{ " + item + " }\n", aContext);
    std::vector<TJsonMember> members;
    std::string error;
    FUZZ_CHECK(ParseJsonObject(object, members, &error), aContext + ": " + Quoted(object) + ": " + error);
    FUZZ_CHECK(members.size() == 1 && members[0].iName == "name" && members[0].iKind == TJsonKind::EString,
               aContext + ": " + Quoted(object));
    FUZZ_CHECK(members[0].iValue == aName,
               aContext + ": " + Quoted(object) + " decodes to " + Quoted(members[0].iValue));
    // Control bytes, DEL included, only ever as escapes.
    FUZZ_CHECK(item.find('\x7F') == std::string::npos, aContext + ": raw DEL in " + Quoted(item));
    if (NeedsNoEscape(aName)) {
        FUZZ_CHECK(item == "\"name\": \"" + aName + "\"", aContext + ": escaped needlessly: " + Quoted(item));
    }
}

void CheckNameAfterReadings(const std::string& aName, const std::string& aContext) {
    gReadTemperature = gReadHumidity = gReadPressure = gReadName = 1;
    gJsonFormat = 1;
    const std::string printed = "{ " + ReadingItem(ETemperature, -1.5f) +
                                ReadingItem(EHumidity, std::numeric_limits<float>::quiet_NaN()) +
                                ReadingItem(EPressure, std::numeric_limits<float>::infinity()) +
                                NameItem(aName.c_str()) + " }\n";
    const std::string object = Line(printed, aContext);
    std::vector<TJsonMember> members;
    std::string error;
    FUZZ_CHECK(ParseJsonObject(object, members, &error), aContext + ": " + Quoted(object) + ": " + error);
    FUZZ_CHECK(members.size() == 4 && members[0].iName == "temperature" && members[0].iValue == "-1.5" &&
                   members[1].iName == "humidity" && members[1].iKind == TJsonKind::ENull &&
                   members[2].iName == "pressure" && members[2].iKind == TJsonKind::ENull &&
                   members[3].iName == "name" && members[3].iValue == aName,
               aContext + ": " + Quoted(object));
}

// Any text, not only a trimmed name, makes one JSON string.
void CheckJsonString(const std::string& aText) {
    std::string value;
    AppendJsonString(value, aText.c_str());
    const std::string object = "{\"v\":" + value + "}";
    std::vector<TJsonMember> members;
    std::string error;
    FUZZ_CHECK(ParseJsonObject(object, members, &error), "text " + Quoted(aText) + ": " + Quoted(object) + ": " + error);
    FUZZ_CHECK(members.size() == 1 && members[0].iKind == TJsonKind::EString && members[0].iValue == aText,
               "text " + Quoted(aText) + ": " + Quoted(object));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize) {
    char reply[KReplySize] = {};
    std::memcpy(reply, aData, aSize < KReplySize - 1 ? aSize : KReplySize - 1);
    const std::string text(reply);
    const std::string context = "reply " + Quoted(text);

    char name[KNameSize];
    std::memset(name, 'X', sizeof name);
    TakeName(name, reply);
    FUZZ_CHECK(std::memchr(name, '\0', sizeof name) != nullptr, context + ": name unterminated");
    FUZZ_CHECK(std::string(name) == Trimmed(text), context + ": name " + Quoted(name));

    CheckNameAlone(name, context);
    CheckNameAfterReadings(name, context);
    CheckJsonString(text);
    return 0;
}
