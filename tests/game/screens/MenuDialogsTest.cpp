// The options dialog and the menu dialogs against a live game: settings handed to the script and
// taken back (or put back), the main menu's events, the player list and name entry, the scores.

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/app/ScriptBridge.h"
#include "engine/core/audio/Audio.h"
#include "engine/core/files/FSLooseFiles.h"
#include "engine/core/files/FileManager.h"
#include "engine/core/prefs/UserData.h"
#include "engine/core/resources/ResourceCache.h"
#include "engine/core/strings/StringUtil.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/graphics/scene/Instance_Text.h"
#include "game/app/Game.h"
#include "game/board/Board.h"
#include "game/cards/ConBoard.h"
#include "game/profile/ProfileMgr.h"
#include "game/screens/UIScreenMgr.h"
#include "game/screens/menus/MenuDialogs.h"
#include "game/screens/menus/UIMenuProfileDialog.h"
#include "game/screens/menus/UIOptionsDialog.h"
#include "platform/window/VirtualKeys.h"
#include "tests/game/screens/UIScreenTestSupport.h"
#include "tests/support/TestEnvironment.h"

using namespace QuillEngine;

namespace {

std::string ProfileRows()
{
    std::string rows;
    for (int i = 1; i <= 6; ++i)
        rows += "<Instance type=\"library\" definition=\"Row\" instancename=\"profile" + std::to_string(i) +
                "\" depth=\"" + std::to_string(i) + "\" create=\"0\" death=\"1\" regx=\"0\" regy=\"0\"/>";
    return rows;
}

class MenuDialogsTest : public ScreenTesting::SceneFixture {
protected:
    void SetUp() override
    {
        const std::string library = R"(<Library>
          <Definition type="movie" name="OptionsDialog" length="1" fps="60"/>
          <Definition type="movie" name="Menu_HighScoresDialog" length="1" fps="60"/>
          <Definition type="movie" name="Menu_ConfirmQuitDialog" length="1" fps="60"/>
          <Definition type="movie" name="Menu_ConfirmDeleteDialog" length="1" fps="60"/>
          <Definition type="movie" name="Menu_RefuseDeleteDialog" length="1" fps="60"/>
          <Definition type="movie" name="HelpDialog" length="1" fps="60"/>
          <Definition type="movie" name="Row" length="1" fps="60">
            <Instance type="text" instancename="profileName" depth="1" create="0" death="1" regx="0" regy="0"
                      text="" face="Nobody" size="12" color="0" align="left" width="100" height="20"/>
          </Definition>
          <Definition type="movie" name="Menu_ProfileDialog" length="1" fps="60">)" +
                                    ProfileRows() + "</Definition></Library>";
        auto doc = XmlNode::ParseDocument(library, false);
        int32_t added = 0, existing = 0;
        ASSERT_TRUE(doc && ui->GetDefinitionLibrary()->ImportLibrary(*doc, nullptr, added, existing));

        // Audio with the three classes the dialogs set.
        data = QuillTest::MakeTempDir("menu-audio");
        QuillTest::WriteFile(
            data / "Audio/Audio.xml",
            "<Audio><ClassDef name=\"Music\"/><ClassDef name=\"Ambient\"/><ClassDef name=\"Effects\"/></Audio>");
        ASSERT_TRUE(files.AddSource(new FSLooseFiles(FromUtf8(data.string() + "/"), u"input")));
        ASSERT_TRUE(cache.Init());
        ASSERT_TRUE(audio.Init(4));
        ASSERT_TRUE(audio.LoadDefinitions());

        // A save folder of this test's own, empty.
        const String window =
            FromUtf8(std::string("Menus ") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        store = std::make_unique<UserDataFolders>(window, u"Velvet Aisle");
        ASSERT_TRUE(store->GetSavedGamesFolder(false));
        std::filesystem::remove(std::filesystem::path(ToUtf8(store->SavedGamesFolder())) / "velv.save");

        Game::EngineLinks links;
        links.isFullscreen = [this] { return fullscreen; };
        links.setFullscreen = [this](bool on) { fullscreenCalls.push_back(on); };
        links.quit = [this] { ++quits; };
        links.showMessage = [this](const std::string&, const std::string& text) { messages.push_back(text); };
        game = std::make_unique<Game>(std::move(links));
        ui->Update(); // the dialogs layer loads
    }
    void TearDown() override
    {
        game.reset();
        store.reset();
    }

