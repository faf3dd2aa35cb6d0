#include "port_map.h"

#include <cstdlib>
#include <cstring>

extern char** environ;

CPortMap::CPortMap(const std::string& aToolPath) : iMode(EMode::Env), iToolPath(aToolPath) {
    const char* mode = std::getenv("TARNEL_PORT_MAP");
    iModeText = (mode != nullptr && *mode != '\0') ? mode : "env";
    if (iModeText == "env") {
        iMode = EMode::Env;
    } else if (iModeText == "wine-dosdevices") {
        iMode = EMode::WineDosdevices;
    } else {
        iMode = EMode::Unknown;
    }
}

bool CPortMap::Supported(std::string& aWhy) const {
    switch (iMode) {
        case EMode::Env:
            return true;
        case EMode::WineDosdevices:
            aWhy = "TARNEL_PORT_MAP=wine-dosdevices is not implemented yet";
            return false;
        case EMode::Unknown:
            break;
    }
    aWhy = "unknown TARNEL_PORT_MAP '" + iModeText + "' (env or wine-dosdevices)";
    return false;
}

void CPortMap::Isolate(ProcessOptions& aOptions) const {
    if (iMode != EMode::Env) return;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, "TARNEL_COM", 10) != 0) continue;
        std::string text(*entry);
        aOptions.iUnsetEnv.push_back(text.substr(0, text.find('=')));
    }
}

bool CPortMap::Map(int aNumber, const std::string& aDevice, ProcessOptions& aOptions, std::string& aError) {
    if (iMode != EMode::Env) {
        Supported(aError);
        return false;
    }
    const std::string prefix = "TARNEL_COM" + std::to_string(aNumber) + "=";
    for (auto it = aOptions.iSetEnv.begin(); it != aOptions.iSetEnv.end();) {
        it = it->compare(0, prefix.size(), prefix) == 0 ? aOptions.iSetEnv.erase(it) : it + 1;
    }
    aOptions.iSetEnv.push_back(prefix + aDevice);
    return true;
}

void CPortMap::Clear() {}

std::string CPortMap::UsageName() const {
    std::string::size_type slash = iToolPath.find_last_of("/\\");
    return slash == std::string::npos ? iToolPath : iToolPath.substr(slash + 1);
}
