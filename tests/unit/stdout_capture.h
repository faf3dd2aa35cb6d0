// Collects what the code under test writes to standard output.
#ifndef TARNEL_TESTS_STDOUT_CAPTURE_H
#define TARNEL_TESTS_STDOUT_CAPTURE_H

#include <unistd.h>

#include <cstdio>
#include <string>

class StdoutCapture {
public:
    StdoutCapture() {
        std::fflush(stdout);
        iFile = std::tmpfile();
        iSaved = dup(1);
        dup2(fileno(iFile), 1);
    }
    ~StdoutCapture() { Finish(); }

    std::string Finish() {
        if (iFile == nullptr) return iText;
        std::fflush(stdout);
        dup2(iSaved, 1);
        close(iSaved);
        std::rewind(iFile);
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, iFile)) > 0) iText.append(buf, n);
        std::fclose(iFile);
        iFile = nullptr;
        return iText;
    }

private:
    std::FILE* iFile = nullptr;
    int iSaved = -1;
    std::string iText;
};

#endif
