// For the static test programs of the driver test's guest. GoogleTest can
// stream its results to a network address, which nothing there asks of it;
// the C library's resolver it would bring along cannot work in a static
// program (it loads plug-ins at run time), and the linker warns so. These
// stand in for it and fail.
#include <netdb.h>

int getaddrinfo(const char*, const char*, const addrinfo*, addrinfo** aResult) noexcept {
    *aResult = nullptr;
    return EAI_FAIL;
}

void freeaddrinfo(addrinfo*) noexcept {}
