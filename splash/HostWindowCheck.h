#pragma once
// Whether the window id a host passed names a window that exists, asked before SDL wraps it:
// wrapping a window that is gone draws an X error, and Xlib's default error handler ends the
// whole process, the host with it.

#include <cstdint>
#include <string>

namespace QuillonSplash {

enum class HostWindowState {
    Exists,
    Missing,   // the server knows no window of that id
    Unchecked, // no X display to ask (another video driver, or none reachable)
};

// Asks the X server named by `display` (the DISPLAY variable when empty) on a connection of our
// own, under an error handler of the library's own that is put back before returning. `why`
// receives the server's error text when the window is missing.
HostWindowState CheckHostWindow(uintptr_t windowId, const std::string& display = std::string(),
                                std::string* why = nullptr);

} // namespace QuillonSplash
