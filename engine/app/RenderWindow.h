#pragma once
// The game program's one window: turns window messages into engine calls (activation, input
// records for the dispatcher, painting and display changes for the renderer, the close request
// that asks the game and keeps the window position). Every handled message runs under the engine
// lock. Input is translated here, at the edge: the dispatcher gets press, release and key records
// with their own point and modifiers, never a message's flags or packing.

#include <cstdint>
#include <vector>

#include "engine/core/strings/EngineString.h"
#include "platform/window/Window.h"

namespace QuillEngine {

class EngineManager;

// Centres a window of the given size on the first display of at least 800 x 600, the primary
// display first. False (and x, y untouched) when no display qualifies.
bool CenterOnDisplay(const std::vector<QuillPlatform::DisplayInfo>& displays, int32_t windowWidth,
                     int32_t windowHeight, int32_t& x, int32_t& y);

// Whether a window of the given size at x, y overlaps some display.
bool MeetsAnyDisplay(const std::vector<QuillPlatform::DisplayInfo>& displays, int32_t x, int32_t y,
                     int32_t width, int32_t height);

class RenderWindow {
public:
    explicit RenderWindow(EngineManager* engine);
    ~RenderWindow();
    RenderWindow(const RenderWindow&) = delete;
    RenderWindow& operator=(const RenderWindow&) = delete;

    // `openglCapable` false: a window only the software renderer can draw into, with no GL driver.
    bool Create(const String& caption, int32_t clientWidth, int32_t clientHeight, bool openglCapable = true);
    QuillPlatform::Window& Native() { return window_; }
    bool IsLive() const { return window_.IsLive(); }
    // An own, framed window (as opposed to a host's window we draw into). The engine makes
    // only its own windows here, so this is the window's ownership, kept explicitly.
    bool HasFrameStyle() const { return ownsWindow_; }

    bool RestorePlacement();
    bool CenterOnMonitor();

    // The message map; public so tests can feed messages without a message queue.
    bool HandleMessage(const QuillPlatform::WindowMessage& msg, int64_t& result);

    int32_t CaptureCount() const { return captureCount_; }
    bool AppActive() const { return appActive_; }

    // Test hook: the display list used for centring (empty: ask the platform).
    void SetDisplaysForTesting(std::vector<QuillPlatform::DisplayInfo> displays) { testDisplays_ = std::move(displays); }

private:
    // Makes the press or release record from a button message and hands it to the dispatcher.
    void OnMouseButton(int32_t button, bool down, const QuillPlatform::WindowMessage& msg);
    bool OnClose();
    std::vector<QuillPlatform::DisplayInfo> Displays() const;

    QuillPlatform::Window window_;
    EngineManager* engine_;
    bool ownsWindow_ = true;
    bool ctrlClickAsRight_ = false;
    int32_t captureCount_ = 0;
    bool trackingLeave_ = false;
    bool appActive_ = false;
    std::vector<QuillPlatform::DisplayInfo> testDisplays_;
};

} // namespace QuillEngine
