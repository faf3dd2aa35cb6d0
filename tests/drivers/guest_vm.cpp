#include "guest_vm.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

void PauseMs(long aMs) {
    const timespec pause = {aMs / 1000, (aMs % 1000) * 1000000L};
    nanosleep(&pause, nullptr);
}

std::string Failure(const std::string& aWhat) { return aWhat + ": " + std::strerror(errno); }

int MillisLeft(CGuest::Clock::time_point aDeadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(aDeadline - CGuest::Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(left);
}

// Everything up to the next line feed of a stream, read as it comes.
bool NextLine(int aFd, std::string& aPending, CGuest::Clock::time_point aDeadline, std::string* aLine,
              std::string* aTranscript) {
    for (;;) {
        const std::string::size_type end = aPending.find('\n');
        if (end != std::string::npos) {
            *aLine = aPending.substr(0, end);
            aPending.erase(0, end + 1);
            return true;
        }
        pollfd entry = {aFd, POLLIN, 0};
        const int ready = poll(&entry, 1, MillisLeft(aDeadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        char buffer[4096];
        const ssize_t count = read(aFd, buffer, sizeof buffer);
        if (count < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (count <= 0) return false;
        aPending.append(buffer, static_cast<std::size_t>(count));
        if (aTranscript != nullptr) aTranscript->append(buffer, static_cast<std::size_t>(count));
    }
}

bool WriteAll(int aFd, const std::string& aText) {
    std::size_t done = 0;
    while (done < aText.size()) {
        const ssize_t n = write(aFd, aText.data() + done, aText.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

CHostLine::~CHostLine() {
    if (iFarEnd >= 0) close(iFarEnd);
    if (iMaster >= 0) close(iMaster);
}

bool CHostLine::Open(std::string* aError) {
    iMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char path[128];
    if (iMaster < 0 || grantpt(iMaster) != 0 || unlockpt(iMaster) != 0 || ptsname_r(iMaster, path, sizeof path) != 0) {
        *aError = Failure("pseudo-terminal");
        return false;
    }
    iPath = path;
    iFarEnd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios settings;
    if (iFarEnd < 0 || tcgetattr(iFarEnd, &settings) != 0) {
        *aError = Failure("far end " + iPath);
        return false;
    }
    // Bytes pass unchanged until the sensor sets the same.
    cfmakeraw(&settings);
    if (tcsetattr(iFarEnd, TCSANOW, &settings) != 0) {
        *aError = Failure("raw mode on " + iPath);
        return false;
    }
    return true;
}

CGuest::~CGuest() {
    Kill();
    if (iMonitor >= 0) close(iMonitor);
}

bool CGuest::Start(const TGuestConfig& aConfig, std::string* aError) {
    const std::string uart = std::to_string(aConfig.iUart->Master());
    const std::string usb = std::to_string(aConfig.iUsb->Master());
    // One vCPU: the machine has two cores for everything, the sensors and
    // this test included.
    std::vector<std::string> argv = {
        "qemu-system-x86_64", "-machine", "pc,accel=tcg", "-smp", "1", "-m", "256",
        "-nodefaults", "-no-user-config", "-no-reboot", "-display", "none",
        "-kernel", aConfig.iKernel, "-initrd", aConfig.iInitramfs,
        "-append", "console=ttyS0,115200 quiet loglevel=1 panic=-1",
        "-chardev", "stdio,id=console,signal=off", "-serial", "chardev:console",
        "-add-fd", "fd=" + uart + ",set=1", "-chardev", "serial,id=uart,path=/dev/fdset/1",
        "-device", "isa-serial,chardev=uart,index=1",
        "-device", "qemu-xhci,id=xhci",
        "-add-fd", "fd=" + usb + ",set=2", "-chardev", "serial,id=ftdi,path=/dev/fdset/2",
        "-device", "usb-serial,id=ftdi,chardev=ftdi,bus=xhci.0",
        "-qmp", "unix:" + aConfig.iQmpSocket + ",server=on,wait=off",
    };
    std::vector<char*> pointers;
    for (std::string& arg : argv) pointers.push_back(&arg[0]);
    pointers.push_back(nullptr);

    int toGuest[2];
    int fromGuest[2];
    if (pipe2(toGuest, O_CLOEXEC) != 0 || pipe2(fromGuest, O_CLOEXEC) != 0) {
        *aError = Failure("pipe");
        return false;
    }
    const int log = open(aConfig.iQemuLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    unlink(aConfig.iQmpSocket.c_str());
    const pid_t pid = fork();
    if (pid < 0) {
        *aError = Failure("fork");
        return false;
    }
    if (pid == 0) {
        // A test that dies takes its machine along.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        dup2(toGuest[0], STDIN_FILENO);
        dup2(fromGuest[1], STDOUT_FILENO);
        if (log >= 0) dup2(log, STDERR_FILENO);
        fcntl(aConfig.iUart->Master(), F_SETFD, 0);
        fcntl(aConfig.iUsb->Master(), F_SETFD, 0);
        execvp(pointers[0], pointers.data());
        _exit(127);
    }
    iPid = pid;
    close(toGuest[0]);
    close(fromGuest[1]);
    if (log >= 0) close(log);
    iConsoleIn = toGuest[1];
    iConsoleOut = fromGuest[0];
    return ConnectMonitor(aConfig.iQmpSocket, aError);
}

bool CGuest::ConnectMonitor(const std::string& aPath, std::string* aError) {
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (aPath.size() >= sizeof address.sun_path) {
        *aError = "monitor path too long: " + aPath;
        return false;
    }
    std::memcpy(address.sun_path, aPath.c_str(), aPath.size() + 1);
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    for (;;) {
        iMonitor = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (iMonitor >= 0 && connect(iMonitor, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) break;
        const std::string why = Failure("monitor " + aPath);
        if (iMonitor >= 0) close(iMonitor);
        iMonitor = -1;
        int status = 0;
        if (waitpid(iPid, &status, WNOHANG) == iPid) {
            iPid = -1;
            *aError = "QEMU ended at once (exit status " + std::to_string(WEXITSTATUS(status)) + ")";
            return false;
        }
        if (Clock::now() > deadline) {
            *aError = why;
            return false;
        }
        PauseMs(20);
    }
    std::string greeting;
    if (!NextLine(iMonitor, iMonitorPending, deadline, &greeting, nullptr) ||
        greeting.find("\"QMP\"") == std::string::npos) {
        *aError = "no greeting from the monitor: " + greeting;
        return false;
    }
    return Monitor("{\"execute\": \"qmp_capabilities\"}", aError);
}

bool CGuest::MonitorReply(Clock::time_point aDeadline, std::string* aReply) {
    for (;;) {
        std::string line;
        if (!NextLine(iMonitor, iMonitorPending, aDeadline, &line, nullptr)) return false;
        // Events may come before the reply.
        if (line.find("\"return\"") != std::string::npos || line.find("\"error\"") != std::string::npos) {
            *aReply = line;
            return true;
        }
    }
}

bool CGuest::Monitor(const std::string& aCommand, std::string* aError) {
    std::string reply;
    if (iMonitor < 0 || !WriteAll(iMonitor, aCommand + "\n") ||
        !MonitorReply(Clock::now() + std::chrono::seconds(10), &reply)) {
        *aError = "no answer from the monitor to " + aCommand;
        return false;
    }
    if (reply.find("\"error\"") != std::string::npos) {
        *aError = aCommand + ": " + reply;
        return false;
    }
    return true;
}

bool CGuest::ReadLine(Clock::time_point aDeadline, std::string* aLine) {
    return iConsoleOut >= 0 && NextLine(iConsoleOut, iPending, aDeadline, aLine, &iTranscript);
}

bool CGuest::Send(const std::string& aLine) { return iConsoleIn >= 0 && WriteAll(iConsoleIn, aLine + "\n"); }

bool CGuest::WaitForExit(int aTimeoutMs) {
    if (iPid <= 0) return true;
    const auto deadline = Clock::now() + std::chrono::milliseconds(aTimeoutMs);
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(iPid, &status, WNOHANG);
        if (done == iPid || (done < 0 && errno != EINTR)) {
            iPid = -1;
            return true;
        }
        if (Clock::now() > deadline) {
            Kill();
            return false;
        }
        // Keep the console drained, or a chatty guest would block on it.
        std::string line;
        ReadLine(Clock::now() + std::chrono::milliseconds(20), &line);
    }
}

void CGuest::Kill() {
    if (iPid > 0) {
        kill(iPid, SIGKILL);
        waitpid(iPid, nullptr, 0);
        iPid = -1;
    }
    if (iConsoleIn >= 0) close(iConsoleIn);
    if (iConsoleOut >= 0) close(iConsoleOut);
    iConsoleIn = -1;
    iConsoleOut = -1;
}

std::string CGuest::ConsoleTail(std::size_t aLines) const {
    std::string::size_type start = iTranscript.size();
    for (std::size_t lines = 0; start > 0 && lines <= aLines; ++lines) {
        start = iTranscript.rfind('\n', start - 1);
        if (start == std::string::npos) return iTranscript;
    }
    return iTranscript.substr(start == 0 ? 0 : start + 1);
}
