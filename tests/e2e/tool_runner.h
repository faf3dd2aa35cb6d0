// The program under test: TARNEL_TOOL (by default the tarnel built here),
// started through TARNEL_RUNNER when that is set (for example "wine").
#ifndef TARNEL_E2E_TOOL_RUNNER_H
#define TARNEL_E2E_TOOL_RUNNER_H

#include <string>
#include <vector>

struct ToolCommand {
    std::vector<std::string> iRunner;  // empty: the tool is started directly
    std::string iTool;
};

ToolCommand ToolFromEnvironment();

// The argument vector that starts the tool with these arguments.
std::vector<std::string> ToolArgv(const ToolCommand& aCommand, const std::vector<std::string>& aArgs);

#endif
