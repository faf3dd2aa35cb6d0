#include "sensor_sim.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace {

void PauseMs(long aMs) {
    timespec pause = {aMs / 1000, (aMs % 1000) * 1000000L};
    nanosleep(&pause, nullptr);
}

void SetError(std::string* aError, const std::string& aText) {
    if (aError != nullptr) *aError = aText;
}

// The first line the sensor prints, within the time.
bool ReadFirstLine(int aFd, int aTimeoutMs, std::string& aLine) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(aTimeoutMs);
    std::string text;
    for (;;) {
        std::string::size_type end = text.find('\n');
        if (end != std::string::npos) {
            aLine = text.substr(0, end);
            return true;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd entry = {aFd, POLLIN, 0};
        int ready = poll(&entry, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        char buffer[512];
        ssize_t count = read(aFd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return false;
        text.append(buffer, static_cast<std::size_t>(count));
    }
}

}  // namespace

CSensorSim::~CSensorSim() { Stop(); }

std::string CSensorSim::ProgramPath() {
    const char* path = std::getenv("TARNEL_SENSOR_SIM");
    if (path != nullptr && *path != '\0') return path;
    return TARNEL_SENSOR_SIM_PATH;
}

bool CSensorSim::Start(const std::vector<std::string>& aArgs, std::string* aError) {
    if (iPid > 0) {
        SetError(aError, "sensor already started");
        return false;
    }
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        SetError(aError, std::string("pipe: ") + std::strerror(errno));
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);

    std::vector<std::string> argv;
    argv.push_back(ProgramPath());
    argv.insert(argv.end(), aArgs.begin(), aArgs.end());
    std::vector<char*> pointers;
    for (std::string& arg : argv) pointers.push_back(&arg[0]);
    pointers.push_back(nullptr);

    pid_t pid = -1;
    int rc = posix_spawn(&pid, pointers[0], &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (rc != 0) {
        close(out[0]);
        SetError(aError, "cannot start " + argv[0] + ": " + std::strerror(rc));
        return false;
    }
    iPid = pid;
    iStatus = -1;
    std::string line;
    bool gotPath = ReadFirstLine(out[0], 5000, line);
    close(out[0]);
    if (!gotPath || line.empty()) {
        int status = Stop(1000);
        SetError(aError, "the sensor printed no terminal path (exit status " + std::to_string(status) + ")");
        return false;
    }
    iPath = line;
    return true;
}

int CSensorSim::Reap(bool aBlock) {
    if (iPid <= 0) return iStatus;
    int status = 0;
    pid_t done;
    do {
        done = waitpid(iPid, &status, aBlock ? 0 : WNOHANG);
    } while (done < 0 && errno == EINTR);
    if (done == 0) return -2;  // still running
    iPid = -1;
    iStatus = (done > 0 && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
    return iStatus;
}

bool CSensorSim::Running() { return iPid > 0 && Reap(false) == -2; }

int CSensorSim::WaitForExit(int aTimeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(aTimeoutMs);
    for (;;) {
        int status = Reap(false);
        if (status != -2) return status;
        if (std::chrono::steady_clock::now() >= deadline) return -1;
        PauseMs(1);
    }
}

int CSensorSim::Stop(int aTimeoutMs) {
    if (iPid <= 0) return iStatus;
    if (Reap(false) != -2) return iStatus;
    kill(iPid, SIGTERM);
    int status = WaitForExit(aTimeoutMs);
    if (iPid > 0) {
        kill(iPid, SIGKILL);
        Reap(true);
        iStatus = -1;
        return -1;
    }
    return status;
}
