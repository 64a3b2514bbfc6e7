// The private X server the window tests run on: it must be ready when Start returns, and stay the
// same server for the whole test, whatever its clients do.

#include "platform/process/VirtualDisplay.h"

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <string>

namespace {

using QuillPlatform::VirtualDisplay;

// The mark a client leaves on the root window, or "" when there is none (or no connection).
std::string RootMark(const std::string& display)
{
    Display* x = XOpenDisplay(display.c_str());
    if (!x)
        return "no connection";
    const Atom mark = XInternAtom(x, "QUILL_TEST_MARK", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string value;
    if (XGetWindowProperty(x, DefaultRootWindow(x), mark, 0, 64, False, XA_STRING, &type, &format, &count, &after,
                           &data) == Success &&
        data) {
        value.assign(reinterpret_cast<const char*>(data), count);
        XFree(data);
    }
    XCloseDisplay(x);
    return value;
}

// A program that closes its last connection and opens a new one at once (the game does when it
// probes for GL before it makes its window) must find the server it left, not one resetting.
TEST(VirtualDisplay, ServersStartedTogetherAreDistinctAndOutliveTheirLastClient)
{
    VirtualDisplay first, second;
    std::string why;
    if (!first.Start(320, 240, &why) || !second.Start(320, 240, &why))
        GTEST_SKIP() << "no X server here: " << why;
    EXPECT_NE(first.Name(), second.Name());

    Display* x = XOpenDisplay(first.Name().c_str());
    ASSERT_NE(x, nullptr) << "the server accepts clients as soon as Start returns";
    const char text[] = "kept";
    XChangeProperty(x, DefaultRootWindow(x), XInternAtom(x, "QUILL_TEST_MARK", False), XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(text), 4);
    XCloseDisplay(x);
    // A server that resets when its last client leaves drops the connection of a client that
    // arrives meanwhile, and forgets the root window's properties once it has reset.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(RootMark(first.Name()), "kept") << "connection " << i;
    EXPECT_EQ(RootMark(second.Name()), "");
}

} // namespace
