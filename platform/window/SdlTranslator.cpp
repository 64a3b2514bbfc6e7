#include "platform/window/SdlTranslator.h"

#include "platform/window/VirtualKeys.h"
#include "platform/window/Window.h"

namespace QuillPlatform {

namespace {

uint32_t Utf8ToUtf16Units(const char* s, char16_t* out, uint32_t cap)
{
    uint32_t n = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(s);
    while (*p && n + 2 <= cap) {
        uint32_t cp;
        int extra;
        if (*p < 0x80) { cp = *p; extra = 0; }
        else if ((*p & 0xE0) == 0xC0) { cp = *p & 0x1F; extra = 1; }
        else if ((*p & 0xF0) == 0xE0) { cp = *p & 0x0F; extra = 2; }
        else if ((*p & 0xF8) == 0xF0) { cp = *p & 0x07; extra = 3; }
        else { ++p; out[n++] = 0xFFFD; continue; }
        ++p;
        bool ok = true;
        for (int i = 0; i < extra; ++i, ++p) {
            if ((*p & 0xC0) != 0x80) { ok = false; break; }
            cp = (cp << 6) | (*p & 0x3F);
        }
        if (!ok || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out[n++] = 0xFFFD;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out[n++] = static_cast<char16_t>(0xD800 + (cp >> 10));
            out[n++] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out[n++] = static_cast<char16_t>(cp);
        }
    }
    return n;
}

} // namespace

uint64_t SdlTranslator::MouseFlags() const
{
    uint64_t f = buttons_;
    if (shift_)
        f |= MK_SHIFT;
    if (ctrl_)
        f |= MK_CONTROL;
    return f;
}

void SdlTranslator::Key(const SDL_KeyboardEvent& k, bool down, std::vector<WindowMessage>& out)
{
    const uint32_t vk = VirtualKeyFromSdl(k.keysym.sym);
    switch (vk) {
    case VK_SHIFT: shift_ = down; break;
    case VK_CONTROL: ctrl_ = down; break;
    case VK_MENU: alt_ = down; break;
    default: break;
    }
    if (vk == 0)
        return;

    WindowMessage m;
    m.windowId = k.windowID;
    m.wParam = vk;
    m.lParam = 1 | (static_cast<int64_t>(k.keysym.scancode & 0xFF) << 16);
    if (k.repeat)
        m.lParam |= KF_REPEAT_BIT;
    if (!down)
        m.lParam |= KF_REPEAT_BIT | KF_UP_BIT;
    // With Alt held (and Ctrl not, which would be AltGr), keys are system keys: no handler sees
    // them as ordinary key presses.
    const bool system = alt_ && !ctrl_ && vk != VK_MENU;
    if (system || vk == VK_MENU)
        m.lParam |= alt_ ? KF_ALTDOWN_BIT : 0;
    if (system || vk == VK_MENU)
        m.message = down ? WM_SYSKEYDOWN : WM_SYSKEYUP;
    else
        m.message = down ? WM_KEYDOWN : WM_KEYUP;
    out.push_back(m);

    // The control characters a key produces; printable text arrives as SDL_TEXTINPUT.
    if (down && !system && !ctrl_) {
        char16_t ch = 0;
        switch (vk) {
        case VK_BACK: ch = 8; break;
        case VK_TAB: ch = 9; break;
        case VK_RETURN: ch = 13; break;
        case VK_ESCAPE: ch = 27; break;
        default: break;
        }
        if (ch)
            out.push_back({k.windowID, WM_CHAR, ch, m.lParam});
    }
}

void SdlTranslator::Translate(const SDL_Event& ev, std::vector<WindowMessage>& out)
{
    switch (ev.type) {
    case SDL_QUIT:
        // The desktop asked the program to end: the same path as closing the window.
        for (Window* w : Window::LiveWindows())
            out.push_back({w->Id(), WM_CLOSE, 0, 0});
        break;
    case SDL_WINDOWEVENT: {
        const uint32_t id = ev.window.windowID;
        switch (ev.window.event) {
        case SDL_WINDOWEVENT_CLOSE: out.push_back({id, WM_CLOSE, 0, 0}); break;
        case SDL_WINDOWEVENT_FOCUS_GAINED: out.push_back({id, WM_ACTIVATEAPP, 1, 0}); break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            shift_ = ctrl_ = alt_ = false;
            out.push_back({id, WM_ACTIVATEAPP, 0, 0});
            break;
        case SDL_WINDOWEVENT_MINIMIZED: out.push_back({id, WM_SIZE, SIZE_MINIMIZED, 0}); break;
        case SDL_WINDOWEVENT_MAXIMIZED: out.push_back({id, WM_SIZE, SIZE_MAXIMIZED, 0}); break;
        case SDL_WINDOWEVENT_RESTORED: out.push_back({id, WM_SIZE, SIZE_RESTORED, 0}); break;
        case SDL_WINDOWEVENT_EXPOSED: out.push_back({id, WM_PAINT, 0, 0}); break;
        case SDL_WINDOWEVENT_MOVED: out.push_back({id, WM_EXITSIZEMOVE, 0, 0}); break;
        case SDL_WINDOWEVENT_LEAVE:
            if (Window* w = Window::FromId(id); w && w->ConsumeLeaveRequest())
                out.push_back({id, WM_MOUSELEAVE, 0, 0});
            break;
        default: break;
        }
        break;
    }
    case SDL_DISPLAYEVENT: {
        SDL_DisplayMode mode{};
        int bpp = 32;
        if (SDL_GetDesktopDisplayMode(static_cast<int>(ev.display.display), &mode) == 0)
            bpp = SDL_BITSPERPIXEL(mode.format) == 16 ? 16 : 32;
        for (Window* w : Window::LiveWindows())
            out.push_back({w->Id(), WM_DISPLAYCHANGE, static_cast<uint64_t>(bpp), MakeLParam(mode.w, mode.h)});
        break;
    }
    case SDL_MOUSEMOTION: {
        int32_t x = ev.motion.x, y = ev.motion.y;
        if (Window* w = Window::FromId(ev.motion.windowID))
            w->MapToLogical(ev.motion.x, ev.motion.y, x, y);
        out.push_back({ev.motion.windowID, WM_MOUSEMOVE, MouseFlags(), MakeLParam(x, y)});
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        const bool down = ev.type == SDL_MOUSEBUTTONDOWN;
        uint32_t bit, msgDown, msgUp;
        switch (ev.button.button) {
        case SDL_BUTTON_LEFT: bit = MK_LBUTTON; msgDown = WM_LBUTTONDOWN; msgUp = WM_LBUTTONUP; break;
        case SDL_BUTTON_RIGHT: bit = MK_RBUTTON; msgDown = WM_RBUTTONDOWN; msgUp = WM_RBUTTONUP; break;
        case SDL_BUTTON_MIDDLE: bit = MK_MBUTTON; msgDown = WM_MBUTTONDOWN; msgUp = WM_MBUTTONUP; break;
        default: return;
        }
        buttons_ = down ? (buttons_ | bit) : (buttons_ & ~bit);
        int32_t x = ev.button.x, y = ev.button.y;
        if (Window* w = Window::FromId(ev.button.windowID))
            w->MapToLogical(ev.button.x, ev.button.y, x, y);
        out.push_back({ev.button.windowID, down ? msgDown : msgUp, MouseFlags(), MakeLParam(x, y)});
        break;
    }
    case SDL_KEYDOWN: Key(ev.key, true, out); break;
    case SDL_KEYUP: Key(ev.key, false, out); break;
    case SDL_TEXTINPUT: {
        if (alt_ && !ctrl_)
            break;   // Alt+key is a menu key, not text
        char16_t units[SDL_TEXTINPUTEVENT_TEXT_SIZE * 2];
        const uint32_t n = Utf8ToUtf16Units(ev.text.text, units, sizeof units / sizeof units[0]);
        for (uint32_t i = 0; i < n; ++i)
            out.push_back({ev.text.windowID, WM_CHAR, units[i], 1});
        break;
    }
    default: break;
    }
}

} // namespace QuillPlatform
