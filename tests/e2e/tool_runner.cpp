#include "tool_runner.h"

#include <unistd.h>

#include <cstdlib>
#include <sstream>

namespace {

// Processes are spawned without a search of PATH; a bare runner name is
// looked up here.
std::string FindProgram(const std::string& aName) {
    if (aName.find('/') != std::string::npos) return aName;
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + aName;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return aName;
}

}  // namespace

ToolCommand ToolFromEnvironment() {
    ToolCommand command;
    const char* tool = std::getenv("TARNEL_TOOL");
    command.iTool = (tool != nullptr && *tool != '\0') ? tool : TARNEL_NATIVE_TOOL;
    const char* runner = std::getenv("TARNEL_RUNNER");
    if (runner != nullptr) {
        std::istringstream words(runner);
        std::string word;
        while (words >> word) command.iRunner.push_back(word);
        if (!command.iRunner.empty()) command.iRunner[0] = FindProgram(command.iRunner[0]);
    }
    return command;
}

std::vector<std::string> ToolArgv(const ToolCommand& aCommand, const std::vector<std::string>& aArgs) {
    std::vector<std::string> argv = aCommand.iRunner;
    argv.push_back(aCommand.iTool);
    argv.insert(argv.end(), aArgs.begin(), aArgs.end());
    return argv;
}
