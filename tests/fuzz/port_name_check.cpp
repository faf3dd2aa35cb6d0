#include "port_name_check.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "fuzz_check.h"
#include "platform/comm.h"

namespace {

const char KDeviceNamespace[] = "\\\\.\\COM";

bool IsNumberFrom10(const char* aDigits) {
    if (aDigits[0] < '1' || aDigits[0] > '9' || aDigits[1] == '\0') return false;
    for (const char* p = aDigits; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') return false;
    }
    return true;
}

}  // namespace

void CheckPortName(const std::string& aDevice, const char* aName, const std::string& aContext) {
    const std::string detail = aContext + ": device " + Quoted(aDevice) + " gave " + Quoted(aName);
    const std::size_t length = std::strlen(aName);
    if (IsDevicePath(aDevice.c_str())) {
        // The path itself, or what of it fits the port's name.
        FUZZ_CHECK(aDevice.compare(0, length, aName) == 0 && (length == aDevice.size() || length == 63), detail);
        return;
    }
    FUZZ_CHECK(length < 64, detail);

    long long number = 0;
    if (const char* com = std::strstr(aDevice.c_str(), "COM")) number = std::strtoll(com + 3, nullptr, 10);

    if (number >= 1 && number <= 9) {
        FUZZ_CHECK(std::string(aName) == "COM" + std::to_string(number), detail);
    } else if (number >= 10 && number <= INT_MAX) {
        FUZZ_CHECK(std::string(aName) == KDeviceNamespace + std::to_string(number), detail);
    } else if (number > INT_MAX) {
        // Beyond any real port; the form is what matters.
        FUZZ_CHECK(std::strncmp(aName, KDeviceNamespace, sizeof KDeviceNamespace - 1) == 0 &&
                       IsNumberFrom10(aName + sizeof KDeviceNamespace - 1),
                   detail);
    } else {
        FUZZ_CHECK(std::string(aName) == "COM1", detail);
    }
}
