// Window-message handling: mouse capture and Ctrl+click, close requests, centring.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/app/RenderWindow.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "tests/app/EngineTestAccess.h"

using namespace QuillEngine;
using namespace QuillPlatform;

namespace {

uint64_t g_now = 0;
uint64_t FakeCounter() { return g_now; }

class RenderWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearMessageQueue();
        EngineManagerTestAccess::Wire(engine, &game, &FakeCounter, 600000);
    }
    void TearDown() override { ClearMessageQueue(); }
    bool Send(uint32_t message, uint64_t wParam = 0, int64_t lParam = 0)
    {
        int64_t result = 0;
        return window.HandleMessage({0, message, wParam, lParam}, result);
    }
    uint32_t Buttons() { return engine.GetUserInterface()->ButtonsDown(); }
    bool QuitQueued()
    {
        WindowMessage m;
        while (PeekMessage(m, true)) {
            if (m.message == WM_QUIT)
                return true;
        }
        return false;
    }

    CountingGame game;
    EngineManager engine;
    RenderWindow window{&engine};
};

TEST_F(RenderWindowTest, CtrlLeftClickIsARightClickEvenWhenCtrlIsReleasedFirst)
{
    Send(WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL);
    EXPECT_EQ(Buttons(), 1u << 1);   // right, not left
    Send(WM_LBUTTONUP, 0);           // Ctrl already up
    EXPECT_EQ(Buttons(), 0u);

    Send(WM_LBUTTONDOWN, MK_LBUTTON);   // a plain left click stays left
    EXPECT_EQ(Buttons(), 1u << 0);
    Send(WM_LBUTTONUP, 0);
    EXPECT_EQ(Buttons(), 0u);
}

TEST_F(RenderWindowTest, CaptureIsKeptUntilTheLastButtonIsReleased)
{
    Send(WM_LBUTTONDOWN, MK_LBUTTON);
    Send(WM_RBUTTONDOWN, MK_LBUTTON | MK_RBUTTON);
    EXPECT_EQ(window.CaptureCount(), 2);
    Send(WM_LBUTTONUP, MK_RBUTTON);
    EXPECT_EQ(window.CaptureCount(), 1);
    Send(WM_RBUTTONUP, 0);
    EXPECT_EQ(window.CaptureCount(), 0);
    Send(WM_RBUTTONUP, 0);   // a stray release never goes negative
    EXPECT_EQ(window.CaptureCount(), 0);
}

// Records presses and releases as "<down|up> <x>,<y>[ ctrl][ shift]" (listener) and the movies
// that took a press (instance handler).
struct ClickLog : IEventListener, IInstanceEventHandler {
    std::vector<std::string> lines;
    void HandleEvent(Event_Base& event) override
    {
        if (event.type > Event_Base::Type_ButtonUp)
            return;
        const auto& m = static_cast<Event_Mouse&>(event);
        lines.push_back(std::string(event.type == Event_Base::Type_ButtonDown ? "down " : "up ") + std::to_string(m.x) +
                        "," + std::to_string(m.y) + (m.ctrl ? " ctrl" : "") + (m.shift ? " shift" : ""));
    }
    void OnMouseDown(const InstanceHandle& h, bool) override
    {
        lines.push_back("pressed " + ToUtf8(h.Resolve()->GetName()));
    }
};

TEST_F(RenderWindowTest, AClickIsHitTestedWhereItHappensNotWhereThePointerLastMoved)
{
    UserInterface* ui = engine.GetUserInterface();
    ASSERT_TRUE(ui->CreateRoot());
    ClickLog log;
    ui->AddEventListener(&log);
    Instance_Movie* box = HandleEx::ResolveMovie(ui->GetRoot()->CreateEmptyChild(u"box"));
    box->SetPosition(50, 50);
    box->SetExplicitBounds(0, 0, 100, 100);
    box->SetEventHandler(&log);

    // A tap with no move before it (touch, tablet, an injected click) lands on the box.
    Send(WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MakeLParam(75, 80));
    Send(WM_LBUTTONUP, 0, MakeLParam(75, 80));
    EXPECT_EQ(log.lines, (std::vector<std::string>{"down 75,80 shift", "pressed box", "up 75,80"}));

    // After a move elsewhere, a press reported at a new point is tested there as well.
    log.lines.clear();
    Send(WM_ACTIVATEAPP, 1);
    Send(WM_MOUSEMOVE, 0, MakeLParam(400, 400));
    Send(WM_RBUTTONDOWN, MK_RBUTTON, MakeLParam(120, 60));
    Send(WM_RBUTTONUP, 0, MakeLParam(500, 10));
    Send(WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, MakeLParam(10, 10)); // Ctrl+left: right, off the box
    EXPECT_EQ(log.lines, (std::vector<std::string>{"down 120,60", "pressed box", "up 500,10", "down 10,10"}));
    EXPECT_EQ(ui->MouseX(), 10);
    EXPECT_EQ(ui->MouseY(), 10);
    ui->RemoveEventListener(&log);
}

