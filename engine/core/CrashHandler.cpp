#include "engine/core/CrashHandler.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "engine/core/strings/Format.h"
#include "platform/system/CrashSignals.h"

namespace QuillEngine {

namespace {

constexpr size_t kMaxMessageChars = 1024;

// Everything the signal handler touches is prepared beforehand in fixed buffers.
CrashHandler::CleanupCallback g_callback = nullptr;
std::atomic<bool> g_crashing{false};
String g_windowName;
char g_program[4096] = "/proc/self/exe";
char g_argument[64];
char g_message[kMaxMessageChars * 3 + 1];
char g_caption[256];
char* g_argv[5];
int g_waitLimitMs = 5 * 60 * 1000;
// The helper is the program itself started again with the helper argument: only a program whose
// main answers that argument (it called RunHelperIfRequested) may be started so. Any other would
// run in full again, crash again and start another copy, without end.
std::atomic<bool> g_helperAnswers{false};

void CopyTruncated(char* out, size_t capacity, const std::string& text)
{
    const size_t n = std::min(text.size(), capacity - 1);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

} // namespace

const char* CrashHandler::TextById(int id)
{
    switch (id) {
    case kMessageTextId:
        return "We're sorry, but %s has encountered a critical error and must be shut down. If this persists, please "
               "contact technical support. We apologize for the inconvenience this has caused.";
    case kCaptionTextId:
        return "Critical Error";
    default:
        return nullptr;
    }
}

std::string CrashHandler::MessageText()
{
    String text = Format(FromUtf8(TextById(kMessageTextId)), {g_windowName});
    if (text.size() >= kMaxMessageChars)
        text.resize(kMaxMessageChars - 1);
    return ToUtf8(text);
}

void CrashHandler::PrepareHelperCall()
{
    CopyTruncated(g_argument, sizeof(g_argument), kHelperArgument);
    CopyTruncated(g_message, sizeof(g_message), MessageText());
    CopyTruncated(g_caption, sizeof(g_caption), TextById(kCaptionTextId));
    g_argv[0] = g_program;
    g_argv[1] = g_argument;
    g_argv[2] = g_message;
    g_argv[3] = g_caption;
    g_argv[4] = nullptr;
}

bool CrashHandler::Install(CleanupCallback callback)
{
    g_callback = callback;
    PrepareHelperCall();
    return QuillPlatform::InstallFatalSignalHandlers(&CrashHandler::OnFatal);
}

void CrashHandler::Uninstall()
{
    QuillPlatform::RemoveFatalSignalHandlers();
    g_callback = nullptr;
}

void CrashHandler::SetWindowName(StringView windowName)
{
    g_windowName.assign(windowName);
    PrepareHelperCall();
}

void CrashHandler::SetHelperProgram(const std::string& path)
{
    g_helperAnswers = true;
    CopyTruncated(g_program, sizeof(g_program), path);
}

void CrashHandler::SetHelperWaitLimit(int milliseconds)
{
    g_waitLimitMs = milliseconds < 0 ? 0 : milliseconds;
}

void CrashHandler::OnFatal(int signalNumber)
{
    // A fault inside this handler, or a second thread failing meanwhile, gets the default death.
    if (g_crashing.exchange(true))
        QuillPlatform::DieBySignal(signalNumber);
    if (CleanupCallback callback = g_callback) {
        try {
            callback(signalNumber);
        } catch (...) {
        }
    }
    if (g_helperAnswers.load())
        QuillPlatform::RunHelperProcess(g_program, g_argv, g_waitLimitMs);
    else
        QuillPlatform::WriteErrorLine(g_message);
    QuillPlatform::DieBySignal(signalNumber);
}

bool CrashHandler::RunHelperIfRequested(int argc, char** argv, MessagePresenter presenter)
{
    g_helperAnswers = true;
    if (argc < 2 || std::strcmp(argv[1], kHelperArgument) != 0)
        return false;
    const std::string text = argc > 2 ? argv[2] : "";
    const std::string caption = argc > 3 ? argv[3] : TextById(kCaptionTextId);
    if (presenter)
        presenter(caption, text);
    else
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    return true;
}

} // namespace QuillEngine
