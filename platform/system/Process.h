#pragma once
// Facts about the running program.

#include <string>

namespace QuillPlatform {

// Full path of the running program (/proc/self/exe, any length); empty when it cannot be read.
std::string ProgramPath();
// The folder that holds the program, without a trailing separator; empty on failure.
std::string ProgramFolder();
bool SetWorkingFolder(const std::string& folder);

// Remote desktop sessions are not a thing here: the program always runs on the local console.
inline bool IsRemoteSession() { return false; }

// Out of memory: one line on stderr and the process ends with a failure status.
void InstallNewHandler();
constexpr int kOutOfMemoryExitCode = 3;

} // namespace QuillPlatform
