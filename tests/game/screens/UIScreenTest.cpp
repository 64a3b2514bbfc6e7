// Screens and the screen manager: opening by name, loading and script events, closing (also
// from a screen's own script), broadcasts, the script globals and the console commands.

#include <gtest/gtest.h>

#include <map>

#include "engine/core/FeedbackClient.h"
#include "engine/core/console/Console.h"
#include "game/feedback/FeedbackReporter.h"
#include "game/screens/UIScreen.h"
#include "game/screens/UIScreenMgr.h"
#include "game/screens/menus/MenuDialogs.h"
#include "tests/game/screens/UIScreenTestSupport.h"

using namespace QuillEngine;

namespace {

class UIScreenTest : public ScreenTesting::SceneFixture {
protected:
    void SetUp() override
    {
        mgr = std::make_unique<UIScreenMgr>(nullptr, &console);
        mgr->SetScreenMaker(MakeMenuScreen);
        ui->Update(); // the dialogs layer loads
        ASSERT_TRUE(HandleEx::ResolveMovie(mgr->DialogsLayer()));
    }
    void TearDown() override { mgr.reset(); }

    Instance_Movie* Dialogs() { return HandleEx::ResolveMovie(mgr->DialogsLayer()); }

    Console console;
    std::unique_ptr<UIScreenMgr> mgr;
};

TEST_F(UIScreenTest, ShownScreenLoadsShowsItselfAndRunsItsInit)
{
    ASSERT_TRUE(mgr->Show(u"Menu", false));
    UIScreen* menu = mgr->FindScreen(u"Menu");
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->GetState(), 0);
    Instance_Base* instance = Dialogs()->FindChild(u"Menu").Resolve();
    ASSERT_NE(instance, nullptr);
    EXPECT_FALSE(instance->GetVisible()); // hidden until loaded
    Run("function root.dialogs.Menu:Init() inits = (inits or 0) + 1; initSelf = (self == root.dialogs.Menu) end");

    ui->Update();
    EXPECT_EQ(menu->GetState(), 1);
    EXPECT_TRUE(instance->GetVisible());
    EXPECT_EQ(Number("inits"), 1);
    EXPECT_TRUE(Bool("initSelf"));
    EXPECT_FALSE(menu->ConsumesMouse(menu->GetInstance()));
    ui->Update();
    EXPECT_EQ(Number("inits"), 1);
}

TEST_F(UIScreenTest, ModalScreenGetsItsBackgroundBehindIt)
{
    ASSERT_TRUE(mgr->Show(u"Menu", true));
    ui->Update();
    UIScreen* menu = mgr->FindScreen(u"Menu");
    EXPECT_TRUE(menu->ConsumesMouse(menu->GetInstance()));
    Instance_Base* background = menu->GetModalBackground().Resolve();
    ASSERT_NE(background, nullptr);
    EXPECT_EQ(background->GetName(), u"Menu_ModalBkg");
    EXPECT_FALSE(background->GetVisible());
    float sx = 0, sy = 0;
    background->GetScale(sx, sy);
    EXPECT_EQ(sx, 100.0f);
    const auto& order = Dialogs()->DrawList();
    ASSERT_EQ(order.size(), 2u);
    EXPECT_EQ(order[0], background);
    EXPECT_EQ(order[1]->GetName(), u"Menu");

    // Closing removes both once the manager next updates.
    EXPECT_TRUE(mgr->CloseAndCancel(u"Menu"));
    mgr->Update();
    ui->Update();
    EXPECT_EQ(Dialogs()->GetChildCount(), 0);
}

TEST_F(UIScreenTest, ScreensThatCannotBeMadeAreNotListed)
{
    EXPECT_FALSE(mgr->Show(u"NoSuchDefinition", false));
    EXPECT_EQ(mgr->OpenCount(), 0u);
    // The layer takes one instance of a name.
    EXPECT_TRUE(mgr->Show(u"Menu", false));
    EXPECT_FALSE(mgr->Show(u"Menu", false));
    EXPECT_EQ(mgr->OpenCount(), 1u);
    // Without a dialogs layer nothing opens.
    mgr.reset();
    UIScreenMgr bare(nullptr);
    EXPECT_FALSE(bare.Show(u"Menu", false)); // its layer has not loaded yet
    EXPECT_EQ(bare.OpenCount(), 0u);
}

