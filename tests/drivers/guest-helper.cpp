// What the driver test's guest needs beyond busybox: times to the
// millisecond (busybox date has none), runs that may not hang, repeated and
// simultaneous runs with their results grouped, a port held by another
// process, and what a driver says about a device node. Static, like
// everything in the guest.
//
//   guest-helper limit MS CMD...         CMD in a process group of its own,
//                                        killed after MS ms
//   guest-helper within LO HI CMD...     CMD; a line when it took less than LO
//                                        or more than HI ms
//   guest-helper repeat N CMD...         CMD N times, one after the other
//   guest-helper together N CMD...       CMD N times, all started at once
//   guest-helper hold PATH MS CMD...     lock PATH as the tool does, for MS ms,
//                                        and run CMD meanwhile
//   guest-helper probe PATH              what the driver answers on PATH
//
// Each prints nothing of its own while all goes well, so that a case's
// output stays exact. The status is CMD's; 124 after a time limit and 125
// when CMD was killed by a signal, with a line saying so. repeat and
// together print one line per distinct result: how many runs gave it, their
// status and their output, line feeds written as \n. Run times go to the
// file named by GUEST_NOTES, if set.
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int KExitTimedOut = 124;
constexpr int KExitSignal = 125;
constexpr int KExitUsage = 126;

double NowMs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

void SleepMs(double aMs) {
    if (aMs <= 0) return;
    timespec pause;
    pause.tv_sec = static_cast<time_t>(aMs / 1e3);
    pause.tv_nsec = static_cast<long>((aMs - static_cast<double>(pause.tv_sec) * 1e3) * 1e6);
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

bool Number(const char* aText, long aMax, long* aValue) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(aText, &end, 10);
    if (errno != 0 || end == aText || *end != '\0' || value < 0 || value > aMax) return false;
    *aValue = value;
    return true;
}

void Note(const std::string& aLine) {
    const char* path = std::getenv("GUEST_NOTES");
    if (path == nullptr || *path == '\0') return;
    if (FILE* notes = std::fopen(path, "a")) {
        std::fprintf(notes, "%s\n", aLine.c_str());
        std::fclose(notes);
    }
}

// A started command; its standard output is collected when aCollect.
struct TChild {
    pid_t iPid = -1;
    int iOut = -1;
    std::string iOutput;
    int iStatus = 0;
    double iStart = 0;
    double iMs = 0;
};

bool Start(char** aArgv, bool aCollect, bool aOwnGroup, TChild* aChild) {
    int out[2] = {-1, -1};
    if (aCollect && pipe2(out, O_CLOEXEC) != 0) return false;
    aChild->iStart = NowMs();
    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        if (aOwnGroup) setpgid(0, 0);
        if (aCollect) {
            dup2(out[1], STDOUT_FILENO);
            dup2(out[1], STDERR_FILENO);
        }
        execvp(aArgv[0], aArgv);
        std::fprintf(stderr, "guest-helper: cannot run %s: %s\n", aArgv[0], std::strerror(errno));
        _exit(127);
    }
    if (aOwnGroup) setpgid(pid, pid);
    aChild->iPid = pid;
    if (aCollect) {
        close(out[1]);
        aChild->iOut = out[0];
    }
    return true;
}

void Reap(TChild* aChild) {
    while (waitpid(aChild->iPid, &aChild->iStatus, 0) < 0 && errno == EINTR) {
    }
    aChild->iMs = NowMs() - aChild->iStart;
}

// Reads what the children print; each is reaped when it has closed its
// output, so that its time is its own.
void Finish(std::vector<TChild>& aChildren) {
    for (TChild& c : aChildren) {
        if (c.iOut < 0) Reap(&c);
    }
    for (;;) {
        std::vector<pollfd> fds;
        std::vector<TChild*> owners;
        for (TChild& c : aChildren) {
            if (c.iOut < 0) continue;
            fds.push_back(pollfd{c.iOut, POLLIN, 0});
            owners.push_back(&c);
        }
        if (fds.empty()) break;
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                owners[i]->iOutput.append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                close(owners[i]->iOut);
                owners[i]->iOut = -1;
                Reap(owners[i]);
            }
        }
    }
}

