#include "query.h"

#include <cstdio>
#include <cstring>

#include "settings.h"

namespace {

const char* const KCommands[] = {"GT\n", "GH\n", "GP\n"};
const int KCommandLength = 3;
const int KReplyMax = static_cast<int>(KReplySize) - 1;

void Fail(const char* aMessage) {
    if (gVerbose) std::printf("ERROR: %s\n", aMessage);
}

const std::uint8_t* Bytes(const char* aText) { return reinterpret_cast<const std::uint8_t*>(aText); }

}  // namespace

int QuerySensor(const char* aCommand, char (&aReply)[KReplySize]) {
    gSerial.Write(Bytes("\n"), 1);
    gSerial.Flush();  // nothing received before the command is part of its reply
    if (gSerial.Write(Bytes(aCommand), KCommandLength) < 0) {
        Fail(MessageText(gSerial.iLastError));
        return -1;
    }
    Sleep(1);
    std::memset(aReply, 0, sizeof aReply);
    const int count = gSerial.Read(reinterpret_cast<std::uint8_t*>(aReply), KReplyMax);
    if (count < 0) {
        Fail(MessageText(gSerial.iLastError));
        return -1;
    }
    if (count == 0) {
        Fail("No response.");
        return -1;
    }
    aReply[count] = '\0';
    return count;
}

float QueryReading(TQuantity aQuantity) {
    char reply[KReplySize];
    if (QuerySensor(KCommands[aQuantity], reply) < 0) return KMissingReading;
    if (aQuantity == ETemperature) RepairSign(reply);
    return ConvertReading(reply);
}

bool QueryName(char (&aName)[KNameSize]) {
    std::memset(aName, 0, sizeof aName);
    std::strncpy(aName, KMissingName, sizeof aName - 1);
    char reply[KReplySize];
    if (QuerySensor("GN\n", reply) < 0) return false;
    TakeName(aName, reply);
    return true;
}
