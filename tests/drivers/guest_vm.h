// The driver test's virtual machine: QEMU, without KVM, booting Debian's
// kernel with the test's initramfs. Its console is a pipe of ours, its
// monitor a QMP socket, and its two host-side serial lines are
// pseudo-terminals whose far ends the test serves with the simulated sensor.
#ifndef TARNEL_TESTS_DRIVERS_GUEST_VM_H
#define TARNEL_TESTS_DRIVERS_GUEST_VM_H

#include <sys/types.h>

#include <chrono>
#include <string>

// A pseudo-terminal for one of the guest's serial lines. QEMU gets the
// master, applies the guest's rate and format to it and moves the bytes; a
// sensor serves the far end. We keep a descriptor of the far end open from
// start to end, so that neither side sees a hang-up while one sensor follows
// another.
class CHostLine {
public:
    CHostLine() = default;
    ~CHostLine();
    CHostLine(const CHostLine&) = delete;
    CHostLine& operator=(const CHostLine&) = delete;

    bool Open(std::string* aError);
    int Master() const { return iMaster; }
    const std::string& FarEnd() const { return iPath; }

private:
    int iMaster = -1;
    int iFarEnd = -1;
    std::string iPath;
};

struct TGuestConfig {
    std::string iKernel;     // the kernel image
    std::string iInitramfs;
    std::string iQmpSocket;
    std::string iQemuLog;    // QEMU's own standard error
    const CHostLine* iUart = nullptr;  // behind the guest's ttyS1 (an ISA 16550)
    const CHostLine* iUsb = nullptr;   // behind the guest's ttyUSB0 (an FT232 on xHCI)
};

class CGuest {
public:
    using Clock = std::chrono::steady_clock;

    CGuest() = default;
    ~CGuest();
    CGuest(const CGuest&) = delete;
    CGuest& operator=(const CGuest&) = delete;

    // Starts QEMU and connects to its monitor.
    bool Start(const TGuestConfig& aConfig, std::string* aError);

    // The next line of the console, without its line end; false when none
    // came by the deadline or the console closed.
    bool ReadLine(Clock::time_point aDeadline, std::string* aLine);
    bool Send(const std::string& aLine);

    // One QMP command (a JSON text); false with the reason when the monitor
    // refused it or did not answer in time.
    bool Monitor(const std::string& aCommand, std::string* aError);

    // Waits for QEMU to end by itself, killing it after the time; whether it
    // ended by itself.
    bool WaitForExit(int aTimeoutMs);
    void Kill();
    bool Running() const { return iPid > 0; }

    // The console's last lines, for failure messages.
    std::string ConsoleTail(std::size_t aLines) const;

private:
    bool ConnectMonitor(const std::string& aPath, std::string* aError);
    bool MonitorReply(Clock::time_point aDeadline, std::string* aReply);

    pid_t iPid = -1;
    int iConsoleIn = -1;
    int iConsoleOut = -1;
    int iMonitor = -1;
    std::string iPending;
    std::string iMonitorPending;
    std::string iTranscript;
};

#endif