// The exit status to pass on, and a line for what is not one.
int Outcome(int aStatus, std::string* aLine) {
    if (WIFEXITED(aStatus)) return WEXITSTATUS(aStatus);
    if (WIFSIGNALED(aStatus)) {
        *aLine = "killed by signal " + std::to_string(WTERMSIG(aStatus)) + " (" + strsignal(WTERMSIG(aStatus)) + ")";
    } else {
        *aLine = "ended without status";
    }
    return KExitSignal;
}

// The status of a command that ran alone, with its line when it has one.
int PassOn(int aStatus) {
    std::string line;
    const int exit = Outcome(aStatus, &line);
    if (!line.empty()) std::printf("%s\n", line.c_str());
    return exit;
}

int Limit(long aMs, char** aArgv) {
    TChild child;
    if (!Start(aArgv, false, true, &child)) return KExitUsage;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(child.iPid, &status, WNOHANG);
        if (done == child.iPid) break;
        if (done < 0 && errno != EINTR) return KExitUsage;
        if (NowMs() - child.iStart > static_cast<double>(aMs)) {
            kill(-child.iPid, SIGKILL);
            waitpid(child.iPid, &status, 0);
            std::printf("timed out after %ld ms\n", aMs);
            return KExitTimedOut;
        }
        SleepMs(5);
    }
    return PassOn(status);
}

int Within(long aLow, long aHigh, char** aArgv) {
    std::fflush(stdout);
    std::vector<TChild> children(1);
    if (!Start(aArgv, false, false, &children[0])) return KExitUsage;
    Finish(children);
    const TChild& c = children[0];
    Note("within " + std::to_string(aLow) + ".." + std::to_string(aHigh) + " ms: " +
         std::to_string(static_cast<long>(c.iMs)) + " ms");
    const int exit = PassOn(c.iStatus);
    if (c.iMs < static_cast<double>(aLow) || c.iMs > static_cast<double>(aHigh)) {
        std::printf("took %.0f ms, not within %ld..%ld ms\n", c.iMs, aLow, aHigh);
    }
    return exit;
}

std::string Escaped(const std::string& aOutput) {
    std::string text = aOutput;
    if (!text.empty() && text.back() == '\n') text.pop_back();
    std::string out;
    for (char ch : text) {
        if (ch == '\n') {
            out += "\\n";
        } else if (ch == '\\') {
            out += "\\\\";
        } else {
            out += ch;
        }
    }
    return out;
}

// One line per distinct result, in the order they first came.
int Grouped(const std::vector<TChild>& aRuns, const char* aWhat) {
    struct TGroup {
        std::string iLine;
        int iCount;
    };
    std::vector<TGroup> groups;
    std::vector<double> times;
    int worst = 0;
    for (const TChild& run : aRuns) {
        std::string line;
        const int exit = Outcome(run.iStatus, &line);
        worst = std::max(worst, exit);
        const std::string key = "exit " + std::to_string(exit) + ": " + (line.empty() ? "" : line + ": ") +
                                Escaped(run.iOutput);
        auto found = std::find_if(groups.begin(), groups.end(), [&key](const TGroup& g) { return g.iLine == key; });
        if (found == groups.end()) {
            groups.push_back(TGroup{key, 1});
        } else {
            ++found->iCount;
        }
        times.push_back(run.iMs);
    }
    for (const TGroup& g : groups) std::printf("%d %s, %s\n", g.iCount, g.iCount == 1 ? "run" : "runs", g.iLine.c_str());
    std::sort(times.begin(), times.end());
    if (!times.empty()) {
        char note[160];
        std::snprintf(note, sizeof note, "%s: %zu runs, ms min %.1f median %.1f max %.1f", aWhat, times.size(),
                      times.front(), times[times.size() / 2], times.back());
        Note(note);
    }
    return worst;
}

