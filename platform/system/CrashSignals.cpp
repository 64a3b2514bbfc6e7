#include "platform/system/CrashSignals.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <exception>

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

namespace QuillPlatform {

namespace {

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr int kSignalCount = sizeof(kFatalSignals) / sizeof(kFatalSignals[0]);

FatalSignalHandler g_handler = nullptr;
bool g_installed = false;
struct sigaction g_previous[kSignalCount];
std::terminate_handler g_previousTerminate = nullptr;

// Large enough for the handler, a fork and the helper's wait, with room to spare.
alignas(16) char g_alternateStack[256 * 1024];

void OnSignal(int signalNumber, siginfo_t*, void*)
{
    if (FatalSignalHandler handler = g_handler)
        handler(signalNumber);
    DieBySignal(signalNumber);
}

void OnTerminate()
{
    if (FatalSignalHandler handler = g_handler)
        handler(SIGABRT);
    DieBySignal(SIGABRT);
}

} // namespace

bool InstallFatalSignalHandlers(FatalSignalHandler handler)
{
    if (!handler)
        return false;
    g_handler = handler;

    stack_t stack{};
    stack.ss_sp = g_alternateStack;
    stack.ss_size = sizeof(g_alternateStack);
    stack.ss_flags = 0;
    if (sigaltstack(&stack, nullptr) != 0)
        return false;

    struct sigaction action {};
    action.sa_sigaction = &OnSignal;
    // SA_NODEFER: a fault inside the handler enters it again at once (and goes to the default
    // death there) instead of being held while the faulting instruction repeats.
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < kSignalCount; ++i) {
        struct sigaction old {};
        if (sigaction(kFatalSignals[i], &action, &old) != 0)
            return false;
        if (!g_installed)
            g_previous[i] = old;
    }
    std::terminate_handler old = std::set_terminate(&OnTerminate);
    if (!g_installed)
        g_previousTerminate = old;
    g_installed = true;
    return true;
}

void RemoveFatalSignalHandlers()
{
    if (!g_installed)
        return;
    for (int i = 0; i < kSignalCount; ++i)
        sigaction(kFatalSignals[i], &g_previous[i], nullptr);
    std::set_terminate(g_previousTerminate);
    g_handler = nullptr;
    g_installed = false;
}

void WriteErrorLine(const char* text)
{
    size_t length = 0;
    while (text[length] != '\0')
        ++length;
    while (length > 0) {
        const ssize_t written = write(STDERR_FILENO, text, length);
        if (written <= 0)
            return;
        text += written;
        length -= static_cast<size_t>(written);
    }
    const char end = '\n';
    [[maybe_unused]] const ssize_t ignored = write(STDERR_FILENO, &end, 1);
}

bool RunHelperProcess(const char* program, char* const argv[], int waitMs)
{
    // _Fork runs no atfork handlers and is async-signal-safe, unlike fork.
    const pid_t pid = _Fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        // The helper must not inherit the crash disposition of the dying process.
        struct sigaction dfl {};
        dfl.sa_handler = SIG_DFL;
        for (int sig : kFatalSignals)
            sigaction(sig, &dfl, nullptr);
        // Nor hold its files and pipes open (a parent waiting for a pipe to close would wait for
        // the helper): only the standard streams go along.
        close_range(3, ~0u, 0);
        execv(program, argv);
        _exit(127);
    }

    const timespec tick{0, 10 * 1000 * 1000};
    for (int waited = 0;; waited += 10) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR))
            return done == pid;
        if (waited >= waitMs)
            return false;
        nanosleep(&tick, nullptr);
    }
}

void DieBySignal(int signalNumber)
{
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    sigaction(signalNumber, &dfl, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signalNumber);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    raise(signalNumber);
    // A signal whose default is not fatal (never one of ours) still ends the process.
    _exit(128 + signalNumber);
}

void RaiseAccessFault()
{
    void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (page != MAP_FAILED)
        *static_cast<volatile int*>(page) = 1;
    // No page could be mapped (or the store went through): the signal a bad access gives.
    raise(SIGSEGV);
    DieBySignal(SIGSEGV);
}

} // namespace QuillPlatform
