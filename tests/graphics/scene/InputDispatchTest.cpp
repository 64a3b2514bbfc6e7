// Input dispatch: listeners, hover state, presses and releases over the instance tree, release
// outside, global key handlers, the system cursor, and handlers that change things under it.

#include <gtest/gtest.h>

#include <algorithm>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/graphics/scene/Instance_Image.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/UserInterface.h"

using namespace QuillEngine;

namespace {

// Modifiers of a test press or release.
constexpr uint32_t kCtrl = 1, kShift = 2;

std::vector<std::string>* g_log = nullptr;

void Log(const std::string& line)
{
    if (g_log)
        g_log->push_back(line);
}

std::string NameOf(const InstanceHandle& handle)
{
    const Instance_Base* instance = handle.Resolve();
    return instance ? ToUtf8(instance->GetName()) : "<stale>";
}

// Logs every call it receives as "<call> <movie>[ <argument>]".
class RecordingHandler : public IInstanceEventHandler {
public:
    bool consumes = false;
    bool logOver = false;
    std::function<void(const InstanceHandle&)> onDown;

    bool ConsumesMouse(const InstanceHandle&) override { return consumes; }
    void OnChar(const InstanceHandle& h, uint32_t c) override { Log("char " + NameOf(h) + " " + std::to_string(c)); }
    void OnKeyDown(const InstanceHandle& h, uint32_t k) override
    {
        Log("keydown " + NameOf(h) + " " + std::to_string(k));
    }
    void OnKeyUp(const InstanceHandle& h, uint32_t k) override { Log("keyup " + NameOf(h) + " " + std::to_string(k)); }
    void OnMouseDown(const InstanceHandle& h, bool notLeft) override
    {
        Log("down " + NameOf(h) + (notLeft ? " notLeft" : ""));
        if (onDown)
            onDown(h);
    }
    void OnMouseEnter(const InstanceHandle& h) override { Log("enter " + NameOf(h)); }
    void OnMouseLeave(const InstanceHandle& h) override { Log("leave " + NameOf(h)); }
    void OnMouseUp(const InstanceHandle& h, bool notLeft) override
    {
        Log("up " + NameOf(h) + (notLeft ? " notLeft" : ""));
    }
    void OnMouseUpOutside(const InstanceHandle& h, bool notLeft) override
    {
        Log("upOutside " + NameOf(h) + (notLeft ? " notLeft" : ""));
    }
    void OnMouseOver(const InstanceHandle& h) override
    {
        if (logOver)
            Log("over " + NameOf(h));
    }
};

// Logs script calls as "script <handler> <movie>[ <argument>]"; calls on the root are left out.
class RecordingScripts : public UserInterface::IScriptHandlers {
public:
    // Movies also run their own "OnLoad" through these handlers when they are created; only the
    // input handlers matter here.
    void Call(const InstanceHandle& movie, const char* handler) override
    {
        if (std::string_view(handler) != "OnLoad")
            Record(movie, handler, "");
    }
    void Call(const InstanceHandle& movie, const char* handler, const std::string& text) override
    {
        std::string shown;
        for (char c : text)
            shown += (static_cast<unsigned char>(c) < 32) ? "\\" + std::to_string(static_cast<unsigned char>(c))
                                                          : std::string(1, c);
        Record(movie, handler, " \"" + shown + "\"");
    }
    void Call(const InstanceHandle& movie, const char* handler, double number) override
    {
        Record(movie, handler, " " + std::to_string(static_cast<int>(number)));
    }

private:
    void Record(const InstanceHandle& movie, const char* handler, const std::string& argument)
    {
        if (NameOf(movie) != "root")
            Log("script " + std::string(handler) + " " + NameOf(movie) + argument);
    }
};

class RecordingListener : public IEventListener {
public:
    explicit RecordingListener(std::string name) : name(std::move(name)) {}
    void HandleEvent(Event_Base& event) override
    {
        std::string line = "event " + name + " " + std::to_string(event.type);
        if (event.type <= Event_Base::Type_ButtonUp) {
            const auto& m = static_cast<Event_Mouse&>(event);
            line += " b" + std::to_string(m.button) + " lrm" + std::to_string(m.left) + std::to_string(m.right) +
                    std::to_string(m.middle) + " @" + std::to_string(m.x) + "," + std::to_string(m.y) +
                    (m.ctrl ? " ctrl" : "") + (m.shift ? " shift" : "");
        } else {
            line += " key" + std::to_string(static_cast<Event_Key&>(event).key);
        }
        Log(line);
        if (then)
            then();
    }
    std::string name;
    std::function<void()> then;
};

int32_t g_cursorCounter = 0;
int32_t g_cursorCalls = 0;
int32_t FakeShowCursor(bool show)
{
    ++g_cursorCalls;
    g_cursorCounter += show ? 1 : -1;
    return g_cursorCounter;
}

class InputDispatchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_log = &log;
        g_cursorCounter = 0;
        g_cursorCalls = 0;
        ui.SetShowCursorFunction(&FakeShowCursor);
        ui.SetScriptHandlers(&scripts);
        ASSERT_TRUE(ui.CreateRoot());
        root = ui.GetRoot();
        // "back" covers (0,0)-(100,100); "front", drawn above it, covers (50,50)-(150,150).
        back = AddBoxMovie(u"back", 0, 0);
        front = AddBoxMovie(u"front", 50, 50);
    }
    void TearDown() override { g_log = nullptr; }

    InstanceHandle AddBoxMovie(const String& name, float x, float y)
    {
        Instance_Movie* movie = HandleEx::ResolveMovie(root->CreateEmptyChild(name));
        movie->SetPosition(x, y);
        movie->SetExplicitBounds(0, 0, 100, 100);
        movie->SetEventHandler(&handler);
        return movie->GetHandle();
    }

    InstanceHandle AddImage(Instance_Movie& parent, const String& name, int w, int h, float x, float y)
    {
        auto image = std::make_unique<Instance_Image>(&ui, name);
        Transform2D quad;
        MultiplyTransform(quad, Transform2D::Scale(float(w), float(h)), Transform2D::Translation(w / 2.0f, h / 2.0f));
        image->SetPlacement(w, h, quad, QuadTexRect{0, 0, 1, 1});
        image->SetPosition(x, y);
        Instance_Base* raw = image.get();
        return parent.AdoptChild(std::move(image), true) ? raw->GetHandle() : InstanceHandle();
    }

    // A press or release where the pointer last moved to.
    void Down(int32_t button, uint32_t mods = 0)
    {
        ui.OnMouseDown(
            Event_Mouse(Event_Base::Type_ButtonDown, button, ui.MouseX(), ui.MouseY(), mods & kCtrl, mods & kShift));
    }
    void Up(int32_t button, uint32_t mods = 0)
    {
        ui.OnMouseUp(
            Event_Mouse(Event_Base::Type_ButtonUp, button, ui.MouseX(), ui.MouseY(), mods & kCtrl, mods & kShift));
    }

    std::vector<std::string> Take()
    {
        std::vector<std::string> out;
        out.swap(log);
        return out;
    }

    std::vector<std::string> HoverNames() const
    {
        std::vector<std::string> names;
        for (const InstanceHandle& h : ui.HoverList())
            names.push_back(NameOf(h));
        return names;
    }

    using Lines = std::vector<std::string>;
    std::vector<std::string> log;
    RecordingHandler handler;
    RecordingScripts scripts;
    UserInterface ui;
    Instance_Movie* root = nullptr;
    InstanceHandle back, front;
};

