#include "launcher/Launcher.h"

#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>

#include "platform/ini/IniFile.h"
#include "platform/process/ProcessList.h"
#include "platform/system/Process.h"
#include "platform/system/ProcessSignals.h"

namespace Kickoff {

LauncherServices LauncherServices::System()
{
    LauncherServices s;
    s.listProcessNames = [] {
        std::vector<std::string> names;
        for (QuillPlatform::ProcessEntry& e : QuillPlatform::ListProcesses())
            names.push_back(std::move(e.exeName));
        return names;
    };
    s.spawn = [](const std::string& path, int* error) { return QuillPlatform::SpawnProgram(path, error); };
    s.reap = [](pid_t pid) { QuillPlatform::ReapIfEnded(pid); };
    s.awaitEnd = [](pid_t pid) {
        // Ending takes moments; a child still there after this is not ending (it may have
        // started another program) and is left to run.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!QuillPlatform::ReapIfEnded(pid) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    s.pause = [](std::chrono::milliseconds ms) { std::this_thread::sleep_for(ms); };
    s.closeRequested = [] { return QuillPlatform::ConsumeCloseRequest(); };
    s.selfPath = [] { return QuillPlatform::ProgramPath(); };
    return s;
}

std::string ReadRunValue(const std::string& folder)
{
    const std::optional<QuillPlatform::IniFile> ini = QuillPlatform::IniFile::Load(folder + "run.ini");
    return ini ? ini->GetString("Run", "run") : std::string();
}

std::string ProgramPath(const std::string& folder, const std::string& runValue)
{
    std::string path = folder + runValue;
    for (char& c : path) {
        if (c == '\\')
            c = '/';
    }
    return path;
}

bool IsSameProgram(const std::string& path, const std::string& self)
{
    if (path.empty() || self.empty())
        return false;
    std::error_code error;
    if (std::filesystem::equivalent(path, self, error))
        return true;
    // A path that does not exist (yet) is compared by its resolved spelling.
    const auto a = std::filesystem::weakly_canonical(path, error);
    if (error)
        return false;
    const auto b = std::filesystem::weakly_canonical(self, error);
    return !error && a == b;
}

bool IsChildRunning(const std::vector<std::string>& processNames, const std::string& runValue)
{
    for (const std::string& name : processNames) {
        if (name == runValue)
            return true;
    }
    return false;
}

LaunchResult RunLauncher(const std::string& folder, const LauncherServices& services, std::string* message)
{
    const std::string runValue = ReadRunValue(folder);
    if (runValue.empty()) {
        if (message)
            *message = "no program named: key \"run\" of section [Run] in " + folder + "run.ini";
        return LaunchResult::StartFailed;
    }
    const std::string path = ProgramPath(folder, runValue);
    if (services.selfPath && IsSameProgram(path, services.selfPath())) {
        if (message)
            *message = "run.ini in " + folder + " names the launcher itself (" + path + "); refusing to start it";
        return LaunchResult::StartFailed;
    }
    int error = 0;
    const pid_t child = services.spawn(path, &error);
    if (child <= 0) {
        if (message)
            *message = "cannot start " + path + ": " + std::strerror(error);
        return LaunchResult::StartFailed;
    }

    bool seen = false;
    for (;;) {
        services.pause(services.pollInterval);
        if (services.closeRequested && services.closeRequested())
            return LaunchResult::Closed;
        if (services.reap)
            services.reap(child);
        if (IsChildRunning(services.listProcessNames(), runValue)) {
            seen = true;
            continue;
        }
        // The child left the list: it is ending, and may not be collectable yet. A child never
        // seen under the run value (a run value with a folder never matches) runs on.
        if (seen && services.awaitEnd)
            services.awaitEnd(child);
        else if (services.reap)
            services.reap(child);
        return LaunchResult::ChildEnded;
    }
}

} // namespace Kickoff
