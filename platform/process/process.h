#pragma once
// Programs: the running program's own file, starting another program without waiting for it,
// and running another program in place of this one.

#include <functional>
#include <string>
#include <vector>

namespace platform {

// The resolved path of the running program's file; empty when it cannot be found.
std::string ProgramPath();

// Starts path with the argument list args (args[0] included) and this program's environment,
// and returns without waiting. False when it cannot be started.
bool StartProgram(const std::string& path, const std::vector<std::string>& args);

// Runs path with args in place of this program; returns (false) only when that fails.
bool ReplaceProgram(const std::string& path, const std::vector<std::string>& args);

// For tests: every start goes to the handler instead (replace tells which call it was), and
// the handler's answer is the call's result. A replacement the handler accepts returns true.
using ProgramStartHandler =
    std::function<bool(const std::string& path, const std::vector<std::string>& args, bool replace)>;
void SetProgramStartHandler(ProgramStartHandler handler);

}  // namespace platform