TEST_F(InputDispatchTest, APressGoesToListenersThenToTheHoveredMoviesTopmostFirst)
{
    RecordingListener first("a"), second("b");
    ui.AddEventListener(&first);
    ui.AddEventListener(&second);
    ui.AddEventListener(&first); // no duplicate
    ui.OnMouseMove(75, 80);
    Take();

    Down(0, kShift);
    EXPECT_EQ(Take(), (Lines{"event a 0 b0 lrm100 @75,80 shift", "event b 0 b0 lrm100 @75,80 shift", "down front",
                             "script OnLeftMouseDown front", "down back", "script OnLeftMouseDown back"}));
    EXPECT_EQ(HoverNames(), (Lines{"front", "back", "root"}));

    Up(0, kCtrl);
    EXPECT_EQ(Take(), (Lines{"event a 1 b0 lrm000 @75,80 ctrl", "event b 1 b0 lrm000 @75,80 ctrl", "up front",
                             "script OnLeftMouseUp front", "up back", "script OnLeftMouseUp back"}));

    ui.RemoveEventListener(&first);
    Down(2);
    Up(2); // the middle button has no script handlers
    EXPECT_EQ(Take(), (Lines{"event b 0 b2 lrm001 @75,80", "down front notLeft", "down back notLeft",
                             "event b 1 b2 lrm000 @75,80", "up front notLeft", "up back notLeft"}));
}