int Repeat(long aCount, char** aArgv) {
    std::vector<TChild> runs;
    for (long i = 0; i < aCount; ++i) {
        std::vector<TChild> one(1);
        if (!Start(aArgv, true, false, &one[0])) return KExitUsage;
        Finish(one);
        runs.push_back(one[0]);
    }
    return Grouped(runs, "repeat");
}

int Together(long aCount, char** aArgv) {
    std::vector<TChild> runs(static_cast<std::size_t>(aCount));
    for (TChild& run : runs) {
        if (!Start(aArgv, true, false, &run)) return KExitUsage;
    }
    Finish(runs);
    return Grouped(runs, "together");
}

// Locked the way the tool locks its port, so that the tool waits for it.
int Hold(const char* aPath, long aMs, char** aArgv) {
    const int fd = open(aPath, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) {
        std::printf("cannot hold %s: %s\n", aPath, std::strerror(errno));
        return KExitUsage;
    }
    const double until = NowMs() + static_cast<double>(aMs);
    std::fflush(stdout);
    std::vector<TChild> children(1);
    if (!Start(aArgv, false, false, &children[0])) return KExitUsage;
    SleepMs(until - NowMs());
    close(fd);
    Finish(children);
    return PassOn(children[0].iStatus);
}

const char* ErrnoName(int aErrno) {
    switch (aErrno) {
        case 0: return "ok";
        case EIO: return "EIO";
        case ENXIO: return "ENXIO";
        case ENODEV: return "ENODEV";
        case ENOENT: return "ENOENT";
        case ENOTTY: return "ENOTTY";
        case EBUSY: return "EBUSY";
        case EINVAL: return "EINVAL";
        case EACCES: return "EACCES";
        default: return strerror(aErrno);
    }
}

int Probe(const char* aPath) {
    const int fd = open(aPath, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    std::printf("open: %s\n", ErrnoName(fd < 0 ? errno : 0));
    if (fd < 0) return 0;
    termios settings;
    std::printf("tcgetattr: %s\n", ErrnoName(tcgetattr(fd, &settings) != 0 ? errno : 0));
    serial_struct serial;
    if (ioctl(fd, TIOCGSERIAL, &serial) != 0) {
        std::printf("TIOCGSERIAL: %s\n", ErrnoName(errno));
    } else {
        std::printf("TIOCGSERIAL: type %d\n", serial.type);
    }
    int lines = 0;
    std::printf("TIOCMGET: %s\n", ErrnoName(ioctl(fd, TIOCMGET, &lines) != 0 ? errno : 0));
    close(fd);
    return 0;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: guest-helper limit MS CMD... | within LO HI CMD... | repeat N CMD... |\n"
                 "       together N CMD... | hold PATH MS CMD... | probe PATH\n");
    return KExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    signal(SIGPIPE, SIG_DFL);
    const std::string what = argc > 1 ? argv[1] : "";
    long a = 0;
    long b = 0;
    const long KMaxMs = 600000;
    if (what == "limit" && argc > 3 && Number(argv[2], KMaxMs, &a)) return Limit(a, argv + 3);
    if (what == "within" && argc > 4 && Number(argv[2], KMaxMs, &a) && Number(argv[3], KMaxMs, &b)) {
        return Within(a, b, argv + 4);
    }
    if (what == "repeat" && argc > 3 && Number(argv[2], 100000, &a) && a > 0) return Repeat(a, argv + 3);
    if (what == "together" && argc > 3 && Number(argv[2], 100, &a) && a > 0) return Together(a, argv + 3);
    if (what == "hold" && argc > 4 && Number(argv[3], KMaxMs, &a)) return Hold(argv[2], a, argv + 4);
    if (what == "probe" && argc == 3) return Probe(argv[2]);
    return Usage();
}
