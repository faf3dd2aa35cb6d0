#include "fuzz_check.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

// Taken before anything runs: targets may point standard error elsewhere
// (the fuzzer's -close_fd_mask, the command-line target's captures).
const int gReportFd = dup(2);

void Report(const std::string& aText) {
    const int fd = gReportFd >= 0 ? gReportFd : 2;
    std::size_t done = 0;
    while (done < aText.size()) {
        const ssize_t n = write(fd, aText.data() + done, aText.size() - done);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

void FuzzCheckFailed(const char* aCondition, const char* aFile, int aLine, const std::string& aDetail) {
    Report(std::string("\n") + aFile + ":" + std::to_string(aLine) + ": check failed: " + aCondition +
           "\n  " + aDetail + "\n");
    std::abort();
}

std::string Quoted(std::string_view aBytes) {
    std::string out = "\"";
    for (const char c : aBytes) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += c;
        } else if (byte >= 0x20 && byte < 0x7F) {
            out += c;
        } else {
            // Octal: a following digit cannot extend a three-digit escape.
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\%03o", static_cast<unsigned>(byte));
            out += escape;
        }
    }
    return out + "\"";
}
