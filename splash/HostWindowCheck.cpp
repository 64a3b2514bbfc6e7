#include "splash/HostWindowCheck.h"

#include <mutex>

#include <X11/Xlib.h>

namespace QuillonSplash {

namespace {

// Xlib keeps one error handler for the whole process, so the check is one at a time and the
// handler reports into these.
std::mutex g_checkLock;
unsigned char g_errorCode = 0;

int RecordError(Display* /*display*/, XErrorEvent* event)
{
    if (g_errorCode == 0)
        g_errorCode = event->error_code;
    return 0;
}

} // namespace

HostWindowState CheckHostWindow(uintptr_t windowId, const std::string& display, std::string* why)
{
    if (windowId == 0)
        return HostWindowState::Missing;
    Display* connection = XOpenDisplay(display.empty() ? nullptr : display.c_str());
    if (!connection)
        return HostWindowState::Unchecked;

    std::lock_guard guard(g_checkLock);
    g_errorCode = 0;
    XErrorHandler previous = XSetErrorHandler(&RecordError);
    XWindowAttributes attributes;
    const Status found = XGetWindowAttributes(connection, static_cast<Window>(windowId), &attributes);
    XSync(connection, False);
    const unsigned char error = g_errorCode;
    XSetErrorHandler(previous);

    if (found && error == 0) {
        XCloseDisplay(connection);
        return HostWindowState::Exists;
    }
    if (why) {
        char text[160] = {};
        if (error != 0)
            XGetErrorText(connection, error, text, sizeof text);
        *why = text[0] ? text : "no such window";
    }
    XCloseDisplay(connection);
    return HostWindowState::Missing;
}

} // namespace QuillonSplash
