#pragma once
// Plumbing for a last-chance crash handler: fatal signals (SEGV, BUS, FPE, ILL, ABRT) on an
// alternate stack and std::terminate routed to one function, a helper process started and
// awaited from inside that function, and the default death afterwards.
//
// Everything the handler calls here is async-signal-safe: no allocation, no locks.

namespace QuillPlatform {

// Receives the signal number (SIGABRT for std::terminate). Runs on the alternate stack when the
// installing thread faults. Must not return normally: end with DieBySignal.
using FatalSignalHandler = void (*)(int signalNumber);

// Installs `handler` for the fatal signals and as the terminate handler, with an alternate signal
// stack for the calling thread (so a stack overflow is still reported). Replaces an earlier
// installation.
bool InstallFatalSignalHandlers(FatalSignalHandler handler);
// Restores the dispositions and the terminate handler that were in place before.
void RemoveFatalSignalHandlers();

// Starts `program` with `argv` (null-terminated, argv[0] included) by fork and exec, and waits at
// most `waitMs` milliseconds for it to end. True when it ended in time; a helper still running
// is left alone.
bool RunHelperProcess(const char* program, char* const argv[], int waitMs);

// Writes `text` and a line end to standard error with plain writes (async-signal-safe).
void WriteErrorLine(const char* text);

// Default disposition, unblocked, raised: the process ends by `signalNumber`, so its exit status
// shows the signal.
[[noreturn]] void DieBySignal(int signalNumber);

// A real invalid memory access: a store into a page mapped with no access rights. The fault
// comes from the hardware as a crash's would (SIGSEGV), yet the program itself does nothing
// undefined, so sanitizers let it through to the handlers. Async-signal-safe in practice.
[[noreturn]] void RaiseAccessFault();

} // namespace QuillPlatform
