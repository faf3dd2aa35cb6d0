// The sensor's side of the serial line: reply pieces go out one byte at a
// time at the line rate, each no earlier than its due time, and reach the far
// end when the byte's frame is complete. A USB adapter between the line and
// the computer may hold them: until its latency timer runs out after the
// first held byte, or until its packet is full.
#ifndef TARNEL_SENSOR_SIM_TRANSMITTER_H
#define TARNEL_SENSOR_SIM_TRANSMITTER_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using SimClock = std::chrono::steady_clock;

class CTransmitter {
public:
    // A zero latency is no adapter: bytes reach the far end as they come off
    // the line.
    explicit CTransmitter(std::chrono::microseconds aLatency) : iLatency(aLatency) {}

    // A piece waits for its due time and then for the line; the line serves
    // the pieces in order of their due times, and a piece once begun goes
    // out whole. A pause inside a reply therefore holds back nothing that
    // is due during it.
    void Add(const std::string& aBytes, SimClock::time_point aDue);

    using TSentObserver = std::function<void(const char* aBytes, std::size_t aCount)>;

    // Moves what has reached the far end by aNow to the terminal, aFrame
    // being the time one byte takes on the line (zero: no pacing). False
    // when the descriptor failed for good; aBlocked when the terminal takes
    // no more bytes now.
    bool Pump(int aFd, SimClock::time_point aNow, std::chrono::nanoseconds aFrame, bool& aBlocked,
              const TSentObserver& aSent);

    // When Pump has something to do next; max() when nothing waits.
    SimClock::time_point NextEvent(std::chrono::nanoseconds aFrame) const;

    // A full USB packet of an FTDI adapter: 64 bytes less its two status bytes.
    static constexpr std::size_t KPacketBytes = 62;

private:
    struct TPiece {
        std::string iBytes;
        std::size_t iSent;
        SimClock::time_point iDue;
        std::uint64_t iOrder;
    };

    // The piece whose byte goes next: the one begun, else the earliest due.
    std::size_t NextPiece() const;
    void Arrive(char aByte, SimClock::time_point aAt);
    void Release();

    std::chrono::microseconds iLatency;
    std::vector<TPiece> iPieces;
    std::uint64_t iAdded = 0;
    SimClock::time_point iLineFree{};
    std::string iHeld;
    SimClock::time_point iHeldSince{};
    std::string iReady;  // at the far end, not yet taken by the terminal
};

#endif
