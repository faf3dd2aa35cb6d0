// A simulated environmental sensor on a pseudo-terminal, for trying the tool
// without hardware and for its end-to-end tests. See --help.
#include "line-settings.h"
#include "line-writer.h"
#include "sim-options.h"
#include "sim-server.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int KExitUsage = 1;
constexpr int KExitSetup = 2;

struct Terminal {
    int iMaster = -1;
    int iSlave = -1;
    std::string iPath;
};

bool OpenTerminal(Terminal& aTerminal) {
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) {
        std::perror("sensor-sim: posix_openpt");
        return false;
    }
    char path[PATH_MAX];
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, path, sizeof path) != 0) {
        std::perror("sensor-sim: pseudo-terminal set-up");
        close(master);
        return false;
    }
    // Held for the whole life of the sensor: without a descriptor on the far
    // end the master sees a hang-up every time a client closes its own.
    int slave = open(path, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        std::perror("sensor-sim: open far end");
        close(master);
        return false;
    }
    int flags = fcntl(master, F_GETFL);
    if (flags < 0 || fcntl(master, F_SETFL, flags | O_NONBLOCK) != 0) {
        std::perror("sensor-sim: fcntl");
        close(slave);
        close(master);
        return false;
    }
    aTerminal.iMaster = master;
    aTerminal.iSlave = slave;
    aTerminal.iPath = path;
    return true;
}

// A terminal someone else set up: its bytes pass as they are both ways, and
// its rate and format stay what the other side sets. A sensor switched on
// hears nothing that was said before.
bool OpenExistingTerminal(const std::string& aPath, Terminal& aTerminal) {
    int fd = open(aPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios settings {};
    if (fd < 0 || tcgetattr(fd, &settings) != 0) {
        std::fprintf(stderr, "sensor-sim: cannot use %s: %s\n", aPath.c_str(), std::strerror(errno));
        if (fd >= 0) close(fd);
        return false;
    }
    settings.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF);
    settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &settings) != 0 || tcflush(fd, TCIOFLUSH) != 0) {
        std::fprintf(stderr, "sensor-sim: cannot set up %s: %s\n", aPath.c_str(), std::strerror(errno));
        close(fd);
        return false;
    }
    aTerminal.iMaster = fd;
    aTerminal.iSlave = fd;
    aTerminal.iPath = aPath;
    return true;
}

// The link is ours from creation to exit; a link that was there before is put back.
struct Link {
    std::string iPath;
    std::string iTarget;
    bool iMade = false;
    bool iHadOld = false;
    std::string iOldTarget;
};

bool ReadLinkText(const std::string& aPath, std::string& aTarget) {
    char buffer[PATH_MAX];
    ssize_t length = readlink(aPath.c_str(), buffer, sizeof buffer);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof buffer) return false;
    aTarget.assign(buffer, static_cast<std::size_t>(length));
    return true;
}

bool MakeLink(Link& aLink) {
    struct stat info {};
    if (lstat(aLink.iPath.c_str(), &info) == 0) {
        if (!S_ISLNK(info.st_mode) || !ReadLinkText(aLink.iPath, aLink.iOldTarget)) {
            std::fprintf(stderr, "sensor-sim: %s exists and is not a symbolic link\n", aLink.iPath.c_str());
            return false;
        }
        aLink.iHadOld = true;
        if (unlink(aLink.iPath.c_str()) != 0) {
            std::fprintf(stderr, "sensor-sim: cannot replace %s: %s\n", aLink.iPath.c_str(), std::strerror(errno));
            return false;
        }
    }
    if (symlink(aLink.iTarget.c_str(), aLink.iPath.c_str()) != 0) {
        std::fprintf(stderr, "sensor-sim: cannot link %s: %s\n", aLink.iPath.c_str(), std::strerror(errno));
        if (aLink.iHadOld && symlink(aLink.iOldTarget.c_str(), aLink.iPath.c_str()) != 0) {
            std::fprintf(stderr, "sensor-sim: could not put back %s\n", aLink.iPath.c_str());
        }
        return false;
    }
    aLink.iMade = true;
    return true;
}

