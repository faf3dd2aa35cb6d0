#include "reply-queue.h"

#include <unistd.h>

#include <cerrno>

void CReplyQueue::Add(const std::string& aBytes, SimClock::time_point aDue) {
    if (aBytes.empty()) return;
    iPieces.push_back(TPiece{aBytes, 0, aDue});
}

bool CReplyQueue::WriteDue(int aFd, SimClock::time_point aNow, bool& aBlocked, const TSentObserver& aSent) {
    aBlocked = false;
    while (!iPieces.empty() && iPieces.front().iDue <= aNow) {
        TPiece& piece = iPieces.front();
        ssize_t written = write(aFd, piece.iBytes.data() + piece.iSent, piece.iBytes.size() - piece.iSent);
        if (written < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                aBlocked = true;
                return true;
            }
            return false;
        }
        aSent(piece.iBytes.data() + piece.iSent, static_cast<std::size_t>(written));
        piece.iSent += static_cast<std::size_t>(written);
        if (piece.iSent == piece.iBytes.size()) iPieces.pop_front();
    }
    return true;
}