TEST_F(RenderWindowTest, MinimisingDropsCaptureAndDeactivates)
{
    Send(WM_ACTIVATEAPP, 1);
    Send(WM_LBUTTONDOWN, MK_LBUTTON);
    Send(WM_SIZE, SIZE_MINIMIZED);
    EXPECT_EQ(window.CaptureCount(), 0);
    EXPECT_FALSE(engine.Active());
    EXPECT_EQ(Buttons(), 0u);   // the dispatcher forgets held buttons
    EXPECT_EQ(game.deactivations, 1);
}

TEST_F(RenderWindowTest, RefusedCloseChangesNothing)
{
    game.allowClose = false;
    EXPECT_TRUE(Send(WM_CLOSE));   // handled: no default processing closes the window
    EXPECT_EQ(game.closeQueries, 1);
    EXPECT_FALSE(QuitQueued());
}

TEST_F(RenderWindowTest, AcceptedClosePostsQuit)
{
    EXPECT_TRUE(Send(WM_CLOSE));
    EXPECT_TRUE(QuitQueued());
}

TEST_F(RenderWindowTest, SessionLockPausesAndUnlockResumes)
{
    Send(WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK);
    EXPECT_TRUE(engine.IsPaused());
    Send(WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK);
    EXPECT_FALSE(engine.IsPaused());
}

TEST_F(RenderWindowTest, MouseActivationEatsTheClickOnAnOwnWindow)
{
    int64_t result = 0;
    window.HandleMessage({0, WM_MOUSEACTIVATE, 0, HTCLIENT}, result);
    EXPECT_EQ(result, MA_ACTIVATEANDEAT);
    window.HandleMessage({0, WM_MOUSEACTIVATE, 0, 2}, result);
    EXPECT_EQ(result, MA_ACTIVATE);
}

DisplayInfo Display(int32_t x, int32_t y, int32_t w, int32_t h, bool primary)
{
    return {{x, y, x + w, y + h}, primary};
}

TEST(CenterOnDisplay, SkipsDisplaysSmallerThan800x600)
{
    int32_t x = -1, y = -1;
    ASSERT_TRUE(CenterOnDisplay({Display(0, 0, 640, 480, true), Display(640, 0, 1920, 1080, false)}, 800, 600, x, y));
    EXPECT_EQ(x, 640 + 960 - 400);
    EXPECT_EQ(y, 540 - 300);
}

TEST(CenterOnDisplay, PrefersThePrimaryDisplay)
{
    int32_t x = 0, y = 0;
    ASSERT_TRUE(CenterOnDisplay({Display(0, 0, 1024, 768, false), Display(1024, 0, 1920, 1080, true)}, 800, 600, x, y));
    EXPECT_EQ(x, 1024 + 960 - 400);
    EXPECT_EQ(y, 240);
}

TEST(CenterOnDisplay, NoUsableDisplayLeavesThePositionAlone)
{
    int32_t x = 7, y = 9;
    EXPECT_FALSE(CenterOnDisplay({Display(0, 0, 799, 600, true), Display(0, 0, 800, 599, false)}, 800, 600, x, y));
    EXPECT_EQ(x, 7);
    EXPECT_EQ(y, 9);
    EXPECT_FALSE(CenterOnDisplay({}, 800, 600, x, y));
}

TEST(CenterOnDisplay, AStoredPositionOffEveryDisplayIsDetected)
{
    const std::vector<DisplayInfo> displays{Display(0, 0, 1920, 1080, true)};
    EXPECT_TRUE(MeetsAnyDisplay(displays, 100, 100, 800, 600));
    EXPECT_TRUE(MeetsAnyDisplay(displays, -799, -599, 800, 600));   // one pixel still shows
    EXPECT_FALSE(MeetsAnyDisplay(displays, 1920, 0, 800, 600));
    EXPECT_FALSE(MeetsAnyDisplay(displays, 3000, 2000, 800, 600));
}

} // namespace