TEST_F(UIScreenTest, CloseActsOnTheFirstOpenScreenAndDeletesAtTheNextUpdate)
{
    EXPECT_FALSE(mgr->Close(u"Menu", true));
    ASSERT_TRUE(mgr->Show(u"Menu", false));
    ASSERT_TRUE(mgr->Show(u"Other", false));
    ui->Update();
    const InstanceHandle menuInstance = mgr->FindScreen(u"Menu")->GetInstance();

    EXPECT_TRUE(mgr->CloseAndSave(u"Menu"));
    EXPECT_FALSE(mgr->IsOpen(u"Menu"));
    EXPECT_TRUE(mgr->IsOpen(u"Other"));
    EXPECT_EQ(mgr->ClosingCount(), 1u);
    EXPECT_TRUE(menuInstance.Resolve()); // still there until the manager updates
    EXPECT_FALSE(mgr->Close(u"Menu", false));

    mgr->Update();
    EXPECT_EQ(mgr->ClosingCount(), 0u);
    EXPECT_FALSE(menuInstance.Resolve());
    EXPECT_EQ(mgr->OpenCount(), 1u);
}

TEST_F(UIScreenTest, ScreenClosedFromItsOwnScriptEventFinishesTheHandler)
{
    ASSERT_TRUE(mgr->Show(u"Menu", false));
    ui->Update();
    UIScreen* menu = mgr->FindScreen(u"Menu");
    Run("function root.dialogs.Menu:MouseDown() CloseAndSave('Menu'); after = self:GetVisible() end");
    menu->OnMouseDown(menu->GetInstance(), false);
    EXPECT_FALSE(mgr->IsOpen(u"Menu"));
    EXPECT_TRUE(Bool("after")); // the handler ran on to its end on the live instance
    mgr->Update();
    ui->Update();
    EXPECT_FALSE(Dialogs()->FindChild(u"Menu").Resolve());
}

TEST_F(UIScreenTest, ScreensClosedDuringTheUpdatePassDoNotMakeItSkipOthers)
{
    // A screen whose update closes the screen before it: the pass must still reach the one after.
    struct Closer : UIScreen {
        Closer(IScreenHost& host, String name, String victim)
            : UIScreen(host, std::move(name), false), victim(std::move(victim))
        {
        }
        void Update() override
        {
            ++updates;
            if (!victim.empty())
                Screens()->Close(victim, false);
            victim.clear();
        }
        String victim;
        int updates = 0;
    };
    auto first = std::make_unique<Closer>(*mgr, u"Menu", u"");
    auto second = std::make_unique<Closer>(*mgr, u"Other", u"Menu");
    auto third = std::make_unique<Closer>(*mgr, u"CreditsDialog", u"");
    Closer* secondRaw = second.get();
    Closer* thirdRaw = third.get();
    ASSERT_TRUE(mgr->Open(std::move(first)));
    ASSERT_TRUE(mgr->Open(std::move(second)));
    ASSERT_TRUE(mgr->Open(std::move(third)));
    mgr->Update();
    EXPECT_EQ(secondRaw->updates, 1);
    EXPECT_EQ(thirdRaw->updates, 1);
    EXPECT_EQ(mgr->OpenCount(), 2u);
}

TEST_F(UIScreenTest, OnlyTheScreensOwnInstanceEventsReachItsScript)
{
    ASSERT_TRUE(mgr->Show(u"Menu", false));
    ui->Update();
    UIScreen* menu = mgr->FindScreen(u"Menu");
    Run("function root.dialogs.Menu:MouseUp() ups = (ups or 0) + 1 end;"
        "function root.dialogs.Menu:TimelineStop() stops = (stops or 0) + 1 end");
    menu->OnMouseUp(menu->GetInstance(), false);
    menu->OnTimelineStop(menu->GetInstance());
    // A button inside the screen raises events of its own name: the screen does not forward them.
    const InstanceHandle button = menu->GetInstance().CreateChild(u"Scene", u"button");
    ASSERT_TRUE(button.Resolve());
    menu->OnMouseUp(button, false);
    menu->OnLoad(button);
    EXPECT_EQ(Number("ups"), 1);
    EXPECT_EQ(Number("stops"), 1);
    EXPECT_EQ(menu->GetInstance(), mgr->FindScreen(u"Menu")->GetInstance());
}

