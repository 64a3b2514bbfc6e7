// SDL events become the window messages the engine's window code expects.

#include <gtest/gtest.h>

#include <cstring>

#include "platform/window/SdlTranslator.h"
#include "platform/window/VirtualKeys.h"
#include "platform/window/Window.h"

using namespace QuillPlatform;

namespace {

SDL_Event Key(bool down, SDL_Keycode sym, bool repeat = false)
{
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.windowID = 1;
    e.key.keysym.sym = sym;
    e.key.repeat = repeat;
    return e;
}

SDL_Event Button(bool down, uint8_t button, int x, int y)
{
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.windowID = 1;
    e.button.button = button;
    e.button.x = x;
    e.button.y = y;
    return e;
}

SDL_Event Text(const char* utf8)
{
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    e.text.windowID = 1;
    std::strncpy(e.text.text, utf8, sizeof e.text.text - 1);
    return e;
}

std::vector<WindowMessage> Translate(SdlTranslator& t, std::initializer_list<SDL_Event> events)
{
    std::vector<WindowMessage> out;
    for (const SDL_Event& e : events)
        t.Translate(e, out);
    return out;
}

TEST(SdlTranslator, KeysCarryVirtualCodesAndTheRepeatBit)
{
    SdlTranslator t;
    auto m = Translate(t, {Key(true, SDLK_a), Key(true, SDLK_a, true), Key(false, SDLK_a)});
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[0].message, WM_KEYDOWN);
    EXPECT_EQ(m[0].wParam, uint64_t('A'));
    EXPECT_FALSE(m[0].lParam & KF_REPEAT_BIT);
    EXPECT_TRUE(m[1].lParam & KF_REPEAT_BIT);
    EXPECT_EQ(m[2].message, WM_KEYUP);
}

TEST(SdlTranslator, ControlKeysProduceTheirCharacters)
{
    SdlTranslator t;
    auto m = Translate(t, {Key(true, SDLK_RETURN), Key(true, SDLK_BACKSPACE), Key(true, SDLK_ESCAPE), Key(true, SDLK_TAB)});
    std::vector<uint64_t> chars;
    for (auto& msg : m)
        if (msg.message == WM_CHAR)
            chars.push_back(msg.wParam);
    EXPECT_EQ(chars, (std::vector<uint64_t>{13, 8, 27, 9}));
}

TEST(SdlTranslator, TextBecomesUtf16Units)
{
    SdlTranslator t;
    auto m = Translate(t, {Text("\xC3\xA9\xF0\x9F\x92\x8D")});   // é and a ring outside the BMP
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[0].wParam, 0xE9u);
    EXPECT_EQ(m[1].wParam, 0xD83Du);
    EXPECT_EQ(m[2].wParam, 0xDC8Du);
}

TEST(SdlTranslator, AltLetterIsASystemKeyThatReachesNoKeyHandler)
{
    SdlTranslator t;
    auto m = Translate(t, {Key(true, SDLK_LALT), Key(true, SDLK_a), Text("a"), Key(false, SDLK_a), Key(false, SDLK_LALT)});
    for (auto& msg : m) {
        EXPECT_NE(msg.message, WM_KEYDOWN);
        EXPECT_NE(msg.message, WM_CHAR);
    }
    ASSERT_GE(m.size(), 2u);
    EXPECT_EQ(m[1].message, WM_SYSKEYDOWN);
    EXPECT_TRUE(m[1].lParam & KF_ALTDOWN_BIT);
}