    void Step()
    {
        game->GetScreenMgr()->Update();
        ui->Update();
    }
    UIScreenMgr& Screens() { return *game->GetScreenMgr(); }
    ProfileMgr& Profiles() { return *game->GetProfileMgr(); }
    QuillLua::LuaValueRef Table(const char16_t* screen)
    {
        return ScriptBridge::TableOf(Screens().FindScreen(screen)->GetInstance());
    }
    float ClassVolume(const char16_t* name)
    {
        float v = -1;
        audio.GetClassVolume(name, v);
        return v;
    }
    Instance_Text* RowTextInstance(int row)
    {
        auto* dialog = HandleEx::ResolveMovie(Screens().FindScreen(u"Menu_ProfileDialog")->GetInstance());
        auto* rowMovie = HandleEx::ResolveMovie(dialog->FindChild(u"profile" + FromUtf8(std::to_string(row))));
        return HandleEx::ResolveText(rowMovie->FindChild(u"profileName"));
    }
    String RowText(int row) { return RowTextInstance(row)->GetText(); }

    std::filesystem::path data;
    FileManager files;
    XmlCache xml{&files};
    std::unique_ptr<UserDataFolders> store;
    ResourceCache cache;
    Audio audio{&cache};
    std::unique_ptr<Game> game;
    bool fullscreen = false;
    std::vector<bool> fullscreenCalls;
    int quits = 0;
    std::vector<std::string> messages;
};

} // namespace

TEST_F(MenuDialogsTest, OptionsApplyVolumesLiveAndSaveOrPutThemBack)
{
    Profile& profile = *Profiles().CurrentProfile();
    profile.musicVolume = 0.6;
    ASSERT_TRUE(Screens().Show(u"OptionsDialog", true));
    Step();
    QuillLua::LuaValueRef table = Table(u"OptionsDialog");
    EXPECT_DOUBLE_EQ(table.GetByName("MusicVolume").GetNumber(), 0.6);
    EXPECT_FALSE(table.GetByName("FullScreen").GetBoolean());
    EXPECT_FALSE(table.GetByName("Relaxed").GetBoolean());

    // A slider moved: heard at once, then put back by Cancel.
    table.SetNumber("MusicVolume", 0.25);
    table.SetNumber("EffectsVolume", 7); // out of range from a script: kept to 0..1
    Step();
    EXPECT_DOUBLE_EQ(profile.musicVolume, 0.25);
    EXPECT_FLOAT_EQ(ClassVolume(u"Music"), 0.25f);
    EXPECT_DOUBLE_EQ(profile.effectsVolume, 1.0);
    EXPECT_TRUE(Screens().CloseAndCancel(u"OptionsDialog"));
    EXPECT_DOUBLE_EQ(profile.musicVolume, 0.6);
    EXPECT_FLOAT_EQ(ClassVolume(u"Music"), 0.6f);
    Step();

    // Saved with the switches unchanged: full screen is not touched; relaxed mode stops the clock.
    ASSERT_TRUE(Screens().Show(u"OptionsDialog", true));
    Step();
    Table(u"OptionsDialog").SetBoolean("Relaxed", true);
    Table(u"OptionsDialog").SetNumber("AmbientVolume", 0.1);
    EXPECT_TRUE(Screens().CloseAndSave(u"OptionsDialog"));
    EXPECT_TRUE(fullscreenCalls.empty());
    EXPECT_TRUE(profile.relaxed);
    EXPECT_FALSE(profile.clockPlaying);
    EXPECT_FLOAT_EQ(ClassVolume(u"Ambient"), 0.1f);
    Step();
    ASSERT_TRUE(Screens().Show(u"OptionsDialog", true));
    Step();
    Table(u"OptionsDialog").SetBoolean("FullScreen", true);
    Table(u"OptionsDialog").SetBoolean("Relaxed", false);
    EXPECT_TRUE(Screens().CloseAndSave(u"OptionsDialog"));
    EXPECT_EQ(fullscreenCalls, std::vector<bool>{true});
    EXPECT_FALSE(profile.relaxed);
    EXPECT_TRUE(profile.clockPlaying);
}