TEST_F(InputDispatchTest, AConsumingHandlerHidesTheMoviesUnderItFromHoverPressAndRelease)
{
    RecordingHandler consuming;
    consuming.consumes = true;
    HandleEx::ResolveMovie(front)->SetEventHandler(&consuming);
    ui.OnMouseMove(75, 75);
    EXPECT_EQ(HoverNames(), Lines{"front"});
    Down(0);
    Up(0);
    EXPECT_EQ(Take(), (Lines{"enter front", "script OnMouseEnter front", "down front", "script OnLeftMouseDown front",
                             "up front", "script OnLeftMouseUp front"}));

    // Only where it is: beside it the movie below is hovered again.
    ui.OnMouseMove(25, 25);
    EXPECT_EQ(HoverNames(), (Lines{"back", "root"}));
}

TEST_F(InputDispatchTest, AHitOnAnImageCountsForItsParentMovie)
{
    Instance_Movie* holder = HandleEx::ResolveMovie(root->CreateEmptyChild(u"holder"));
    holder->SetEventHandler(&handler);
    const InstanceHandle picture = AddImage(*holder, u"picture", 20, 20, 300, 300);
    ui.OnMouseMove(310, 310);
    EXPECT_EQ(HoverNames(), (Lines{"holder", "root"}));
    Down(1);
    EXPECT_EQ(Take(), (Lines{"enter holder", "script OnMouseEnter holder", "down holder notLeft",
                             "script OnRightMouseDown holder"}));
    for (const InstanceHandle& h : ui.HoverList())
        EXPECT_NE(h, picture);
    // The movie has no box of its own: between its images nothing is hit.
    ui.OnMouseMove(290, 290);
    EXPECT_EQ(HoverNames(), Lines{});
}

TEST_F(InputDispatchTest, MovesUpdateHoverWithoutEventsToListeners)
{
    RecordingListener listener("l");
    ui.AddEventListener(&listener);
    handler.logOver = true;

    ui.OnMouseMove(25, 25);
    EXPECT_EQ(Take(), (Lines{"enter back", "script OnMouseEnter back", "over back"}));
    ui.OnMouseMove(75, 75);
    EXPECT_EQ(Take(), (Lines{"enter front", "script OnMouseEnter front", "over front", "over back"}));
    ui.OnMouseMove(76, 75); // nothing enters or leaves; every hovered movie is "over" again
    EXPECT_EQ(Take(), (Lines{"over front", "over back"}));
    ui.OnMouseMove(125, 125);
    EXPECT_EQ(Take(), (Lines{"leave back", "script OnMouseLeave back", "over front"}));
    ui.OnMouseMove(500, 500);
    EXPECT_EQ(Take(), (Lines{"leave front", "script OnMouseLeave front"}));
    EXPECT_EQ(ui.MouseX(), 500);
    EXPECT_EQ(ui.MouseY(), 500);

    // A movie whose input is off is not hovered.
    front.SetInputEnabled(false);
    ui.OnMouseMove(125, 125);
    EXPECT_EQ(HoverNames(), Lines{});
}

TEST_F(InputDispatchTest, ReleasingAfterDraggingOutOfAPressedMovieIsAReleaseOutside)
{
    ui.OnMouseMove(125, 125);
    Down(0);
    ui.OnMouseMove(400, 400);
    Take();
    ASSERT_FALSE(ui.OutsideList(0).empty());
    EXPECT_EQ(ui.OutsideList(0)[0], front);
    Up(0);
    EXPECT_EQ(Take(), (Lines{"upOutside front", "script OnLeftMouseUpOutside front"}));
    EXPECT_TRUE(ui.OutsideList(0).empty());

    // Coming back before the release makes it an ordinary release.
    ui.OnMouseMove(125, 125);
    Down(1);
    ui.OnMouseMove(400, 400);
    ui.OnMouseMove(125, 125);
    EXPECT_TRUE(ui.OutsideList(1).empty());
    Take();
    Up(1);
    EXPECT_EQ(Take(), (Lines{"up front notLeft", "script OnRightMouseUp front"}));
}

