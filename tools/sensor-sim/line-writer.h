// Appends lines to a file from a thread of its own, so that a slow disk never
// delays a reply: the serving loop only hands the text over.
#ifndef TARNEL_SENSOR_SIM_LINE_WRITER_H
#define TARNEL_SENSOR_SIM_LINE_WRITER_H

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

class CLineWriter {
public:
    CLineWriter() = default;
    ~CLineWriter();
    CLineWriter(const CLineWriter&) = delete;
    CLineWriter& operator=(const CLineWriter&) = delete;

    // Opens the file for appending and starts the thread; false when the
    // file cannot be opened. Without a call, Post does nothing.
    bool Open(const std::string& aPath);
    bool IsOpen() const { return iFd >= 0; }

    void Post(std::string aLine);

    // Writes out everything posted so far, then ends the thread.
    void Close();

private:
    void Run();

    int iFd = -1;
    std::thread iThread;
    std::mutex iLock;
    std::condition_variable iWake;
    std::deque<std::string> iLines;
    bool iClosing = false;
};

#endif
