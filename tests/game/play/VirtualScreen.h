#pragma once
// An X server of the play tests' own (Xvfb) whose screen the game window fills, read back as the
// X server holds it: what a player would see.

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/process/VirtualDisplay.h"

namespace QuillTest {

// The screen's size: the game's picture.
constexpr uint32_t kScreenWidth = 800, kScreenHeight = 600;

struct Frame {
    std::vector<uint32_t> argb;
    bool Valid() const { return argb.size() == size_t(kScreenWidth) * kScreenHeight; }
};

// An X server of our own on a free display, 800 x 600 so that the centred game window fills it.
class VirtualScreen {
public:
    VirtualScreen() { up_ = display_.Start(static_cast<int>(kScreenWidth), static_cast<int>(kScreenHeight), &why_); }
    bool Up() const { return up_; }
    const std::string& Why() const { return why_; }
    const std::string& Name() const { return display_.Name(); }

    // The screen once it holds still: the program's last drawing may reach the server a little
    // after the program stopped (a slow build, a busy machine), so two reads must agree.
    Frame SettledCapture() const
    {
        Frame last = Capture();
        for (int i = 0; i < 40; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            Frame next = Capture();
            if (next.argb == last.argb)
                return next;
            last = std::move(next);
        }
        return last;
    }

    // The whole screen as the X server holds it.
    Frame Capture() const
    {
        Frame frame;
        Display* x = XOpenDisplay(Name().c_str());
        if (!x)
            return frame;
        XImage* image = XGetImage(x, DefaultRootWindow(x), 0, 0, kScreenWidth, kScreenHeight, AllPlanes, ZPixmap);
        if (image) {
            frame.argb.resize(size_t(kScreenWidth) * kScreenHeight);
            for (uint32_t y = 0; y < kScreenHeight; ++y)
                for (uint32_t px = 0; px < kScreenWidth; ++px)
                    frame.argb[size_t(y) * kScreenWidth + px] =
                        0xFF000000u | (static_cast<uint32_t>(XGetPixel(image, int(px), int(y))) & 0xFFFFFFu);
            XDestroyImage(image);
        }
        XCloseDisplay(x);
        return frame;
    }

    // A left click at (x, y) through the X server, as a player's mouse makes it.
    bool Click(int x, int y) const
    {
        const std::string command = "DISPLAY=" + Name() + " xdotool mousemove " + std::to_string(x) + " " +
                                    std::to_string(y) + " click 1 >/dev/null 2>&1";
        return std::system(command.c_str()) == 0;
    }

private:
    QuillPlatform::VirtualDisplay display_;
    bool up_ = false;
    std::string why_;
};

} // namespace QuillTest