TEST_F(InputDispatchTest, AMovieThePointerLeftWithAButtonDownHearsOfItsRelease)
{
    // Pressed over nothing, dragged across "front" and away: "front" never saw the press, yet it
    // hears of the release outside it (a button dragged across puts its look back).
    ui.OnMouseMove(400, 400);
    Down(0);
    ui.OnMouseMove(125, 125);
    ui.OnMouseMove(400, 400);
    const auto& left = ui.OutsideList(0);
    EXPECT_NE(std::find(left.begin(), left.end(), front), left.end());
    Take();
    Up(0);
    const Lines released = Take();
    EXPECT_NE(std::find(released.begin(), released.end(), "upOutside front"), released.end());
    EXPECT_NE(std::find(released.begin(), released.end(), "script OnLeftMouseUpOutside front"), released.end());

    // A press held while the pointer leaves the window is still released outside the movie.
    ui.OnMouseMove(125, 125);
    Down(0);
    ui.ShowSystemCursor();
    EXPECT_FALSE(ui.PointerInside());
    EXPECT_EQ(HoverNames(), Lines{});
    Take();
    Up(0);
    EXPECT_EQ(Take(), (Lines{"upOutside front", "script OnLeftMouseUpOutside front"}));
}

TEST_F(InputDispatchTest, AfterThePointerLeftOnlyAButtonEventOnTheScreenBringsItBack)
{
    ui.SetScreenSize(100, 100);
    ui.OnMouseMove(125, 125);
    Down(0);
    ui.ShowSystemCursor();
    Take();
    // A captured release off the screen is over nothing, even where a movie would be hit.
    ui.OnMouseUp(Event_Mouse(Event_Base::Type_ButtonUp, 0, 125, 125));
    EXPECT_EQ(Take(), (Lines{"upOutside front", "script OnLeftMouseUpOutside front"}));
    // A tap back on the screen with no move first is tested where it lands.
    ui.OnMouseDown(Event_Mouse(Event_Base::Type_ButtonDown, 0, 25, 25));
    EXPECT_EQ(Take(), (Lines{"enter back", "script OnMouseEnter back", "down back", "script OnLeftMouseDown back"}));
    EXPECT_EQ(ui.MouseX(), 25);
}

TEST_F(InputDispatchTest, PressingRightWhileLeftIsHeldRunsBothScriptsAndRepeatsAreIgnored)
{
    RecordingListener listener("l");
    ui.AddEventListener(&listener);
    ui.OnMouseMove(125, 125);
    Down(0);
    Take();
    Down(0); // already down
    EXPECT_EQ(Take(), Lines{});
    Down(1);
    EXPECT_EQ(Take(), (Lines{"event l 0 b1 lrm110 @125,125", "down front", "script OnLeftMouseDown front",
                             "script OnRightMouseDown front"}));
    Up(1);
    Up(0);
    Take();
    Up(0); // not down
    EXPECT_EQ(Take(), Lines{});
    EXPECT_EQ(ui.ButtonsDown(), 0u);
}

TEST_F(InputDispatchTest, CtrlRightClickInspectsInsteadOfPressing)
{
    std::vector<std::string> inspected;
    ui.SetInspector([&](const InstanceHandle& h) { inspected.push_back(NameOf(h)); });
    back.SetInputEnabled(false);
    ui.OnMouseMove(75, 75);
    Take();
    Down(1, kCtrl);
    Up(1, kCtrl);
    EXPECT_EQ(inspected, (Lines{"front", "root"}));
    EXPECT_EQ(Take(), Lines{});
    EXPECT_EQ(ui.ButtonsDown(), 0u);
}

TEST_F(InputDispatchTest, ReleaseButtonsReleasesLeftThenRightThenMiddle)
{
    RecordingListener listener("l");
    ui.AddEventListener(&listener);
    ui.OnMouseMove(125, 125);
    Down(2);
    Down(1);
    Down(0);
    Take();
    ui.ReleaseButtons();
    EXPECT_EQ(Take(), (Lines{"event l 1 b0 lrm011 @125,125", "up front", "script OnLeftMouseUp front",
                             "event l 1 b1 lrm001 @125,125", "up front notLeft", "script OnRightMouseUp front",
                             "event l 1 b2 lrm000 @125,125", "up front notLeft"}));
    EXPECT_EQ(ui.ButtonsDown(), 0u);
    ui.ReleaseButtons();
    EXPECT_EQ(Take(), Lines{});
}