TEST_F(MenuDialogsTest, TheMainMenuOpensOnceAndQuitsOnlyWhenToldTo)
{
    Screens().OnKeyDown(Screens().DialogsLayer(), UIScreenMgr::kKeyMainMenu);
    Screens().OnKeyDown(Screens().DialogsLayer(), UIScreenMgr::kKeyMainMenu);
    EXPECT_EQ(Screens().OpenCount(), 1u);
    Step();
    ASSERT_TRUE(Screens().IsOpen(u"MainMenuDialog"));
    EXPECT_TRUE(Screens().FindScreen(u"MainMenuDialog")->IsModal());

    Screens().ScreenEvent(u"Options", u"MainMenuDialog");
    EXPECT_NE(dynamic_cast<UIOptionsDialog*>(Screens().FindScreen(u"OptionsDialog")), nullptr);
    Screens().ScreenEvent(u"Help", u"MainMenuDialog");
    EXPECT_TRUE(Screens().IsOpen(u"HelpDialog"));

    Screens().ScreenEvent(u"New Profile Created", u"Ann");
    EXPECT_EQ(Profiles().CurrentProfile()->name, u"Ann");
    EXPECT_FALSE(Screens().IsOpen(u"MainMenuDialog"));
    EXPECT_EQ(quits, 0) << "closing with save goes on playing";
    Step();

    Screens().Open(std::make_unique<UIMainMenuDialog>(Screens()));
    Step();
    Screens().ScreenEvent(u"Quit Game", u"Menu_ConfirmQuitDialog");
    EXPECT_EQ(quits, 1);
}

