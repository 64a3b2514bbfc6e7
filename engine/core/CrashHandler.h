#pragma once
// The engine's own crash report, installed when the game provides none: on a fatal signal or an
// unhandled C++ exception it runs a clean-up callback, shows "Critical Error" with the crash text
// from a helper process (a copy of this program started with a private argument) while the
// faulting process waits, and then lets the process die by the original signal.

#include <string>

#include "engine/core/strings/EngineString.h"

namespace QuillEngine {

class CrashHandler {
public:
    // Receives the signal number (SIGABRT for an unhandled exception). Runs inside the signal
    // handler: keep it to async-signal-safe work (freeing a pointer grab, flushing a file).
    using CleanupCallback = void (*)(int signalNumber);
    // Shows the message in the helper process; null writes it to stderr.
    using MessagePresenter = void (*)(const std::string& captionUtf8, const std::string& textUtf8);

    static constexpr int kMessageTextId = 895;
    static constexpr int kCaptionTextId = 901;
    static constexpr const char* kHelperArgument = "--quill-crash-message";

    // Stores the callback, builds the message and installs the handlers. The message names the
    // game by the window name given to SetWindowName (empty until then).
    static bool Install(CleanupCallback callback);
    static void Uninstall();
    static void SetWindowName(StringView windowName);

    // Called first thing in main(): when this process was started as the crash helper, shows the
    // message and returns true (main then returns 0). A program that never calls it is not
    // started again as its own helper; its crash message goes to standard error.
    static bool RunHelperIfRequested(int argc, char** argv, MessagePresenter presenter = nullptr);

    // The built-in texts of the crash report (UTF-8); null for an unknown id.
    static const char* TextById(int id);
    // The message as the helper will show it (UTF-8).
    static std::string MessageText();

    // Test hooks: the helper program (default /proc/self/exe) and the longest wait for it.
    static void SetHelperProgram(const std::string& path);
    static void SetHelperWaitLimit(int milliseconds);

private:
    static void OnFatal(int signalNumber);
    static void PrepareHelperCall();
};

// The name the rest of the engine calls it by.
inline bool InstallCrashHandler(CrashHandler::CleanupCallback callback)
{
    return CrashHandler::Install(callback);
}

} // namespace QuillEngine