TEST_F(InputDispatchTest, GlobalKeyHandlersReceiveKeysOnceEach)
{
    RecordingListener listener("l");
    ui.AddEventListener(&listener);
    ui.AddGlobalHandler(front);
    ui.AddGlobalHandler(front); // registered twice, called once
    ui.AddGlobalHandler(back);
    EXPECT_EQ(ui.GlobalHandlers().size(), 2u);

    ui.OnKeyDown(27);
    EXPECT_EQ(Take(), (Lines{"event l 2 key27", "script OnCharDown front \"\\27\"", "script OnKeyDown front 27",
                             "keydown front 27", "script OnCharDown back \"\\27\"", "script OnKeyDown back 27",
                             "keydown back 27"}));
    ui.RemoveGlobalHandler(back);
    ui.OnKeyDown(0x70); // F1 reads as "p", with no keyboard mapping
    ui.OnKeyDown('A');
    ui.OnKeyDown(0xBA); // 128 and above: no character
    EXPECT_EQ(Take(), (Lines{"event l 2 key112", "script OnCharDown front \"p\"", "script OnKeyDown front 112",
                             "keydown front 112", "event l 2 key65", "script OnCharDown front \"A\"",
                             "script OnKeyDown front 65", "keydown front 65", "event l 2 key186",
                             "script OnKeyDown front 186", "keydown front 186"}));
    ui.OnKeyUp('Q');
    ui.OnChar(0x263A);
    EXPECT_EQ(Take(), (Lines{"event l 3 key81", "script OnKeyUp front \"Q\"", "keyup front 81", "char front 9786"}));
}

TEST_F(InputDispatchTest, ADeletedGlobalHandlerLeavesTheListAtTheNextKey)
{
    ui.AddGlobalHandler(front);
    ui.AddGlobalHandler(back);
    front.Delete(false);
    EXPECT_EQ(ui.GlobalHandlers().size(), 2u);
    Take();
    ui.OnKeyUp('X');
    EXPECT_EQ(Take(), (Lines{"script OnKeyUp back \"X\"", "keyup back 88"}));
    ASSERT_EQ(ui.GlobalHandlers().size(), 1u);
    EXPECT_EQ(ui.GlobalHandlers()[0], back);

    // A handler that deletes a later one during the same key: the later one hears nothing.
    ui.AddGlobalHandler(AddBoxMovie(u"third", 0, 0));
    struct DeleteThird : RecordingHandler {
        UserInterface* ui = nullptr;
        void OnKeyDown(const InstanceHandle&, uint32_t) override { ui->GetRoot()->FindChild(u"third").Delete(false); }
    } third;
    third.ui = &ui;
    HandleEx::ResolveMovie(back)->SetEventHandler(&third);
    ui.SetScriptHandlers(nullptr);
    Take();
    ui.OnKeyDown('Z');
    EXPECT_EQ(Take(), Lines{});
    EXPECT_EQ(ui.GlobalHandlers().size(), 1u);
}

TEST_F(InputDispatchTest, ListenersAddedOrRemovedInsideHandleEventAreHonoured)
{
    RecordingListener a("a"), b("b"), c("c");
    auto selfRemoving = std::make_unique<RecordingListener>("s");
    ui.AddEventListener(&a);
    ui.AddEventListener(selfRemoving.get());
    ui.AddEventListener(&b);
    // "a" removes "b" and adds "c"; "s" removes and destroys itself.
    a.then = [&] {
        ui.RemoveEventListener(&b);
        ui.AddEventListener(&c);
    };
    selfRemoving->then = [&] {
        ui.RemoveEventListener(selfRemoving.get());
        selfRemoving.reset();
    };
    ui.OnKeyDown(1);
    EXPECT_EQ(Take(), (Lines{"event a 2 key1", "event s 2 key1"}));
    a.then = nullptr;
    ui.OnKeyUp(1);
    EXPECT_EQ(Take(), (Lines{"event a 3 key1", "event c 3 key1"}));
}

