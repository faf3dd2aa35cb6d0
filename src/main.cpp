#include <cstdio>
#include <cstring>

#include "console.h"
#include "frontend.h"
#include "settings.h"

int main(int aArgCnt, char** aArgList) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    gArgCnt = aArgCnt;
    gArgList = aArgList;
    int status = Go();
    // Results that never reached their reader are no success.
    if (const int error = OutputError()) {
        std::fprintf(stderr, "tarnel: write error: %s\n", std::strerror(error));
        status = EExitMissing;
    }
    return status;
}
