#include "sim-server.h"

#include "line-settings.h"
#include "transmitter.h"

#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

namespace {

volatile sig_atomic_t gStopRequested = 0;

// A command line is two letters; anything far longer is noise to skip.
constexpr std::size_t KMaxLine = 256;

class CSensor {
public:
    CSensor(const SimOptions& aOptions, const ServerFiles& aFiles)
        : iOptions(aOptions), iFiles(aFiles), iLine(std::chrono::microseconds(aOptions.iLatencyUs)) {}

    ServeEnd Run(const sigset_t& aWaitMask);

private:
    // False when a hang-up fault fired.
    bool Feed(const char* aBytes, std::size_t aCount, SimClock::time_point aNow);
    bool HandleLine(SimClock::time_point aArrival);
    std::chrono::nanoseconds Frame() const;
    void Log(const char* aDirection, const char* aBytes, std::size_t aCount, SimClock::time_point aNow);
    void DrainInput();
    void WriteReports();

    const SimOptions& iOptions;
    ServerFiles iFiles;
    CTransmitter iLine;
    SimClock::time_point iReceiveFree{};  // when the last byte received was complete
    SimClock::time_point iBusyUntil{};    // sequential: when the last reply is out
    std::string iCommandLine;
    bool iLineTooLong = false;
    bool iHangupArmed = false;
    std::vector<SimCommand> iReportsDue;  // taken once the reply is out of the way
};

void CSensor::WriteReports() {
    for (SimCommand command : iReportsDue) {
        iFiles.iReport->Post(std::string(CommandText(command)) + ' ' + DescribeLine(iFiles.iSlave) + '\n');
    }
    iReportsDue.clear();
}

// Times are the monotonic clock's, so that other programs' timings line up.
void CSensor::Log(const char* aDirection, const char* aBytes, std::size_t aCount, SimClock::time_point aNow) {
    if (!iFiles.iLog->IsOpen()) return;
    long long micros = std::chrono::duration_cast<std::chrono::microseconds>(aNow.time_since_epoch()).count();
    std::string line = std::to_string(micros) + ' ' + aDirection;
    static const char KHex[] = "0123456789abcdef";
    for (std::size_t i = 0; i < aCount; ++i) {
        unsigned char byte = static_cast<unsigned char>(aBytes[i]);
        line += ' ';
        line += KHex[byte >> 4];
        line += KHex[byte & 0x0F];
    }
    line += '\n';
    iFiles.iLog->Post(std::move(line));
}

std::chrono::nanoseconds CSensor::Frame() const {
    return iOptions.iPacing ? FrameTime(iFiles.iSlave) : std::chrono::nanoseconds(0);
}

bool CSensor::HandleLine(SimClock::time_point aArrival) {
    SimCommand command = SimCommand::Temperature;
    if (!CommandFromText(iCommandLine, command)) return true;
    if (iFiles.iReport->IsOpen()) iReportsDue.push_back(command);
    const CommandBehaviour& behaviour = iOptions.iCommands[static_cast<int>(command)];
    if (behaviour.iHangup) return false;
    if (behaviour.iSilent) return true;
    // Firmware that answers one command at a time reads the next one from its
    // input only once the reply before it is out.
    const SimClock::time_point taken = iOptions.iSequential ? std::max(aArrival, iBusyUntil) : aArrival;
    const SimClock::time_point due = taken + std::chrono::microseconds(behaviour.iDelayUs);
    const std::string& reply = behaviour.iReply;
    const std::chrono::nanoseconds frame = Frame();
    SimClock::time_point out = due + frame * static_cast<long>(reply.size());
    if (behaviour.iSplit && behaviour.iSplitBytes < reply.size()) {
        // The rest follows the pause after the first part has gone out.
        const std::chrono::nanoseconds first = frame * static_cast<long>(behaviour.iSplitBytes);
        const std::chrono::microseconds pause(behaviour.iSplitUs);
        iLine.Add(reply.substr(0, behaviour.iSplitBytes), due);
        iLine.Add(reply.substr(behaviour.iSplitBytes), due + first + pause);
        out += pause;
    } else {
        iLine.Add(reply, due);
    }
    iBusyUntil = out;
    if (behaviour.iHangupAfter) iHangupArmed = true;
    return true;
}

// What the terminal hands over at once took its time on the line: each byte
// is complete one frame after the one before it.
bool CSensor::Feed(const char* aBytes, std::size_t aCount, SimClock::time_point aNow) {
    const std::chrono::nanoseconds frame = Frame();
    for (std::size_t i = 0; i < aCount; ++i) {
        // The other side has moved on past the armed reply.
        if (iHangupArmed) return false;
        iReceiveFree = std::max(iReceiveFree, aNow) + frame;
        char byte = aBytes[i];
        if (byte == '\n') {
            bool keepGoing = iLineTooLong || iCommandLine.empty() || HandleLine(iReceiveFree);
            iCommandLine.clear();
            iLineTooLong = false;
            if (!keepGoing) return false;
        } else if (iCommandLine.size() < KMaxLine) {
            iCommandLine.push_back(byte);
        } else {
            iLineTooLong = true;
        }
    }
    return true;
}

// Whatever came in before the stop still goes into the log.
void CSensor::DrainInput() {
    char buffer[4096];
    for (;;) {
        ssize_t count = read(iFiles.iMaster, buffer, sizeof buffer);
        if (count <= 0) break;
        Log("rx", buffer, static_cast<std::size_t>(count), SimClock::now());
    }
}

ServeEnd CSensor::Run(const sigset_t& aWaitMask) {
    char buffer[4096];
    const CTransmitter::TSentObserver logSent = [this](const char* aBytes, std::size_t aCount) {
        Log("tx", aBytes, aCount, SimClock::now());
    };
    for (;;) {
        bool blocked = false;
        const std::chrono::nanoseconds frame = Frame();
        if (!iLine.Pump(iFiles.iMaster, SimClock::now(), frame, blocked, logSent)) {
            std::fprintf(stderr, "sensor-sim: write to the terminal failed\n");
            return ServeEnd::Failed;
        }
        WriteReports();
        pollfd entry = {iFiles.iMaster, POLLIN, 0};
        timespec wait {};
        timespec* waitPointer = nullptr;
        const SimClock::time_point next = iLine.NextEvent(frame);
        if (blocked) {
            entry.events = static_cast<short>(entry.events | POLLOUT);
        } else if (next != SimClock::time_point::max()) {
            auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(next - SimClock::now()).count();
            if (left < 0) left = 0;
            wait.tv_sec = static_cast<time_t>(left / 1000000000);
            wait.tv_nsec = static_cast<long>(left % 1000000000);
            waitPointer = &wait;
        }
        int ready = ppoll(&entry, 1, waitPointer, &aWaitMask);
        if (gStopRequested != 0) {
            WriteReports();
            DrainInput();
            return ServeEnd::Stopped;
        }
        if (ready < 0) {
            if (errno == EINTR) continue;
            std::perror("sensor-sim: poll");
            return ServeEnd::Failed;
        }
        if ((entry.revents & POLLIN) != 0) {
            for (;;) {
                ssize_t count = read(iFiles.iMaster, buffer, sizeof buffer);
                // Only a terminal served with --terminal ends: our own far end never closes.
                if (count == 0 || (count < 0 && errno == EIO)) {
                    WriteReports();
                    return ServeEnd::HangUp;
                }
                if (count < 0) break;
                SimClock::time_point now = SimClock::now();
                Log("rx", buffer, static_cast<std::size_t>(count), now);
                if (!Feed(buffer, static_cast<std::size_t>(count), now)) {
                    WriteReports();
                    return ServeEnd::HangUp;
                }
            }
        } else if ((entry.revents & (POLLHUP | POLLERR)) != 0) {
            // Only while no descriptor of the far end is open, which our own
            // prevents; do not spin should it happen anyway.
            timespec pause = {0, 10000000};
            nanosleep(&pause, nullptr);
        }
    }
}

}  // namespace

void RequestStop(int aSignal) {
    (void)aSignal;
    gStopRequested = 1;
}

ServeEnd Serve(const SimOptions& aOptions, const ServerFiles& aFiles, const sigset_t& aWaitMask) {
    CSensor sensor(aOptions, aFiles);
    return sensor.Run(aWaitMask);
}
