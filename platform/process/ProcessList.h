#pragma once
// The running processes of the machine, read from /proc, and program start with posix_spawn.

#include <string>
#include <sys/types.h>
#include <vector>

namespace QuillPlatform {

struct ProcessEntry {
    pid_t pid = 0;
    // The executable's file name without its folder ("game" for /opt/x/game). Read from the
    // program link when it is readable, else from the first command-line word.
    std::string exeName;
};

// Every live process with a known executable name. Zombies (ended, not yet reaped) and kernel
// threads are left out; a process that ends while the list is read is simply missing.
std::vector<ProcessEntry> ListProcesses();

// The part of a path after its last '/'.
std::string ExecutableFileName(const std::string& path);

// Starts `path` with argv[0] = path followed by `args`, the caller's environment and current
// folder. Returns the child's id, or -1 with `error` set to the errno value.
pid_t SpawnProgram(const std::string& path, int* error = nullptr, const std::vector<std::string>& args = {});

// Collects the exit status of an ended child without waiting. True when `pid` has ended (and
// is reaped now or was earlier), false while it still runs.
bool ReapIfEnded(pid_t pid);

} // namespace QuillPlatform
