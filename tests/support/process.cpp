#include "process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

extern char** environ;

namespace {

std::vector<std::string> BuildEnv(const ProcessOptions& aOptions) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        std::string entry(*e);
        std::string name = entry.substr(0, entry.find('='));
        bool drop = false;
        for (const auto& u : aOptions.iUnsetEnv) drop = drop || (u == name);
        for (const auto& s : aOptions.iSetEnv) drop = drop || (s.substr(0, s.find('=')) == name);
        if (!drop) env.push_back(entry);
    }
    for (const auto& s : aOptions.iSetEnv) env.push_back(s);
    return env;
}

std::vector<char*> CStrings(std::vector<std::string>& aStrings) {
    std::vector<char*> out;
    for (auto& s : aStrings) out.push_back(&s[0]);
    out.push_back(nullptr);
    return out;
}

}  // namespace

ProcessResult RunProcess(const std::vector<std::string>& aArgv, const ProcessOptions& aOptions) {
    ProcessResult result;
    int outPipe[2], errPipe[2], inPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0) return result;
    if (pipe2(errPipe, O_CLOEXEC) != 0) return result;
    if (pipe2(inPipe, O_CLOEXEC) != 0) return result;

    int brokenPipe[2] = {-1, -1};
    if (aOptions.iStdoutTo == "broken-pipe") {
        if (pipe2(brokenPipe, O_CLOEXEC) != 0) return result;
        close(brokenPipe[0]);
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    if (aOptions.iStdoutTo.empty()) {
        posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    } else if (aOptions.iStdoutTo == "closed") {
        posix_spawn_file_actions_addclose(&actions, 1);
    } else if (aOptions.iStdoutTo == "broken-pipe") {
        posix_spawn_file_actions_adddup2(&actions, brokenPipe[1], 1);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, aOptions.iStdoutTo.c_str(), O_WRONLY, 0);
    }
    // The program gets the signal dispositions of a shell, whatever this
    // process ignores.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

    std::vector<std::string> argv = aArgv;
    std::vector<std::string> env = BuildEnv(aOptions);
    std::vector<char*> cargv = CStrings(argv);
    std::vector<char*> cenv = CStrings(env);

    auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    int rc = posix_spawn(&pid, cargv[0], &actions, &attributes, cargv.data(), cenv.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (brokenPipe[1] >= 0) close(brokenPipe[1]);
    close(inPipe[0]);
    close(outPipe[1]);
    close(errPipe[1]);
    if (rc != 0) {
        close(inPipe[1]);
        close(outPipe[0]);
        close(errPipe[0]);
        result.iErr = std::string("spawn failed: ") + std::strerror(rc);
        return result;
    }

    // Standard input is small; a child that does not read it must not block us.
    signal(SIGPIPE, SIG_IGN);
    if (!aOptions.iStdin.empty()) {
        ssize_t ignored = write(inPipe[1], aOptions.iStdin.data(), aOptions.iStdin.size());
        (void)ignored;
    }
    close(inPipe[1]);

    // The limit holds however the child behaves: it may close its output and
    // go on running, or leave a descendant (a runner's helper server) that
    // keeps the pipes open after it has exited.
    auto deadline = start + std::chrono::milliseconds(aOptions.iTimeoutMs);
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.iOut, &result.iErr};
    int open = 2;
    int status = 0;
    bool exited = false;
    for (;;) {
        if (!exited) {
            pid_t done = waitpid(pid, &status, WNOHANG);
            exited = done == pid || (done < 0 && errno != EINTR);
        }
        if (open == 0 && exited) break;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (!exited && left <= 0) {
            result.iTimedOut = true;
            kill(pid, SIGKILL);
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            exited = true;
            break;
        }
        if (open == 0) {
            // Output closed, exit not yet reaped: it is usually a matter of microseconds.
            timespec pause = {0, 100000};
            nanosleep(&pause, nullptr);
            continue;
        }
        // Once the child is gone, take only what is already in the pipes.
        int wait = exited ? 0 : static_cast<int>(left < 10 ? left : 10);
        int ready = poll(fds, 2, wait);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) {
            if (exited) break;
            continue;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buf[4096];
            ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                sinks[i]->append(buf, static_cast<size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (auto& f : fds) {
        if (f.fd >= 0) close(f.fd);
    }

    result.iSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (WIFEXITED(status)) {
        result.iStatus = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.iSignal = WTERMSIG(status);
    }
    return result;
}
