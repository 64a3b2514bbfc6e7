#include "platform/window/Window.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <unordered_map>

#include <SDL.h>

#include "platform/system/GraphicsDriver.h"
#include "platform/system/ProcessSignals.h"
#include "platform/window/SdlTranslator.h"
#include "platform/window/VirtualKeys.h"

namespace QuillPlatform {

namespace {

struct QueueState {
    std::deque<WindowMessage> messages;
    std::unordered_map<uint32_t, Window*> windows;
    SdlTranslator translator;
    int videoRefs = 0;
    int32_t cursorCounter = 0;
};

QueueState& Q()
{
    static QueueState state;
    return state;
}

SDL_Window* Sdl(void* w) { return static_cast<SDL_Window*>(w); }

// Moves everything SDL and the process have for us into the queue.
void Gather()
{
    QueueState& q = Q();
    if (ConsumeCloseRequest()) {
        for (auto& [id, w] : q.windows)
            q.messages.push_back({id, WM_CLOSE, 0, 0});
    }
    if (ConsumeRaiseRequest()) {
        for (auto& [id, w] : q.windows) {
            w->Show();
            w->Raise();
        }
    }
    if (q.videoRefs == 0)
        return;
    SDL_Event ev;
    std::vector<WindowMessage> out;
    while (SDL_PollEvent(&ev)) {
        out.clear();
        q.translator.Translate(ev, out);
        q.messages.insert(q.messages.end(), out.begin(), out.end());
    }
}

} // namespace

bool InitVideo()
{
    QueueState& q = Q();
    if (q.videoRefs > 0) {
        ++q.videoRefs;
        return true;
    }
    // A window surface is drawn by the window system itself. Left to choose, SDL backs it with a
    // GL texture, which loads the whole GL driver into a program that draws in software.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    PreferDrawingInTheCallingThread();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        std::fprintf(stderr, "video: %s\n", SDL_GetError());
        return false;
    }
    q.videoRefs = 1;
    return true;
}

void QuitVideo()
{
    QueueState& q = Q();
    if (q.videoRefs > 0 && --q.videoRefs == 0)
        SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
}

Window::Window() = default;

Window::~Window()
{
    if (sdlWindow_) {
        Q().windows.erase(id_);
        SDL_DestroyWindow(Sdl(sdlWindow_));
    }
}

bool Window::Create(const std::string& titleUtf8, int32_t clientWidth, int32_t clientHeight, bool openglCapable)
{
    if (sdlWindow_)
        return false;
    const Uint32 base = SDL_WINDOW_HIDDEN;
    SDL_Window* w = nullptr;
    if (openglCapable)
        w = SDL_CreateWindow(titleUtf8.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, clientWidth,
                             clientHeight, base | SDL_WINDOW_OPENGL);
    openglCapable_ = w != nullptr;
    if (!w)
        w = SDL_CreateWindow(titleUtf8.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, clientWidth,
                             clientHeight, base);
    if (!w) {
        std::fprintf(stderr, "window: %s\n", SDL_GetError());
        return false;
    }
    sdlWindow_ = w;
    id_ = SDL_GetWindowID(w);
    logicalWidth_ = clientWidth;
    logicalHeight_ = clientHeight;
    Q().windows[id_] = this;
    int64_t result = 0;
    if (handler_)
        handler_({id_, WM_CREATE, 0, 0}, result);
    if (result == -1) {   // the creation handler refused the window
        Destroy();
        return false;
    }
    return true;
}

bool Window::Remake(bool openglCapable)
{
    if (!sdlWindow_)
        return false;
    SDL_Window* old = Sdl(sdlWindow_);
    if (openglCapable == openglCapable_)
        return true;
    // The same window again, made with or without OpenGL: same title, place, size and state. No
    // WM_CREATE or WM_DESTROY: to the handler it is one window throughout.
    const Uint32 keep = SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS | SDL_WINDOW_RESIZABLE;
    const Uint32 flags = SDL_GetWindowFlags(old);
    int x = 0, y = 0, w = 0, h = 0;
    SDL_GetWindowPosition(old, &x, &y);
    SDL_GetWindowSize(old, &w, &h);
    SDL_Window* made = SDL_CreateWindow(SDL_GetWindowTitle(old), x, y, w, h,
                                        (flags & keep) | SDL_WINDOW_HIDDEN | (openglCapable ? SDL_WINDOW_OPENGL : 0));
    if (!made) {
        std::fprintf(stderr, "window: %s\n", SDL_GetError());
        return false;
    }
    if (flags & SDL_WINDOW_SHOWN)
        SDL_ShowWindow(made);
    Q().windows.erase(id_);
    SDL_DestroyWindow(old);
    sdlWindow_ = made;
    id_ = SDL_GetWindowID(made);
    openglCapable_ = openglCapable;
    Q().windows[id_] = this;
    return true;
}

