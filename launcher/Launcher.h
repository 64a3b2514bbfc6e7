#pragma once
// The launcher: starts the program that "run.ini" names and watches the process list once a
// second until no process of that name is left.

#include <chrono>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace Kickoff {

// What the launcher needs from the system; the defaults are the real ones. Tests replace the
// pause (so a tick need not last a second) and, for the matching rules, the process list.
struct LauncherServices {
    std::function<std::vector<std::string>()> listProcessNames;
    std::function<pid_t(const std::string& path, int* error)> spawn;
    // Collects the started child once it has ended, so it leaves the process list.
    std::function<void(pid_t)> reap;
    // Waits (up to a short bound) for a child that has left the process list to become
    // collectable, and collects it. A child in the middle of ending has already given up its
    // program file, so the list leaves it out before the system lets it be collected.
    std::function<void(pid_t)> awaitEnd;
    std::function<void(std::chrono::milliseconds)> pause;
    // True when the launcher was asked to close (SIGINT/SIGTERM).
    std::function<bool()> closeRequested;
    // The launcher's own program file; a run value that resolves to it is refused, or the
    // launcher would start copies of itself without end.
    std::function<std::string()> selfPath;
    std::chrono::milliseconds pollInterval{1000};

    static LauncherServices System();
};

enum class LaunchResult {
    ChildEnded = 0,  // the program ran and no process of its name is left
    StartFailed = 1, // the program could not be started; the launcher ends at once
    Closed = 2,      // asked to close while the program ran
};

// The "run" key of section "Run" in `folder` + "run.ini"; empty when the file or key is missing.
// `folder` ends with a '/'.
std::string ReadRunValue(const std::string& folder);

// The program to start: the folder joined with the run value, its '\' separators turned to '/'.
std::string ProgramPath(const std::string& folder, const std::string& runValue);

// True when one of the names equals the run value exactly (case-sensitive, whole string). The
// run value is compared as it stands: "bin\game" never matches the process "game".
bool IsChildRunning(const std::vector<std::string>& processNames, const std::string& runValue);

// True when `path` names the same file as `self` once links, "." and ".." are resolved.
bool IsSameProgram(const std::string& path, const std::string& self);

// Starts the program and waits, one check per poll interval, until no process of its name
// runs. An empty run value, a run value naming the launcher itself or a failed start ends the
// launcher at once.
LaunchResult RunLauncher(const std::string& folder, const LauncherServices& services, std::string* message = nullptr);

} // namespace Kickoff