TEST_F(InputDispatchTest, AMovieDeletedByItsOwnPressHandlerGetsNothingMore)
{
    handler.onDown = [](const InstanceHandle& h) {
        if (NameOf(h) == "front")
            h.Delete(false);
    };
    ui.OnMouseMove(75, 75);
    Take();
    Down(0);
    // Its script is not run after its handler deleted it; the movie below is still pressed.
    EXPECT_EQ(Take(), (Lines{"down front", "down back", "script OnLeftMouseDown back"}));
    ui.OnMouseMove(400, 400); // "back" is left and held for a release outside; "front" is gone
    EXPECT_EQ(Take(), (Lines{"leave back", "script OnMouseLeave back"}));
    Up(0);
    EXPECT_EQ(Take(), (Lines{"upOutside back", "script OnLeftMouseUpOutside back"}));
    root->Update(); // the deleted movie is destroyed
    ui.OnMouseMove(75, 75);
    EXPECT_EQ(HoverNames(), (Lines{"back", "root"}));
}

TEST_F(InputDispatchTest, AHoveredMovieDeletedBetweenEventsIsDroppedWithoutALeave)
{
    ui.OnMouseMove(75, 75);
    Down(0);
    front.Delete(false);
    root->Update();
    Take();
    ui.OnMouseMove(400, 400);
    EXPECT_EQ(Take(), (Lines{"leave back", "script OnMouseLeave back"}));
    Up(0);
    EXPECT_EQ(Take(), (Lines{"upOutside back", "script OnLeftMouseUpOutside back"}));
    EXPECT_EQ(HoverNames(), Lines{});

    // A press handler that deletes a movie later in the hover list: that one is skipped.
    handler.onDown = [&](const InstanceHandle& h) {
        if (NameOf(h) == "back")
            return;
        back.Delete(false);
    };
    AddBoxMovie(u"top", 50, 50);
    ui.OnMouseMove(75, 75);
    Take();
    Down(0);
    EXPECT_EQ(Take(), (Lines{"down top", "script OnLeftMouseDown top"}));
}

TEST_F(InputDispatchTest, AConsoleOverlayThatTakesAPressStopsIt)
{
    struct Filter : UserInterface::IPressFilter {
        bool take = true;
        bool TakesPress(int32_t, int32_t, int32_t) override { return take; }
    } filter;
    RecordingListener listener("l");
    ui.AddEventListener(&listener);
    ui.SetPressFilter(&filter);
    ui.OnMouseMove(75, 75);
    Take();
    Down(0);
    EXPECT_EQ(Take(), Lines{});
    EXPECT_EQ(ui.ButtonsDown(), 0u);
    filter.take = false;
    Down(0);
    EXPECT_EQ(Take().size(), 5u);
}

TEST_F(InputDispatchTest, TheSystemCursorHidesOnlyOverTheWindowWithACustomCursor)
{
    Instance_Movie* cursor = HandleEx::ResolveMovie(root->CreateEmptyChild(u"cursor"));
    cursor->SetInputEnabled(false);
    ui.SetCursorInstance(cursor->GetHandle());

    ui.OnMouseMove(10, 10); // configuration does not allow it
    ui.OnMouseMove(11, 10);
    EXPECT_EQ(ui.SystemCursorCount(), 0);
    ui.SetCustomCursorAllowed(true);
    ui.OnMouseMove(12, 10);
    EXPECT_EQ(ui.SystemCursorCount(), -1);
    for (int i = 0; i < 5; ++i)
        ui.OnMouseMove(13 + i, 10);
    EXPECT_EQ(g_cursorCounter, -1); // no drift from move to move
    EXPECT_EQ(g_cursorCalls, 1);

    ui.FinishStep();
    EXPECT_TRUE(cursor->GetVisible());
    EXPECT_EQ(cursor->GetX(), 17.0f);
    EXPECT_EQ(cursor->GetY(), 10.0f);

    ui.ShowSystemCursor();
    EXPECT_EQ(ui.SystemCursorCount(), 0);
    ui.FinishStep();
    EXPECT_FALSE(cursor->GetVisible());
    // Coming back: the first move only marks the pointer inside.
    ui.OnMouseMove(20, 20);
    EXPECT_EQ(ui.SystemCursorCount(), 0);
    ui.OnMouseMove(21, 20);
    EXPECT_EQ(ui.SystemCursorCount(), -1);

    // A cursor instance that goes away brings the system cursor back.
    cursor->Delete(false);
    ui.OnMouseMove(22, 20);
    EXPECT_EQ(ui.SystemCursorCount(), 0);
    EXPECT_EQ(g_cursorCounter, 0);
}

} // namespace
