// Injected input reaches the message queue as the window messages a player's input becomes.

#include <gtest/gtest.h>

#include <vector>

#include "platform/window/InjectedInput.h"
#include "platform/window/VirtualKeys.h"
#include "platform/window/Window.h"

using namespace QuillPlatform;

namespace {

bool IsInput(uint32_t message)
{
    switch (message) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_CLOSE:
    case WM_ACTIVATEAPP:
        return true;
    default:
        return false;
    }
}

// The input messages now waiting, in order; the window's own housekeeping is left out.
std::vector<WindowMessage> Drain()
{
    std::vector<WindowMessage> out;
    WindowMessage m;
    while (PeekMessage(m, true)) {
        if (IsInput(m.message))
            out.push_back(m);
    }
    return out;
}

class PlayInjectedInput : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(InitVideo());
        ASSERT_TRUE(window.Create("t", 800, 600, false));
        window.SetLogicalSize(800, 600);
        InjectedInput::Reset();
        Drain();
    }
    void TearDown() override
    {
        window.Destroy();
        ClearMessageQueue();
        QuitVideo();
    }
    Window window;
};

TEST_F(PlayInjectedInput, APressWithoutAMoveFirstMovesThePointerThere)
{
    ASSERT_TRUE(InjectedInput::Press(window, InjectedInput::Button::Left, true, 400, 300));
    ASSERT_TRUE(InjectedInput::Press(window, InjectedInput::Button::Left, false, 400, 300));
    // Pressed again where the pointer already is: no move.
    ASSERT_TRUE(InjectedInput::Press(window, InjectedInput::Button::Right, true, 400, 300));
    ASSERT_TRUE(InjectedInput::Press(window, InjectedInput::Button::Right, false, 401, 300));
    const auto m = Drain();
    ASSERT_EQ(m.size(), 6u);
    EXPECT_EQ(m[0].message, WM_MOUSEMOVE);
    EXPECT_EQ(m[1].message, WM_LBUTTONDOWN);
    EXPECT_EQ(m[1].wParam, MK_LBUTTON);
    EXPECT_EQ(m[2].message, WM_LBUTTONUP);
    EXPECT_EQ(m[2].wParam, 0u);
    EXPECT_EQ(m[3].message, WM_RBUTTONDOWN);
    EXPECT_EQ(m[4].message, WM_MOUSEMOVE);
    EXPECT_EQ(m[4].wParam, MK_RBUTTON); // dragged with the right button held
    EXPECT_EQ(m[5].message, WM_RBUTTONUP);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(GetXParam(m[i].lParam), 400) << i;
        EXPECT_EQ(GetYParam(m[i].lParam), 300) << i;
        EXPECT_EQ(m[i].windowId, window.Id());
    }
    EXPECT_EQ(GetXParam(m[5].lParam), 401);
}

TEST_F(PlayInjectedInput, PicturePositionsSurviveTheLetterbox)
{
    // The picture shows at twice its size, pillarboxed: every logical point still comes back.
    window.SetClientSize(2000, 1200);
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{1, 1}, std::pair{399, 299}, std::pair{799, 599}}) {
        ASSERT_TRUE(InjectedInput::MoveTo(window, x, y));
        const auto m = Drain();
        ASSERT_EQ(m.size(), 1u);
        EXPECT_EQ(GetXParam(m[0].lParam), x);
        EXPECT_EQ(GetYParam(m[0].lParam), y);
    }
}

TEST_F(PlayInjectedInput, KeysTypeTheirCharacterAndQuitClosesTheWindow)
{
    ASSERT_TRUE(InjectedInput::TypeKey(window, "m"));
    ASSERT_TRUE(InjectedInput::TypeKey(window, "Escape"));
    ASSERT_TRUE(InjectedInput::TypeKey(window, "F1"));
    ASSERT_TRUE(InjectedInput::RequestQuit());
    const auto m = Drain();
    ASSERT_EQ(m.size(), 9u);
    EXPECT_EQ(m[0].message, WM_KEYDOWN);
    EXPECT_EQ(m[0].wParam, uint64_t('M'));
    EXPECT_EQ(m[1].message, WM_CHAR);
    EXPECT_EQ(m[1].wParam, uint64_t('m'));
    EXPECT_EQ(m[2].message, WM_KEYUP);
    EXPECT_EQ(m[3].message, WM_KEYDOWN);
    EXPECT_EQ(m[3].wParam, uint64_t(VK_ESCAPE));
    EXPECT_EQ(m[4].message, WM_CHAR);
    EXPECT_EQ(m[4].wParam, 27u);
    EXPECT_EQ(m[5].message, WM_KEYUP);
    EXPECT_EQ(m[6].message, WM_KEYDOWN); // F1 types nothing
    EXPECT_EQ(m[7].message, WM_KEYUP);
    EXPECT_EQ(m[8].message, WM_CLOSE);
    EXPECT_EQ(m[8].windowId, window.Id());

    EXPECT_FALSE(InjectedInput::IsKeyName("NoSuchKey"));
    EXPECT_FALSE(InjectedInput::IsKeyName(""));
    EXPECT_FALSE(InjectedInput::TypeKey(window, "NoSuchKey"));
}

} // namespace
