// kickoff: no window, no output unless the program cannot be started.

#include <cstdio>

#include "launcher/Launcher.h"
#include "platform/system/Process.h"
#include "platform/system/ProcessSignals.h"

int main()
{
    QuillPlatform::InstallRequestSignals();
    std::string folder = QuillPlatform::ProgramFolder();
    if (!folder.empty()) {
        QuillPlatform::SetWorkingFolder(folder);
        if (folder.back() != '/')
            folder += '/';
    }
    std::string message;
    const Kickoff::LaunchResult result = Kickoff::RunLauncher(folder, Kickoff::LauncherServices::System(), &message);
    if (result == Kickoff::LaunchResult::StartFailed) {
        std::fprintf(stderr, "kickoff: %s\n", message.c_str());
        return 1;
    }
    return 0;
}