TEST_F(UIScreenTest, EventsAndHandlerCallsReachOpenScreensInOrder)
{
    struct Listener : UIScreen {
        using UIScreen::UIScreen;
        void OnScreenEvent(const String& e, const String& a) override { heard.push_back(e + u":" + a); }
        std::vector<String> heard;
    };
    auto a = std::make_unique<Listener>(*mgr, u"Menu", false);
    auto b = std::make_unique<Listener>(*mgr, u"Other", false);
    Listener* ra = a.get();
    Listener* rb = b.get();
    ASSERT_TRUE(mgr->Open(std::move(a)));
    ASSERT_TRUE(mgr->Open(std::move(b)));
    ui->Update();
    Run("ScreenEvent('Done', 'x\\195\\169')");
    EXPECT_EQ(ra->heard, std::vector<String>{u"Done:x\u00E9"});
    EXPECT_EQ(rb->heard, std::vector<String>{u"Done:x\u00E9"});

    Run("function root.dialogs.Other:Ping() pinged = 'other' end");
    mgr->CallInScreen(u"Other", u"Ping");
    mgr->CallInScreen(u"Missing", u"Ping");
    EXPECT_STREQ(lua.GetGlobalString("pinged"), "other");
}

// A screen that closes itself or another from an event: the screens after it still hear the
// event, and a screen closed before its turn does not.
TEST_F(UIScreenTest, ClosingScreensFromAnEventNeitherSkipsNorReachesTheWrongOnes)
{
    struct Closer : UIScreen {
        using UIScreen::UIScreen;
        void OnScreenEvent(const String& e, const String&) override
        {
            heard.push_back(e);
            if (auto it = closes.find(e); it != closes.end())
                Screens()->CloseAndCancel(it->second);
        }
        std::vector<String> heard;
        std::map<String, String> closes; // event → screen to close
    };
    auto a = std::make_unique<Closer>(*mgr, u"Menu", false);
    auto b = std::make_unique<Closer>(*mgr, u"Other", false);
    auto c = std::make_unique<Closer>(*mgr, u"CreditsDialog", false);
    Closer* ra = a.get();
    Closer* rb = b.get();
    Closer* rc = c.get();
    ra->closes[u"one"] = u"Menu";          // closes itself
    rb->closes[u"two"] = u"CreditsDialog"; // closes a later one
    ASSERT_TRUE(mgr->Open(std::move(a)));
    ASSERT_TRUE(mgr->Open(std::move(b)));
    ASSERT_TRUE(mgr->Open(std::move(c)));
    ui->Update();

    mgr->ScreenEvent(u"one", u"");
    EXPECT_EQ(ra->heard, std::vector<String>{u"one"});
    EXPECT_EQ(rb->heard, std::vector<String>{u"one"});
    EXPECT_EQ(rc->heard, std::vector<String>{u"one"}) << "the screen after a closed one missed it";
    mgr->ScreenEvent(u"two", u"");
    EXPECT_EQ(rb->heard, (std::vector<String>{u"one", u"two"}));
    EXPECT_EQ(rc->heard, std::vector<String>{u"one"}) << "closed before its turn";
    mgr->Update();
}

// Each screen that opens is reported to the feedback client with its name.
TEST_F(UIScreenTest, OpeningAScreenIsReported)
{
    static std::vector<String> opened;
    opened.clear();
    FeedbackTable table = FeedbackClient::Entries();
    table.e9 = [](double, const char16_t* name) { opened.emplace_back(name ? name : u""); };
    FeedbackReporter::UseEntries(&table);
    FeedbackReporter::ResetSession();
    EXPECT_TRUE(mgr->Show(u"Menu", false));
    EXPECT_FALSE(mgr->Show(u"NoSuchDefinition", false));
    FeedbackReporter::UseEntries(nullptr);
    EXPECT_EQ(opened, std::vector<String>{u"Menu"});
}

