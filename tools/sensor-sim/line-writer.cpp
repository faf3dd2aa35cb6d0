#include "line-writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

CLineWriter::~CLineWriter() { Close(); }

bool CLineWriter::Open(const std::string& aPath) {
    iFd = open(aPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (iFd < 0) return false;
    iThread = std::thread(&CLineWriter::Run, this);
    return true;
}

void CLineWriter::Post(std::string aLine) {
    if (iFd < 0) return;
    {
        std::lock_guard<std::mutex> guard(iLock);
        iLines.push_back(std::move(aLine));
    }
    iWake.notify_one();
}

void CLineWriter::Close() {
    if (iFd < 0) return;
    {
        std::lock_guard<std::mutex> guard(iLock);
        iClosing = true;
    }
    iWake.notify_one();
    iThread.join();
    close(iFd);
    iFd = -1;
}

void CLineWriter::Run() {
    std::unique_lock<std::mutex> guard(iLock);
    for (;;) {
        iWake.wait(guard, [this] { return iClosing || !iLines.empty(); });
        if (iLines.empty()) return;
        std::string text;
        while (!iLines.empty()) {
            text += iLines.front();
            iLines.pop_front();
        }
        guard.unlock();
        // One write per batch of whole lines, so that a reader never sees half of one.
        std::string::size_type done = 0;
        while (done < text.size()) {
            ssize_t written = write(iFd, text.data() + done, text.size() - done);
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) break;
            done += static_cast<std::string::size_type>(written);
        }
        guard.lock();
    }
}