TEST(SdlTranslator, MouseButtonsCarryHeldButtonsAndModifiers)
{
    SdlTranslator t;
    auto m = Translate(t, {Key(true, SDLK_LCTRL), Button(true, SDL_BUTTON_LEFT, 10, 20), Button(true, SDL_BUTTON_RIGHT, 11, 21),
                     Key(false, SDLK_LCTRL), Button(false, SDL_BUTTON_LEFT, -5, 7)});
    std::vector<WindowMessage> mouse;
    for (auto& msg : m)
        if (msg.message >= WM_MOUSEMOVE && msg.message <= WM_MBUTTONUP)
            mouse.push_back(msg);
    ASSERT_EQ(mouse.size(), 3u);
    EXPECT_EQ(mouse[0].message, WM_LBUTTONDOWN);
    EXPECT_EQ(mouse[0].wParam, MK_LBUTTON | MK_CONTROL);
    EXPECT_EQ(GetXParam(mouse[0].lParam), 10);
    EXPECT_EQ(GetYParam(mouse[0].lParam), 20);
    EXPECT_EQ(mouse[1].wParam, MK_LBUTTON | MK_RBUTTON | MK_CONTROL);
    EXPECT_EQ(mouse[2].message, WM_LBUTTONUP);
    EXPECT_EQ(mouse[2].wParam, MK_RBUTTON);
    EXPECT_EQ(GetXParam(mouse[2].lParam), -5);   // signed 16-bit coordinates outside the window
}

// Keys released while another window has the focus never reach this one: losing the focus lets
// go of Shift, Ctrl and Alt, or a letter typed after coming back would be a menu key.
TEST(SdlTranslator, ModifiersAreLetGoWhenTheFocusIsLost)
{
    SdlTranslator t;
    SDL_Event lost{};
    lost.type = SDL_WINDOWEVENT;
    lost.window.windowID = 1;
    lost.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
    auto m = Translate(t, {Key(true, SDLK_LSHIFT), Key(true, SDLK_LCTRL), Key(true, SDLK_LALT), lost,
                           Button(true, SDL_BUTTON_LEFT, 1, 1), Key(true, SDLK_a), Text("a")});
    ASSERT_EQ(m.size(), 7u);
    EXPECT_EQ(m[3].message, WM_ACTIVATEAPP);
    EXPECT_EQ(m[4].message, WM_LBUTTONDOWN);
    EXPECT_EQ(m[4].wParam, uint64_t(MK_LBUTTON)) << "Shift or Ctrl still held";
    EXPECT_EQ(m[5].message, WM_KEYDOWN) << "Alt still held";
    EXPECT_FALSE(m[5].lParam & KF_ALTDOWN_BIT);
    EXPECT_EQ(m[6].message, WM_CHAR);
    EXPECT_EQ(m[6].wParam, uint64_t('a'));
}

TEST(SdlTranslator, AltEnterBecomesTheKeyMenuCommandThroughDefaultProcessing)
{
    ASSERT_TRUE(InitVideo());
    Window w;
    ASSERT_TRUE(w.Create("t", 64, 48, false));
    ClearMessageQueue();
    WindowMessage sys{w.Id(), WM_SYSKEYDOWN, VK_RETURN, KF_ALTDOWN_BIT};
    w.Dispatch(sys);
    WindowMessage out;
    ASSERT_TRUE(PeekMessage(out, true));
    EXPECT_EQ(out.message, WM_SYSCOMMAND);
    EXPECT_EQ(out.wParam, SC_KEYMENU);
    EXPECT_EQ(out.lParam, 13);
    w.Destroy();
    ClearMessageQueue();
    QuitVideo();
}

TEST(SdlTranslator, CloseAndQuitBothBecomeWindowClose)
{
    ASSERT_TRUE(InitVideo());
    Window w;
    ASSERT_TRUE(w.Create("t", 64, 48, false));
    SdlTranslator t;
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    auto m = Translate(t, {quit});
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].message, WM_CLOSE);
    EXPECT_EQ(m[0].windowId, w.Id());
    w.Destroy();
    QuitVideo();
}

TEST(Window, LetterboxKeepsTheLogicalAspectAndMapsTheMouseBack)
{
    ASSERT_TRUE(InitVideo());
    Window w;
    ASSERT_TRUE(w.Create("t", 1000, 600, false));
    w.SetLogicalSize(800, 600);
    const Rect r = w.LetterboxRect();
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.Width(), 800);
    int32_t x = 0, y = 0;
    w.MapToLogical(150, 10, x, y);
    EXPECT_EQ(x, 50);
    EXPECT_EQ(y, 10);
    w.SetClientSize(1600, 1200);
    w.MapToLogical(800, 600, x, y);
    EXPECT_EQ(x, 400);
    EXPECT_EQ(y, 300);
    w.Destroy();
    QuitVideo();
}

} // namespace