TEST_F(UIScreenTest, ScriptGlobalsRefuseBadArgumentsAndGoWithTheManager)
{
    ASSERT_TRUE(mgr->Show(u"Menu", false));
    Run("ok, err = pcall(CloseAndSave, 12); ok2, err2 = pcall(ScreenEvent, 'a', nil)");
    EXPECT_FALSE(Bool("ok"));
    EXPECT_NE(std::string(lua.GetGlobalString("err")).find("bad argument #1"), std::string::npos);
    EXPECT_NE(std::string(lua.GetGlobalString("err2")).find("bad argument #2"), std::string::npos);
    EXPECT_TRUE(mgr->IsOpen(u"Menu"));
    Run("CloseAndCancel('Menu')");
    EXPECT_FALSE(mgr->IsOpen(u"Menu"));

    mgr.reset();
    // A script calling after the manager is gone gets nil, not a dangling object.
    Run("gone = (CloseAndSave == nil) and (ScreenEvent == nil) and (CloseAndCancel == nil)");
    EXPECT_TRUE(Bool("gone"));
}

TEST_F(UIScreenTest, ConsoleCommandsAndTheMenuKey)
{
    console.Execute(u"screenmgr.show Menu", false);
    EXPECT_TRUE(mgr->IsOpen(u"Menu"));
    EXPECT_FALSE(mgr->FindScreen(u"Menu")->IsModal());
    console.Execute(u"screenmgr.hide Menu", false);
    EXPECT_FALSE(mgr->IsOpen(u"Menu"));

    // The dialogs layer hears every key.
    ui->OnKeyDown(UIScreenMgr::kKeyMainMenu);
    EXPECT_TRUE(mgr->IsOpen(u"MainMenuDialog"));
    ui->OnKeyDown(UIScreenMgr::kKeyMainMenu);
    EXPECT_EQ(mgr->OpenCount(), 1u);
    ui->OnKeyDown('N');
    EXPECT_EQ(mgr->OpenCount(), 1u);

    mgr.reset();
    console.Execute(u"screenmgr.show Menu", false); // the commands went with the manager
    EXPECT_EQ(Root()->GetChildCount(), 0);
}

// The manager here has no game: a menu still opens its screens in the manager it was made for,
// and leaving it without a game to quit does nothing.
TEST_F(UIScreenTest, AMenuWithNoGameAroundItOpensItsScreensInItsOwnManagerAndQuitsNothing)
{
    ui->OnKeyDown(UIScreenMgr::kKeyMainMenu);
    ui->Update();
    ASSERT_TRUE(mgr->IsOpen(u"MainMenuDialog"));
    mgr->ScreenEvent(u"Credits", u"MainMenuDialog");
    ASSERT_TRUE(mgr->IsOpen(u"CreditsDialog"));
    EXPECT_TRUE(mgr->FindScreen(u"CreditsDialog")->IsModal());

    EXPECT_TRUE(mgr->CloseAndCancel(u"MainMenuDialog")); // a cancelled main menu quits the game
    mgr->Update();
    EXPECT_FALSE(mgr->IsOpen(u"MainMenuDialog"));
    EXPECT_TRUE(mgr->IsOpen(u"CreditsDialog"));
}

TEST_F(UIScreenTest, CreditsGetTheirMaskSettings)
{
    ASSERT_TRUE(mgr->Show(u"CreditsDialog", false));
    ui->Update();
    Run("m = root.dialogs.CreditsDialog; layer = m.masklayer; din = m.maskedin; dclear = m.maskclear;"
        "ingame = m.inGame");
    EXPECT_EQ(Number("layer"), 4);
    EXPECT_EQ(Number("din"), 65537);
    EXPECT_EQ(Number("dclear"), 131073);
    EXPECT_FALSE(Bool("ingame"));
}

} // namespace
