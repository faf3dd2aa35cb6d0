#include <cstdio>

#include "frontend.h"
#include "settings.h"

int main(int aArgCnt, char** aArgList) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    gArgCnt = aArgCnt;
    gArgList = aArgList;
    return Go();
}