void Window::Destroy()
{
    if (!sdlWindow_)
        return;
    int64_t result = 0;
    const WindowMessage msg{id_, WM_DESTROY, 0, 0};
    if (handler_)
        handler_(msg, result);
    Q().windows.erase(id_);
    SDL_DestroyWindow(Sdl(sdlWindow_));
    sdlWindow_ = nullptr;
}

void Window::Show()
{
    if (sdlWindow_)
        SDL_ShowWindow(Sdl(sdlWindow_));
}

void Window::Hide()
{
    if (sdlWindow_)
        SDL_HideWindow(Sdl(sdlWindow_));
}

void Window::Raise()
{
    if (sdlWindow_) {
        SDL_RestoreWindow(Sdl(sdlWindow_));
        SDL_RaiseWindow(Sdl(sdlWindow_));
    }
}

bool Window::IsVisible() const
{
    return sdlWindow_ && (SDL_GetWindowFlags(Sdl(sdlWindow_)) & SDL_WINDOW_SHOWN);
}

bool Window::IsMinimized() const
{
    return sdlWindow_ && (SDL_GetWindowFlags(Sdl(sdlWindow_)) & SDL_WINDOW_MINIMIZED);
}

void Window::SetTitle(const std::string& titleUtf8)
{
    if (sdlWindow_)
        SDL_SetWindowTitle(Sdl(sdlWindow_), titleUtf8.c_str());
}

void Window::SetPosition(int32_t x, int32_t y)
{
    if (sdlWindow_)
        SDL_SetWindowPosition(Sdl(sdlWindow_), x, y);
}

void Window::GetPosition(int32_t& x, int32_t& y) const
{
    x = y = 0;
    if (sdlWindow_)
        SDL_GetWindowPosition(Sdl(sdlWindow_), &x, &y);
}

void Window::SetClientSize(int32_t width, int32_t height)
{
    if (sdlWindow_ && !IsFullscreenDesktop())
        SDL_SetWindowSize(Sdl(sdlWindow_), width, height);
}

void Window::GetClientSize(int32_t& width, int32_t& height) const
{
    width = height = 0;
    if (sdlWindow_)
        SDL_GetWindowSize(Sdl(sdlWindow_), &width, &height);
}

