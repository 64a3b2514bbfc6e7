#pragma once
// Asynchronous requests that reach the process from outside, turned into flags that the
// message pump reads: SIGINT/SIGTERM ask the program to close (the same path as closing the
// window), SIGUSR1 asks it to bring its window to the front (a second copy was started).

namespace QuillPlatform {

// Installs the handlers (idempotent).
void InstallRequestSignals();

// Returns true once for each close request received since the last call.
bool ConsumeCloseRequest();
// Returns true once for each raise request received since the last call.
bool ConsumeRaiseRequest();

// Sends SIGTERM to this process itself, through the kernel as `kill` would: the handler takes it
// like one from outside. False when it could not be sent.
bool SendTerminationSignal();

// Test hooks: raise the flags as the signals would.
void RequestClose();
void RequestRaise();

} // namespace QuillPlatform