TEST_F(MenuDialogsTest, ThePlayerListShowsSixRowsAndTakesNewNames)
{
    for (const char16_t* name : {u"Ann", u"Bea", u"Cid", u"Dot", u"Eve", u"Fay", u"Gus"})
        ASSERT_TRUE(Profiles().NewProfile(name));
    ASSERT_TRUE(Profiles().SwitchProfile(u"Bea"));
    auto owned = std::make_unique<UIMenuProfileDialog>(Screens());
    UIMenuProfileDialog* dialog = owned.get();
    ASSERT_TRUE(Screens().Open(std::move(owned)));
    Step();
    QuillLua::LuaValueRef table = Table(u"Menu_ProfileDialog");
    // Eight players: the first six rows are filled, the current one selected.
    const std::vector<Profile*> all = Profiles().GetProfiles();
    ASSERT_EQ(all.size(), 8u);
    for (int row = 1; row <= 6; ++row) {
        EXPECT_EQ(table.GetByName(("profileStatus" + std::to_string(row)).c_str()).GetNumber(), 1);
        EXPECT_EQ(FromUtf8(table.GetByName(("text" + std::to_string(row)).c_str()).GetString()),
                  all[size_t(row - 1)]->name);
    }
    EXPECT_EQ(table.GetByName("selectedIndex").GetNumber(), 3);
    EXPECT_EQ(dialog->SelectedRow(), 2);
    // What the dialog's script does: each row shows its text.
    auto* movie = HandleEx::ResolveMovie(dialog->GetInstance());
    for (int row = 1; row <= 6; ++row) {
        auto* rowMovie = HandleEx::ResolveMovie(movie->FindChild(u"profile" + FromUtf8(std::to_string(row))));
        HandleEx::ResolveText(rowMovie->FindChild(u"profileName"))
            ->SetText(FromUtf8(table.GetByName(("text" + std::to_string(row)).c_str()).GetString()));
    }

    // Typing a name into a row: the field's limit in all, spaces counted, typed at the cursor.
    Screens().ScreenEvent(u"New Entry Profile Entry", u"6");
    EXPECT_TRUE(dialog->Editing());
    // Keys that produce no character (function and number-pad keys, Escape) type nothing, even
    // where their codes are those of letters; nor does a space open a name.
    for (uint32_t key : {QuillPlatform::VK_F1 + 1, QuillPlatform::VK_NUMPAD0 + 5, uint32_t(QuillPlatform::VK_ESCAPE)})
        dialog->OnKeyDown(dialog->GetInstance(), key);
    dialog->OnChar(dialog->GetInstance(), 27);
    dialog->OnChar(dialog->GetInstance(), ' ');
    EXPECT_EQ(dialog->EnteredName(), u"");
    for (int i = 0; i < 20; ++i)
        dialog->OnChar(dialog->GetInstance(), (i % 2 ? 'a' : 'A') + i % 26);
    EXPECT_EQ(dialog->EnteredName(), u"AbCdEfGhIjKlMnO") << "the text's own case";
    ASSERT_EQ(dialog->EnteredName().size(), size_t(UIMenuProfileDialog::kMaxNameLength));
    dialog->OnChar(dialog->GetInstance(), ' ');
    EXPECT_EQ(dialog->EnteredName(), u"AbCdEfGhIjKlMnO") << "a space counts toward the limit";
    for (uint32_t key :
         {QuillPlatform::VK_BACK, QuillPlatform::VK_BACK, QuillPlatform::VK_LEFT, QuillPlatform::VK_LEFT})
        dialog->OnKeyDown(dialog->GetInstance(), key);
    dialog->OnChar(dialog->GetInstance(), ' ');
    EXPECT_EQ(dialog->EnteredName(), u"AbCdEfGhIjK lM");
    EXPECT_EQ(dialog->Cursor(), 12);
    dialog->OnChar(dialog->GetInstance(), 'x');
    EXPECT_EQ(dialog->EnteredName(), u"AbCdEfGhIjK xlM");
    dialog->OnChar(dialog->GetInstance(), 'y');
    EXPECT_EQ(dialog->EnteredName(), u"AbCdEfGhIjK xlM");
    for (int i = 0; i < 3; ++i)
        dialog->OnKeyDown(dialog->GetInstance(), QuillPlatform::VK_RIGHT);
    for (int i = 0; i < 17; ++i)
        dialog->OnKeyDown(dialog->GetInstance(), QuillPlatform::VK_BACK);
    EXPECT_EQ(dialog->EnteredName(), u"");
    EXPECT_EQ(dialog->Cursor(), 0);
    // Accented letters are letters; the multiplication and division signs among them are not.
    for (uint32_t character : {0xC5u, 0xD7u, 0xE9u, 0xF7u, 0x17Eu})
        dialog->OnChar(dialog->GetInstance(), character);
    EXPECT_EQ(dialog->EnteredName(), u"\u00C5\u00E9\u017E");
    for (int i = 0; i < 3; ++i)
        dialog->OnKeyDown(dialog->GetInstance(), QuillPlatform::VK_BACK);
    // A name that differs from a player's only in case is refused.
    for (uint32_t character : {uint32_t('a'), uint32_t('n'), uint32_t('n')})
        dialog->OnChar(dialog->GetInstance(), character);
    EXPECT_EQ(RowText(6), u"ann");
    Screens().ScreenEvent(u"AddNewProfile", u"");
    EXPECT_EQ(Profiles().GetProfiles().size(), 8u);
    EXPECT_EQ(dialog->SelectedRow(), 2) << "back to the row it opened on";
    ASSERT_EQ(messages.size(), 1u) << "a refusal says why";
    EXPECT_NE(messages[0].find("\"Ann\" already"), std::string::npos) << messages[0];
    EXPECT_EQ(RowText(6), u"New Profile");

    // The current player's marker follows the click that chooses the player to play.
    const uint32_t plain = RowTextInstance(1)->GetColor();
    EXPECT_NE(RowTextInstance(3)->GetColor(), plain);
    Screens().ScreenEvent(u"Profile Switch", u"5");
    EXPECT_NE(RowTextInstance(5)->GetColor(), plain);
    EXPECT_EQ(RowTextInstance(3)->GetColor(), plain);

    // Deleting: refused for the player who is playing, asked first for another.
    Screens().ScreenEvent(u"Profile Switch", u"3");
    Screens().ScreenEvent(u"Confirm Delete Prompt", u"Bea");
    EXPECT_TRUE(Screens().IsOpen(u"Menu_RefuseDeleteDialog"));
    Screens().ScreenEvent(u"Profile Switch", u"4");
    Screens().ScreenEvent(u"Confirm Delete Prompt", u"Cid");
    EXPECT_TRUE(Screens().IsOpen(u"Menu_ConfirmDeleteDialog"));
    Screens().ScreenEvent(u"Delete Profile", u"");
    for (const Profile* left : Profiles().GetProfiles())
        EXPECT_NE(left->name, u"Cid");
    EXPECT_EQ(Profiles().GetProfiles().size(), 7u);
    EXPECT_FALSE(Screens().IsOpen(u"Menu_ProfileDialog"));

    // A player added in the list is the one playing, and the marker moves to that row.
    Step();
    auto reopened = std::make_unique<UIMenuProfileDialog>(Screens());
    UIMenuProfileDialog* list = reopened.get();
    ASSERT_TRUE(Screens().Open(std::move(reopened)));
    Step();
    EXPECT_NE(RowTextInstance(3)->GetColor(), plain);
    Screens().ScreenEvent(u"New Entry Profile Entry", u"6");
    for (uint32_t character : {uint32_t('z'), uint32_t('e'), uint32_t('d')})
        list->OnChar(list->GetInstance(), character);
    Screens().ScreenEvent(u"AddNewProfile", u"");
    ASSERT_EQ(Profiles().CurrentProfile()->name, u"zed");
    EXPECT_NE(RowTextInstance(6)->GetColor(), plain);
    EXPECT_EQ(RowTextInstance(3)->GetColor(), plain);
}

