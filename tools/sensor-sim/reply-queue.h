// Bytes waiting to go to the terminal, each piece not before its time, in order:
// a reply held back by a pause holds back every reply queued after it, as on a
// real serial line.
#ifndef TARNEL_SENSOR_SIM_REPLY_QUEUE_H
#define TARNEL_SENSOR_SIM_REPLY_QUEUE_H

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <string>

using SimClock = std::chrono::steady_clock;

class CReplyQueue {
public:
    void Add(const std::string& aBytes, SimClock::time_point aDue);

    using TSentObserver = std::function<void(const char* aBytes, std::size_t aCount)>;

    // Writes every piece that is due, telling the observer of each write.
    // False when the descriptor failed for good. aBlocked is set when the
    // terminal would not take more bytes now.
    bool WriteDue(int aFd, SimClock::time_point aNow, bool& aBlocked, const TSentObserver& aSent);

    bool Empty() const { return iPieces.empty(); }
    SimClock::time_point NextDue() const { return iPieces.front().iDue; }

private:
    struct TPiece {
        std::string iBytes;
        std::size_t iSent;
        SimClock::time_point iDue;
    };
    std::deque<TPiece> iPieces;
};

#endif
