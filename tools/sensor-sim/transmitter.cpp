#include "transmitter.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

void CTransmitter::Add(const std::string& aBytes, SimClock::time_point aDue) {
    if (aBytes.empty()) return;
    iPieces.push_back(TPiece{aBytes, 0, aDue, iAdded++});
}

std::size_t CTransmitter::NextPiece() const {
    std::size_t best = 0;
    for (std::size_t i = 0; i < iPieces.size(); ++i) {
        if (iPieces[i].iSent > 0) return i;
        const TPiece& piece = iPieces[i];
        const TPiece& chosen = iPieces[best];
        if (piece.iDue < chosen.iDue || (piece.iDue == chosen.iDue && piece.iOrder < chosen.iOrder)) best = i;
    }
    return best;
}

void CTransmitter::Release() {
    iReady += iHeld;
    iHeld.clear();
}

void CTransmitter::Arrive(char aByte, SimClock::time_point aAt) {
    if (iLatency.count() == 0) {
        iReady += aByte;
        return;
    }
    if (iHeld.empty()) iHeldSince = aAt;
    iHeld += aByte;
    if (iHeld.size() >= KPacketBytes) Release();
}

bool CTransmitter::Pump(int aFd, SimClock::time_point aNow, std::chrono::nanoseconds aFrame, bool& aBlocked,
                        const TSentObserver& aSent) {
    aBlocked = false;
    // Replayed in the order of their times, however late this call is.
    while (!iPieces.empty()) {
        const std::size_t index = NextPiece();
        TPiece& piece = iPieces[index];
        const SimClock::time_point end = std::max(piece.iDue, iLineFree) + aFrame;
        if (!iHeld.empty() && iHeldSince + iLatency <= end && iHeldSince + iLatency <= aNow) Release();
        if (end > aNow) break;
        iLineFree = end;
        Arrive(piece.iBytes[piece.iSent++], end);
        if (piece.iSent == piece.iBytes.size()) iPieces.erase(iPieces.begin() + static_cast<std::ptrdiff_t>(index));
    }
    if (!iHeld.empty() && iHeldSince + iLatency <= aNow) Release();

    while (!iReady.empty()) {
        const ssize_t written = write(aFd, iReady.data(), iReady.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                aBlocked = true;
                return true;
            }
            return false;
        }
        aSent(iReady.data(), static_cast<std::size_t>(written));
        iReady.erase(0, static_cast<std::size_t>(written));
    }
    return true;
}

SimClock::time_point CTransmitter::NextEvent(std::chrono::nanoseconds aFrame) const {
    SimClock::time_point next = SimClock::time_point::max();
    if (!iPieces.empty()) {
        const TPiece& piece = iPieces[NextPiece()];
        next = std::max(piece.iDue, iLineFree) + aFrame;
    }
    if (!iHeld.empty()) next = std::min(next, iHeldSince + iLatency);
    return next;
}