void Window::SetFullscreenDesktop(bool on)
{
    if (sdlWindow_)
        SDL_SetWindowFullscreen(Sdl(sdlWindow_), on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
}

bool Window::IsFullscreenDesktop() const
{
    return sdlWindow_ && (SDL_GetWindowFlags(Sdl(sdlWindow_)) & SDL_WINDOW_FULLSCREEN_DESKTOP);
}

void Window::SetLogicalSize(int32_t width, int32_t height)
{
    logicalWidth_ = width;
    logicalHeight_ = height;
}

Rect Window::LetterboxRect() const
{
    int32_t w = 0, h = 0;
    GetClientSize(w, h);
    if (logicalWidth_ <= 0 || logicalHeight_ <= 0 || w <= 0 || h <= 0)
        return {0, 0, w, h};
    // Largest size of the logical aspect that fits, centred; integer maths so both the picture
    // and the mouse mapping agree to the pixel.
    int32_t fitW = w, fitH = static_cast<int32_t>(int64_t(w) * logicalHeight_ / logicalWidth_);
    if (fitH > h) {
        fitH = h;
        fitW = static_cast<int32_t>(int64_t(h) * logicalWidth_ / logicalHeight_);
    }
    const int32_t left = (w - fitW) / 2, top = (h - fitH) / 2;
    return {left, top, left + fitW, top + fitH};
}

void Window::MapToLogical(int32_t windowX, int32_t windowY, int32_t& x, int32_t& y) const
{
    const Rect r = LetterboxRect();
    if (r.Width() <= 0 || r.Height() <= 0 || (r.Width() == logicalWidth_ && r.Height() == logicalHeight_)) {
        x = windowX - r.left;
        y = windowY - r.top;
        return;
    }
    x = static_cast<int32_t>(int64_t(windowX - r.left) * logicalWidth_ / r.Width());
    y = static_cast<int32_t>(int64_t(windowY - r.top) * logicalHeight_ / r.Height());
}

void Window::Invalidate()
{
    PostMessage(id_, WM_PAINT);
}

void Window::TrackMouseLeave()
{
    trackLeave_ = true;
}

bool Window::ConsumeLeaveRequest()
{
    const bool was = trackLeave_;
    trackLeave_ = false;
    return was;
}

void Window::SetCapture()
{
    SDL_CaptureMouse(SDL_TRUE);
}

void Window::ReleaseCapture()
{
    SDL_CaptureMouse(SDL_FALSE);
}

int64_t Window::Dispatch(const WindowMessage& msg)
{
    int64_t result = 0;
    if (handler_ && handler_(msg, result))
        return result;
    return DefWindowProc(*this, msg);
}

Window* Window::FromId(uint32_t id)
{
    auto& w = Q().windows;
    const auto it = w.find(id);
    return it == w.end() ? nullptr : it->second;
}

std::vector<Window*> Window::LiveWindows()
{
    std::vector<Window*> out;
    for (auto& [id, w] : Q().windows)
        out.push_back(w);
    return out;
}

int64_t DefWindowProc(Window& window, const WindowMessage& msg)
{
    switch (msg.message) {
    case WM_CLOSE:
        window.Destroy();
        return 0;
    case WM_SYSKEYDOWN: {
        const uint64_t vk = msg.wParam;
        char16_t ch = 0;
        if (vk == VK_RETURN)
            ch = 13;
        else if (vk == VK_SPACE)
            ch = ' ';
        else if (vk >= 'A' && vk <= 'Z')
            ch = static_cast<char16_t>(vk - 'A' + 'a');
        else if (vk >= '0' && vk <= '9')
            ch = static_cast<char16_t>(vk);
        if (ch && (msg.lParam & KF_ALTDOWN_BIT))
            PostMessage(window.Id(), WM_SYSCOMMAND, SC_KEYMENU, ch);
        return 0;
    }
    default:
        return 0;
    }
}

bool PeekMessage(WindowMessage& out, bool remove)
{
    QueueState& q = Q();
    if (q.messages.empty())
        Gather();
    if (q.messages.empty())
        return false;
    out = q.messages.front();
    if (remove)
        q.messages.pop_front();
    return true;
}

bool GetMessage(WindowMessage& out)
{
    QueueState& q = Q();
    while (!PeekMessage(out, true)) {
        if (q.videoRefs > 0)
            SDL_WaitEventTimeout(nullptr, 10);
        else
            SDL_Delay(1);
    }
    return out.message != WM_QUIT;
}

void DispatchMessage(const WindowMessage& msg)
{
    if (Window* w = Window::FromId(msg.windowId))
        w->Dispatch(msg);
}

void PostMessage(uint32_t windowId, uint32_t message, uint64_t wParam, int64_t lParam)
{
    Q().messages.push_back({windowId, message, wParam, lParam});
}

void PostQuitMessage(int32_t exitCode)
{
    PostMessage(0, WM_QUIT, static_cast<uint64_t>(static_cast<uint32_t>(exitCode)), 0);
}

void ClearMessageQueue()
{
    Q().messages.clear();
}

int32_t ShowCursor(bool show)
{
    QueueState& q = Q();
    q.cursorCounter += show ? 1 : -1;
    if (q.videoRefs > 0)
        SDL_ShowCursor(q.cursorCounter >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return q.cursorCounter;
}

bool IsKeyDown(uint32_t vk)
{
    if (Q().videoRefs == 0)
        return false;
    const SDL_Keymod mod = SDL_GetModState();
    switch (vk) {
    case VK_SHIFT: return (mod & KMOD_SHIFT) != 0;
    case VK_CONTROL: return (mod & KMOD_CTRL) != 0;
    case VK_MENU: return (mod & KMOD_ALT) != 0;
    default: break;
    }
    int count = 0;
    const Uint8* state = SDL_GetKeyboardState(&count);
    for (int sc = 0; sc < count; ++sc) {
        if (state[sc] && VirtualKeyFromSdl(SDL_GetKeyFromScancode(static_cast<SDL_Scancode>(sc))) == vk)
            return true;
    }
    return false;
}

bool IsCapsLockOn()
{
    return Q().videoRefs != 0 && (SDL_GetModState() & KMOD_CAPS) != 0;
}

std::vector<DisplayInfo> EnumerateDisplays()
{
    std::vector<DisplayInfo> out;
    if (Q().videoRefs == 0)
        return out;
    const int n = SDL_GetNumVideoDisplays();
    for (int i = 0; i < n; ++i) {
        SDL_Rect r{};
        if (SDL_GetDisplayBounds(i, &r) != 0)
            continue;
        DisplayInfo d;
        d.bounds = {r.x, r.y, r.x + r.w, r.y + r.h};
        // SDL lists the primary display first; it is the one at the desktop's origin.
        d.primary = (r.x == 0 && r.y == 0);
        out.push_back(d);
    }
    return out;
}

void ShowMessageBox(const std::string& captionUtf8, const std::string& textUtf8)
{
    const char* driver = SDL_getenv("SDL_VIDEODRIVER");
    const bool headless = driver && (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0);
    if (!headless && SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, captionUtf8.c_str(), textUtf8.c_str(), nullptr) == 0)
        return;
    std::fprintf(stderr, "%s: %s\n", captionUtf8.c_str(), textUtf8.c_str());
}

} // namespace QuillPlatform
