#include "port_map.h"

#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

extern char** environ;

CPortMap::CPortMap(const std::string& aToolPath) : iMode(EMode::Env), iToolPath(aToolPath) {
    const char* mode = std::getenv("TARNEL_PORT_MAP");
    iModeText = (mode != nullptr && *mode != '\0') ? mode : "env";
    if (iModeText == "env") {
        iMode = EMode::Env;
    } else if (iModeText == "wine-dosdevices") {
        iMode = EMode::WineDosdevices;
        const char* prefix = std::getenv("WINEPREFIX");
        if (prefix != nullptr && *prefix != '\0') iDosDevices = std::string(prefix) + "/dosdevices";
    } else {
        iMode = EMode::Unknown;
    }
}

bool CPortMap::Supported(std::string& aWhy) const {
    if (iMode != EMode::Unknown) return true;
    aWhy = "unknown TARNEL_PORT_MAP '" + iModeText + "' (env or wine-dosdevices)";
    return false;
}

void CPortMap::Isolate(ProcessOptions& aOptions) {
    // The Windows tool never reads these, but a run should not see them either.
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, "TARNEL_COM", 10) != 0) continue;
        std::string text(*entry);
        aOptions.iUnsetEnv.push_back(text.substr(0, text.find('=')));
    }
    if (iMode != EMode::WineDosdevices || iDosDevices.empty()) return;
    // Links of a run that was killed, or the machine's serial ports that
    // Wine links when a prefix is made.
    std::vector<std::string> stale;
    if (DIR* dir = opendir(iDosDevices.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            if (std::strncmp(entry->d_name, "com", 3) == 0) stale.push_back(iDosDevices + "/" + entry->d_name);
        }
        closedir(dir);
    }
    for (const std::string& path : stale) unlink(path.c_str());
}

std::string CPortMap::LinkPath(int aNumber) const { return iDosDevices + "/com" + std::to_string(aNumber); }

bool CPortMap::Map(int aNumber, const std::string& aDevice, ProcessOptions& aOptions, std::string& aError) {
    switch (iMode) {
        case EMode::Env: {
            const std::string prefix = "TARNEL_COM" + std::to_string(aNumber) + "=";
            for (auto it = aOptions.iSetEnv.begin(); it != aOptions.iSetEnv.end();) {
                it = it->compare(0, prefix.size(), prefix) == 0 ? aOptions.iSetEnv.erase(it) : it + 1;
            }
            aOptions.iSetEnv.push_back(prefix + aDevice);
            return true;
        }
        case EMode::WineDosdevices: {
            if (iDosDevices.empty()) {
                aError = "TARNEL_PORT_MAP=wine-dosdevices needs WINEPREFIX";
                return false;
            }
            // Made beside the link and renamed over it, so that no run finds
            // the port missing in between.
            const std::string link = LinkPath(aNumber);
            const std::string fresh = iDosDevices + "/.tarnel-new-com" + std::to_string(aNumber);
            unlink(fresh.c_str());
            if (symlink(aDevice.c_str(), fresh.c_str()) != 0 || rename(fresh.c_str(), link.c_str()) != 0) {
                aError = "cannot link " + link + " to " + aDevice + ": " + std::strerror(errno);
                unlink(fresh.c_str());
                return false;
            }
            iLinked.insert(aNumber);
            return true;
        }
        case EMode::Unknown:
            break;
    }
    Supported(aError);
    return false;
}

void CPortMap::Clear() {
    for (int number : iLinked) unlink(LinkPath(number).c_str());
    iLinked.clear();
}

std::string CPortMap::UsageName() const {
    std::string::size_type slash = iToolPath.find_last_of("/\\");
    return slash == std::string::npos ? iToolPath : iToolPath.substr(slash + 1);
}

namespace {

// Undoes text mode exactly: each "\r\n" was a "\n" (a "\r" the program wrote
// before its "\n" stays).
std::string FromTextMode(const std::string& aText) {
    std::string text;
    text.reserve(aText.size());
    for (std::string::size_type i = 0; i < aText.size(); ++i) {
        if (aText[i] == '\r' && i + 1 < aText.size() && aText[i + 1] == '\n') continue;
        text += aText[i];
    }
    return text;
}

}  // namespace

void CPortMap::Normalize(ProcessResult& aRun) const {
    if (iMode != EMode::WineDosdevices) return;
    aRun.iOut = FromTextMode(aRun.iOut);
    aRun.iErr = FromTextMode(aRun.iErr);
}

bool CPortMap::RefusesHeldPorts(std::string& aWhy) const {
    if (iMode != EMode::WineDosdevices) return true;
    aWhy = "Wine does not enforce share mode 0 on serial devices: a held port opens anyway";
    return false;
}

bool CPortMap::OpensDevicePaths(std::string& aWhy) const {
    if (iMode != EMode::WineDosdevices) return true;
    aWhy = "Windows has no device paths: a text without COM names COM1";
    return false;
}

bool CPortMap::BrokenPipeIsASignal() const { return iMode != EMode::WineDosdevices; }

std::string CPortMap::HungUpReadError() const {
    return iMode == EMode::WineDosdevices ? "ERROR: No response." : "ERROR: Error: Read";
}

std::size_t CPortMap::LongestArgument() const {
    return iMode == EMode::WineDosdevices ? 32767 - 1000 : 128 * 1024 - 1;
}