TEST_F(MenuDialogsTest, ChoosingThePlayerWhoIsPlayingLeavesTheirCardGameRunning)
{
    ASSERT_TRUE(Profiles().NewProfile(u"Ann"));
    game->SetState(GameState_Book); // the album: a change of player reaches the games through it
    // The list opened from the menu, the row of the player who is playing clicked, then Play.
    const auto chooseThePlayerPlaying = [this] {
        ASSERT_TRUE(Screens().Open(std::make_unique<UIMenuProfileDialog>(Screens())));
        Step();
        const std::vector<Profile*> all = Profiles().GetProfiles();
        size_t current = 0;
        for (size_t row = 0; row < all.size(); ++row) {
            RowTextInstance(int(row) + 1)->SetText(all[row]->name); // what the dialog's script does
            current = all[row] == Profiles().CurrentProfile() ? row : current;
        }
        Screens().ScreenEvent(u"Profile Switch", FromUtf8(std::to_string(current + 1)));
        Screens().CloseAndSave(u"Menu_ProfileDialog");
        Step();
    };

    // (A scene needs its pictures to open; ProfileMgrTest holds that a board is not reset.)
    game->SetState(GameState_Concentration);
    chooseThePlayerPlaying();
    EXPECT_EQ(game->GetState(), GameState_Concentration);
    EXPECT_TRUE(game->GetConBoard()->IsStarted());
    EXPECT_EQ(Profiles().CurrentProfile()->name, u"Ann");
}

TEST_F(MenuDialogsTest, HighScoresShowHoursAndMinutes)
{
    ASSERT_TRUE(Profiles().GetHighScores().Insert(u"Ann", 3660));
    Screens().Open(std::make_unique<UIMenuHighScoresDialog>(Screens()));
    Step();
    QuillLua::LuaValueRef table = Table(u"Menu_HighScoresDialog");
    const auto& entries = Profiles().GetHighScores().Entries();
    size_t found = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        const std::string shown = table.GetByName(("entry" + n).c_str()).GetString();
        EXPECT_EQ(shown, n + " - " + ToUtf8(entries[i].name));
        if (entries[i].name == u"Ann") {
            found = i + 1;
            EXPECT_STREQ(table.GetByName(("entryTime" + n).c_str()).GetString(), "1hrs 1mins");
        }
    }
    EXPECT_NE(found, 0u);
    EXPECT_TRUE(table.GetByName(("entry" + std::to_string(entries.size() + 1)).c_str()).IsNil());
}
