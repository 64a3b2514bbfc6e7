#pragma once
// The program's window and the thread's message queue, over SDL2.
//
// Positions and sizes here are those of the client area: the window manager owns the frame.
// Mouse coordinates in messages are logical client coordinates: when the window shows a
// letterboxed picture (desktop full screen), they are mapped back through the letterbox.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/window/WindowMessage.h"

namespace QuillPlatform {

struct Rect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
};

struct DisplayInfo {
    Rect bounds;
    bool primary = false;
};

// Brings up SDL's video and event subsystems (reference counted); false when no video driver works.
bool InitVideo();
void QuitVideo();

class Window {
public:
    // Returns true when the message was handled; `result` is the message's answer.
    // Unhandled messages get default processing (DefWindowProc).
    using Handler = std::function<bool(const WindowMessage&, int64_t& result)>;

    Window();
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    void SetHandler(Handler handler) { handler_ = std::move(handler); }

    // Creates the window hidden; the handler receives WM_CREATE before Create returns.
    // `openglCapable` asks for a window an OpenGL context can be made on (falls back without).
    bool Create(const std::string& titleUtf8, int32_t clientWidth, int32_t clientHeight, bool openglCapable = true);
    // Makes the window again with or without OpenGL (a driver is loaded only for a window made
    // for it), keeping its title, place, size and state; the native handle and id change. False,
    // with the window as it was, when the new one cannot be made.
    bool Remake(bool openglCapable);
    // Sends WM_DESTROY to the handler, then destroys the window.
    void Destroy();
    bool IsLive() const { return sdlWindow_ != nullptr; }
    uint32_t Id() const { return id_; }
    void* NativeHandle() const { return sdlWindow_; }   // SDL_Window*
    bool IsOpenGLCapable() const { return openglCapable_; }

    void Show();
    void Hide();
    void Raise();
    bool IsVisible() const;
    bool IsMinimized() const;

    void SetTitle(const std::string& titleUtf8);
    void SetPosition(int32_t x, int32_t y);
    void GetPosition(int32_t& x, int32_t& y) const;
    void SetClientSize(int32_t width, int32_t height);
    void GetClientSize(int32_t& width, int32_t& height) const;
    void SetFullscreenDesktop(bool on);
    bool IsFullscreenDesktop() const;

    // The logical client size (the picture's size); mouse messages are in this space.
    void SetLogicalSize(int32_t width, int32_t height);
    void GetLogicalSize(int32_t& width, int32_t& height) const
    {
        width = logicalWidth_;
        height = logicalHeight_;
    }
    // Where the logical picture shows on the window's drawable, scaled to fit and centred.
    Rect LetterboxRect() const;

    void Invalidate();          // queues WM_PAINT
    void TrackMouseLeave();     // the next pointer exit queues WM_MOUSELEAVE
    void SetCapture();
    void ReleaseCapture();

    // Runs the handler, then default processing when it did not handle the message.
    int64_t Dispatch(const WindowMessage& msg);

    static Window* FromId(uint32_t id);
    static std::vector<Window*> LiveWindows();

    // Internal to the SDL translation.
    bool ConsumeLeaveRequest();
    void MapToLogical(int32_t windowX, int32_t windowY, int32_t& x, int32_t& y) const;

private:
    Handler handler_;
    void* sdlWindow_ = nullptr;
    uint32_t id_ = 0;
    bool openglCapable_ = false;
    bool trackLeave_ = false;
    int32_t logicalWidth_ = 0, logicalHeight_ = 0;
};

// Default processing: WM_CLOSE destroys the window (whose WM_DESTROY handler usually posts the
// quit message); an Alt+key press becomes WM_SYSCOMMAND(SC_KEYMENU, character).
int64_t DefWindowProc(Window& window, const WindowMessage& msg);

// The thread's message queue. PeekMessage gathers SDL events (and the process's close and raise
// requests) into it; it returns false when nothing is waiting.
bool PeekMessage(WindowMessage& out, bool remove);
// Waits for a message; false when it is WM_QUIT.
bool GetMessage(WindowMessage& out);
void DispatchMessage(const WindowMessage& msg);
void PostMessage(uint32_t windowId, uint32_t message, uint64_t wParam = 0, int64_t lParam = 0);
void PostQuitMessage(int32_t exitCode);
// Drops every queued message (for tests).
void ClearMessageQueue();

// Cursor display counter: shown while the counter is >= 0. Returns the new counter.
int32_t ShowCursor(bool show);

// Whether a virtual key is held now (VK_SHIFT, VK_CONTROL, VK_MENU, letters...).
bool IsKeyDown(uint32_t virtualKey);
// Whether Caps Lock is on.
bool IsCapsLockOn();

// Displays in the order the system lists them.
std::vector<DisplayInfo> EnumerateDisplays();

// An error box with a caption; written to stderr when no display can show it.
void ShowMessageBox(const std::string& captionUtf8, const std::string& textUtf8);

} // namespace QuillPlatform
