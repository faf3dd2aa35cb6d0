#include "query.h"

#include <cstring>
#include <limits>

#include "console.h"
#include "settings.h"

namespace {

const char* const KCommands[] = {"GT\n", "GH\n", "GP\n"};
const int KCommandLength = 3;
const int KReplyMax = static_cast<int>(KReplySize) - 1;

void Fail(const char* aMessage) {
    if (gVerbose) OutFormat("ERROR: %s\n", aMessage);
}

const std::uint8_t* Bytes(const char* aText) { return reinterpret_cast<const std::uint8_t*>(aText); }

// How long after its command a reply may still be completed. Sensors that
// measure when asked and radio or network bridges take hundreds of
// milliseconds; what a script would wait for a line, a second, serves.
const DWORD KReplyWaitMs = 1000;

// A moment on the platform's monotonic counter. Without a counter the
// deadline has always passed, and an exchange is the single read it was.
struct TDeadline {
    LONGLONG iAt;
    bool iValid;
};

TDeadline DeadlineIn(DWORD aMilliseconds) {
    LARGE_INTEGER now;
    LARGE_INTEGER frequency;
    // Counters tick at most at a few GHz; the bound keeps the sums in range.
    const LONGLONG maxFrequency = 1000000000000LL;
    if (!QueryPerformanceCounter(&now) || !QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0 ||
        frequency.QuadPart > maxFrequency) {
        return TDeadline{0, false};
    }
    const LONGLONG span = frequency.QuadPart * static_cast<LONGLONG>(aMilliseconds) / 1000;
    if (now.QuadPart > std::numeric_limits<LONGLONG>::max() - span) return TDeadline{0, false};
    return TDeadline{now.QuadPart + span, true};
}

bool Passed(const TDeadline& aDeadline) {
    LARGE_INTEGER now;
    return !aDeadline.iValid || !QueryPerformanceCounter(&now) || now.QuadPart >= aDeadline.iAt;
}

bool HasLineEnd(const std::uint8_t* aBytes, int aCount) {
    return aCount > 0 && std::memchr(aBytes, '\n', static_cast<std::size_t>(aCount)) != nullptr;
}

// The rest of a cut reply is still on its way, and the protocol has no
// framing: read on to its line feed, for as long as a reply may take, and
// drop it, so that no tail is taken for the next quantity.
void DrainCutReply() {
    const TDeadline deadline = DeadlineIn(KReplyWaitMs);
    std::uint8_t scrap[KReplySize];
    for (;;) {
        const int got = gSerial.Read(scrap, KReplyMax);
        if (got < 0 || HasLineEnd(scrap, got) || Passed(deadline)) return;  // a lost port shows at the write
    }
}

}  // namespace

bool gReplyCut = false;

int QuerySensor(const char* aCommand, char (&aReply)[KReplySize]) {
    if (gReplyCut) DrainCutReply();
    gReplyCut = false;
    gSerial.Write(Bytes("\n"), 1);
    gSerial.Flush();  // nothing received before the command is part of its reply
    if (gSerial.Write(Bytes(aCommand), KCommandLength) < 0) {
        Fail(MessageText(gSerial.iLastError));
        return -1;
    }
    const TDeadline deadline = DeadlineIn(KReplyWaitMs);
    Sleep(1);
    std::memset(aReply, 0, sizeof aReply);
    std::uint8_t* const buffer = reinterpret_cast<std::uint8_t*>(aReply);
    int count = 0;
    // A reply ends at its line feed. A real line delivers it in pieces, a USB
    // adapter holds it for its latency timer and a sensor may measure first,
    // so one read of a millisecond is not the whole reply.
    for (;;) {
        const int got = gSerial.Read(buffer + count, KReplyMax - count);
        if (got < 0) {
            if (count > 0) break;  // keep what came; the next write notices the loss
            Fail(MessageText(gSerial.iLastError));
            return -1;
        }
        const bool lineEnd = HasLineEnd(buffer + count, got);
        count += got;
        if (lineEnd || count >= KReplyMax || Passed(deadline)) break;
    }
    if (count == 0) {
        Fail("No response.");
        return -1;
    }
    gReplyCut = !HasLineEnd(buffer, count);
    aReply[count] = '\0';
    return count;
}

float QueryReading(TQuantity aQuantity) {
    char reply[KReplySize];
    if (QuerySensor(KCommands[aQuantity], reply) < 0) return KMissingReading;
    if (aQuantity == ETemperature) RepairSign(reply);
    const float reading = ConvertReading(reply);
    if (IsMissing(reading)) Fail("Not a number.");
    return reading;
}

bool QueryName(char (&aName)[KNameSize]) {
    std::memset(aName, 0, sizeof aName);
    std::strncpy(aName, KMissingName, sizeof aName - 1);
    char reply[KReplySize];
    if (QuerySensor("GN\n", reply) < 0) return false;
    TakeName(aName, reply);
    return true;
}
