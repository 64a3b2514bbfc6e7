// The interface package as the game ships it: every panel and dialog opens from its definition,
// runs its script without an error, and its buttons answer a click.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>

#include "engine/core/files/FSCompressedSource.h"
#include "engine/core/files/FileManager.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/graphics/scene/DefinitionLibrary.h"
#include "game/screens/UIScreen.h"
#include "game/screens/UIScreenMgr.h"
#include "tests/game/screens/UIScreenTestSupport.h"

using namespace QuillEngine;

namespace {

const char16_t* const kDialogs[] = {
    u"GameMenuDialog", u"Menu_ConfirmInGameQuitDialog", u"Game_BluebirdDialog", u"Game_SecretBluebirdDialog",
    u"Game_WinDialog", u"Game_LoseDialog", u"Game_OverDialog", u"Book_CrisisWonDialog",
    u"Game_RegistryIntroDialog", u"Game_BadClickDialog", u"Game_TutorialBluebirdDialog",
    u"Book_TutorialCrisisDialog", u"Book_TutorialIntroDialog", u"Book_TutorialDialog", u"Con_TutorialDialog",
    u"Story_TutorialDialog", u"MainMenuDialog", u"Menu_ConfirmQuitDialog", u"HelpDialog", u"CreditsDialog",
    u"Menu_HighScoresDialog", u"Menu_ProfileDialog", u"Menu_ConfirmDeleteDialog", u"Menu_RefuseDeleteDialog",
    u"OptionsDialog", u"Con_WinDialog", u"Con_LoseDialog",
};

class ScreenContentTest : public ScreenTesting::SceneFixture {
protected:
    void SetUp() override
    {
        const auto bin = std::filesystem::read_symlink("/proc/self/exe").parent_path();
        if (!std::filesystem::exists(bin / "ui.dat"))
            GTEST_SKIP() << "the data archives are not built (target quill_data)";
        ASSERT_TRUE(files.AddSource(new FSCompressedSource(FromUtf8((bin / "ui.dat").string()), u"ui")));
        XmlCache cache(&files);
        const XmlNode* libraries = cache.Get(u"libraries.xml");
        ASSERT_NE(libraries, nullptr);
        ASSERT_TRUE(ui->GetDefinitionLibrary()->ImportLibraries(cache, *libraries, nullptr));
        lua.RegisterGlobals(); // PlaySound and the other globals the scripts call
        // Script errors go to _ALERT; collect them instead of dropping them.
        Run("alerts = '' function _ALERT(message) alerts = alerts .. tostring(message) .. '\\n' end");
        mgr = std::make_unique<UIScreenMgr>(nullptr, nullptr);
        ui->Update();
    }
    void TearDown() override { mgr.reset(); }

    // Opens a screen and lets it load and run its script.
    UIScreen* Open(const char16_t* name, bool modal = true)
    {
        if (!mgr->Show(name, modal))
            return nullptr;
        ui->Update();
        return mgr->FindScreen(name);
    }
    std::string Alerts() { return lua.GetGlobalString("alerts"); }

    FileManager files;
    std::unique_ptr<UIScreenMgr> mgr;
};

TEST_F(ScreenContentTest, EveryDialogOpensRunsItsScriptAndClosesFromItsButton)
{
    for (const char16_t* name : kDialogs) {
        const std::string utf8 = ToUtf8(name);
        SCOPED_TRACE(utf8);
        UIScreen* screen = Open(name);
        ASSERT_NE(screen, nullptr) << "no definition";
        EXPECT_EQ(screen->GetState(), 1) << "did not load";
        EXPECT_EQ(Alerts(), "");
        // The first button of each dialog leaves it (the in-game menu's first button resumes play).
        static const std::map<std::string, const char*> kLeave = {
            {"GameMenuDialog", "resumeButton"},     {"Book_CrisisWonDialog", "button2"},
            {"Menu_ConfirmInGameQuitDialog", "stayButton"}, {"MainMenuDialog", "backButton"},
            {"Menu_ConfirmQuitDialog", "stayButton"}, {"HelpDialog", "closeButton"},
            {"CreditsDialog", "closeButton"},       {"Menu_HighScoresDialog", "closeButton"},
            {"Menu_ProfileDialog", "backButton"},   {"Menu_ConfirmDeleteDialog", "keepButton"},
            {"OptionsDialog", "cancelButton"}};
        const auto leave = kLeave.find(utf8);
        const char* button = leave != kLeave.end() ? leave->second : "okButton";
        Run("root.dialogs." + utf8 + "." + button + ":OnLeftMouseUp()");
        EXPECT_EQ(Alerts(), "");
        EXPECT_FALSE(mgr->IsOpen(name)) << button << " did not close it";
        mgr->Update();
    }
}

TEST_F(ScreenContentTest, PanelShowsTheFindListTheGamePublishes)
{
    UIScreen* panel = Open(u"ISpyPanel", false);
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(Alerts(), "");
    Run("local p = root.dialogs.ISpyPanel "
        "p.Time = 125 p.hintcount = 2 p.findItemName0 = '3 Roses' p.findItemStatus0 = false "
        "p.findItemName1 = 'Cake' p.findItemStatus1 = true p:OnUpdate() "
        "rose = p.item0:GetVisible() roseStruck = p.strike0:GetVisible() "
        "cakeStruck = p.strike1:GetVisible() third = p.item2:GetVisible()");
    EXPECT_EQ(Alerts(), "");
    EXPECT_TRUE(Bool("rose"));
    EXPECT_FALSE(Bool("roseStruck"));
    EXPECT_TRUE(Bool("cakeStruck"));
    EXPECT_FALSE(Bool("third")) << "rows past the list stay hidden";

    // The panel's buttons send the board its events; a release outside only restores the look.
    Run("hints = 0 function ScreenEvent(event, from) if event == 'hint' and from == 'ISpyPanel' then hints = hints + 1 end end "
        "local b = root.dialogs.ISpyPanel.hintButton b:OnLeftMouseDown() pressed = b:GetFrame() "
        "b:OnLeftMouseUpOutside() b:OnLeftMouseDown() b:OnLeftMouseUp()");
    EXPECT_EQ(Alerts(), "");
    EXPECT_EQ(Number("pressed"), 2);
    EXPECT_EQ(Number("hints"), 1);
}

} // namespace