void RemoveLink(const Link& aLink) {
    if (!aLink.iMade) return;
    std::string target;
    // Someone else may have taken the name meanwhile; leave theirs alone.
    if (!ReadLinkText(aLink.iPath, target) || target != aLink.iTarget) return;
    unlink(aLink.iPath.c_str());
    if (aLink.iHadOld && symlink(aLink.iOldTarget.c_str(), aLink.iPath.c_str()) != 0) {
        std::fprintf(stderr, "sensor-sim: could not put back %s\n", aLink.iPath.c_str());
    }
}

bool OpenWriter(CLineWriter& aWriter, const std::string& aPath) {
    if (aPath.empty() || aWriter.Open(aPath)) return true;
    std::fprintf(stderr, "sensor-sim: cannot open %s: %s\n", aPath.c_str(), std::strerror(errno));
    return false;
}

void TryRealtime() {
    sched_param parameter {};
    parameter.sched_priority = sched_get_priority_min(SCHED_FIFO) + 9;
    if (sched_setscheduler(0, SCHED_FIFO, &parameter) != 0) {
        std::fprintf(stderr, "sensor-sim: real-time scheduling refused (%s), going on without\n", std::strerror(errno));
    }
}

}  // namespace

int main(int argc, char** argv) {
    SimOptions options;
    std::string error;
    ParseOutcome outcome = ParseSimOptions(argc, argv, options, error);
    if (outcome == ParseOutcome::Help) {
        PrintSimHelp(stdout, argv[0]);
        return 0;
    }
    if (outcome == ParseOutcome::Error) {
        std::fprintf(stderr, "sensor-sim: %s\nTry '%s --help'.\n", error.c_str(), argv[0]);
        return KExitUsage;
    }

    // The stop signals only arrive inside the wait of the serving loop, so
    // that no reply or log line is ever cut in half.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGHUP);
    sigset_t waitMask;
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    sigdelset(&waitMask, SIGTERM);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGHUP);
    struct sigaction stop {};
    stop.sa_handler = RequestStop;
    sigemptyset(&stop.sa_mask);
    sigaction(SIGTERM, &stop, nullptr);
    sigaction(SIGINT, &stop, nullptr);
    sigaction(SIGHUP, &stop, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    // A sensor left behind by a crashed test run would hold its files forever.
    pid_t parent = getppid();
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) return 0;
    // Pauses of a few hundred microseconds are part of the faults on offer.
    prctl(PR_SET_TIMERSLACK, 1UL);

    // Their threads start before real-time scheduling, which then applies to
    // the serving thread alone.
    CLineWriter log;
    CLineWriter report;
    if (!OpenWriter(log, options.iLogPath) || !OpenWriter(report, options.iReportPath)) return KExitSetup;
    if (options.iRealtime) TryRealtime();

    Terminal terminal;
    const bool opened = options.iTerminalPath.empty() ? OpenTerminal(terminal)
                                                      : OpenExistingTerminal(options.iTerminalPath, terminal);
    if (!opened) return KExitSetup;
    if (!ApplyStartLine(terminal.iSlave, options.iStartLine, error)) {
        std::fprintf(stderr, "sensor-sim: %s\n", error.c_str());
        return KExitSetup;
    }

    ServerFiles files;
    files.iMaster = terminal.iMaster;
    files.iSlave = terminal.iSlave;
    files.iLog = &log;
    files.iReport = &report;

    Link link;
    link.iPath = options.iLinkPath;
    link.iTarget = terminal.iPath;
    if (!link.iPath.empty() && !MakeLink(link)) return KExitSetup;

    std::printf("%s\n", terminal.iPath.c_str());
    std::fflush(stdout);

    ServeEnd end = Serve(options, files, waitMask);

    // Closing the master is what the other side sees as the hang-up.
    close(terminal.iMaster);
    if (terminal.iSlave != terminal.iMaster) close(terminal.iSlave);
    RemoveLink(link);
    log.Close();
    report.Close();
    return end == ServeEnd::Failed ? KExitSetup : 0;
}
