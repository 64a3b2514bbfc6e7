#include "platform/window/InjectedInput.h"

#include <SDL.h>

#include "platform/window/Window.h"

namespace QuillPlatform {

namespace {

// Where the injected pointer is, in window coordinates; unknown until the first move.
struct PointerState {
    bool known = false;
    int32_t x = 0, y = 0;
    uint32_t buttons = 0;
};

PointerState& Pointer()
{
    static PointerState state;
    return state;
}

bool Push(SDL_Event& ev)
{
    // 1: queued; 0: filtered out; negative: error.
    return SDL_PushEvent(&ev) == 1;
}

// Logical picture coordinates to window coordinates, the inverse of Window::MapToLogical: the
// smallest window position that maps back to the same logical point.
void ToWindow(const Window& window, int32_t x, int32_t y, int32_t& wx, int32_t& wy)
{
    const Rect r = window.LetterboxRect();
    int32_t lw = 0, lh = 0;
    window.GetLogicalSize(lw, lh);
    if (r.Width() <= 0 || r.Height() <= 0 || lw <= 0 || lh <= 0 || (r.Width() == lw && r.Height() == lh)) {
        wx = x + r.left;
        wy = y + r.top;
        return;
    }
    auto up = [](int64_t v, int64_t scale, int64_t by) {
        const int64_t n = v * scale;
        return static_cast<int32_t>(n >= 0 ? (n + by - 1) / by : n / by);
    };
    wx = r.left + up(x, r.Width(), lw);
    wy = r.top + up(y, r.Height(), lh);
}

} // namespace

void InjectedInput::Reset()
{
    Pointer() = PointerState{};
}

bool InjectedInput::Focus(const Window& window)
{
    SDL_Event ev{};
    ev.type = SDL_WINDOWEVENT;
    ev.window.windowID = window.Id();
    ev.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
    return Push(ev);
}

bool InjectedInput::MoveTo(const Window& window, int32_t x, int32_t y)
{
    PointerState& p = Pointer();
    int32_t wx = 0, wy = 0;
    ToWindow(window, x, y, wx, wy);
    SDL_Event ev{};
    ev.type = SDL_MOUSEMOTION;
    ev.motion.windowID = window.Id();
    ev.motion.state = p.buttons;
    ev.motion.x = wx;
    ev.motion.y = wy;
    ev.motion.xrel = p.known ? wx - p.x : 0;
    ev.motion.yrel = p.known ? wy - p.y : 0;
    if (!Push(ev))
        return false;
    p.known = true;
    p.x = wx;
    p.y = wy;
    return true;
}

bool InjectedInput::Press(const Window& window, Button button, bool down, int32_t x, int32_t y)
{
    PointerState& p = Pointer();
    int32_t wx = 0, wy = 0;
    ToWindow(window, x, y, wx, wy);
    if ((!p.known || p.x != wx || p.y != wy) && !MoveTo(window, x, y))
        return false;
    uint8_t sdlButton = SDL_BUTTON_LEFT;
    switch (button) {
    case Button::Left:
        sdlButton = SDL_BUTTON_LEFT;
        break;
    case Button::Right:
        sdlButton = SDL_BUTTON_RIGHT;
        break;
    case Button::Middle:
        sdlButton = SDL_BUTTON_MIDDLE;
        break;
    }
    SDL_Event ev{};
    ev.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    ev.button.windowID = window.Id();
    ev.button.button = sdlButton;
    ev.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    ev.button.clicks = 1;
    ev.button.x = wx;
    ev.button.y = wy;
    if (!Push(ev))
        return false;
    const uint32_t mask = SDL_BUTTON(sdlButton);
    p.buttons = down ? (p.buttons | mask) : (p.buttons & ~mask);
    return true;
}

bool InjectedInput::IsKeyName(const std::string& keyName)
{
    return !keyName.empty() && SDL_GetKeyFromName(keyName.c_str()) != SDLK_UNKNOWN;
}

bool InjectedInput::TypeKey(const Window& window, const std::string& keyName)
{
    const SDL_Keycode key = SDL_GetKeyFromName(keyName.c_str());
    if (key == SDLK_UNKNOWN)
        return false;
    SDL_Event ev{};
    ev.type = SDL_KEYDOWN;
    ev.key.windowID = window.Id();
    ev.key.state = SDL_PRESSED;
    ev.key.keysym.sym = key;
    ev.key.keysym.scancode = SDL_GetScancodeFromKey(key);
    if (!Push(ev))
        return false;

    // The character the key types: a printable one-character name as it is written, a blank for
    // "Space". Control characters (Escape, Return, ...) come from the key press itself.
    std::string text;
    if (keyName.size() == 1 && static_cast<unsigned char>(keyName[0]) > 0x20 &&
        static_cast<unsigned char>(keyName[0]) < 0x7F)
        text = keyName;
    else if (key == SDLK_SPACE)
        text = " ";
    if (!text.empty()) {
        SDL_Event t{};
        t.type = SDL_TEXTINPUT;
        t.text.windowID = window.Id();
        SDL_strlcpy(t.text.text, text.c_str(), sizeof t.text.text);
        if (!Push(t))
            return false;
    }

    ev.type = SDL_KEYUP;
    ev.key.state = SDL_RELEASED;
    return Push(ev);
}

bool InjectedInput::RequestQuit()
{
    SDL_Event ev{};
    ev.type = SDL_QUIT;
    return Push(ev);
}

} // namespace QuillPlatform
