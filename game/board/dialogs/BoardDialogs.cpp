#include "game/board/dialogs/BoardDialogs.h"

#include "engine/app/ScriptBridge.h"
#include "engine/core/strings/StringUtil.h"
#include "engine/script/LuaValueRef.h"
#include "game/board/dialogs/UIISpyPanel.h"
#include "game/profile/Profile.h"
#include "game/profile/ProfileMgr.h"
#include "game/screens/UIScreenMgr.h"

using namespace QuillEngine;

namespace {

Profile* CurrentProfile()
{
    const ProfileMgr* profiles = ProfileMgr::Instance();
    return profiles ? profiles->CurrentProfile() : nullptr;
}

std::string CurrentProfileName()
{
    const Profile* profile = CurrentProfile();
    return profile ? ToUtf8(profile->name) : std::string();
}

bool IsLastLevel(const Profile& profile)
{
    int32_t last = -1;
    for (const auto& level : profile.levels)
        last = std::max(last, level->number);
    return profile.CurrentLevelNumber() == last;
}

void ClosePanel(IScreenHost* screens)
{
    if (screens)
        screens->CloseAndSave(UIISpyPanel::kName);
}

} // namespace

// --- bluebirds ---

UIBoardBluebirdDialog::UIBoardBluebirdDialog(IScreenHost& host, StateMachine* owner, int32_t bluebirds)
    : UIBoardDialog(host, u"Game_BluebirdDialog", true, owner), m_bluebirds(bluebirds)
{
}

void UIBoardBluebirdDialog::Init()
{
    QuillLua::LuaValueRef table = ScriptBridge::TableOf(GetInstance());
    if (table.IsTable())
        table.SetNumber("bluebirds", m_bluebirds);
    UIBoardDialog::Init();
}

// --- won ---

UIBoardWinDialog::UIBoardWinDialog(IScreenHost& host, String scene, float seconds)
    : UIScreen(host, u"Game_WinDialog", true), m_profile(CurrentProfileName()), m_scene(ToUtf8(scene)),
      m_seconds(seconds)
{
}

void UIBoardWinDialog::Init()
{
    QuillLua::LuaValueRef table = ScriptBridge::TableOf(GetInstance());
    Profile* profile = CurrentProfile();
    if (table.IsTable() && profile) {
        const LevelRecord* level = profile->CurrentLevel();
        const int32_t number = profile->CurrentLevelNumber();
        table.SetNumber("complete", profile->CompleteScene() ? 1 : 0);
        const ProfileMgr* profiles = ProfileMgr::Instance();
        const LevelRecord* levelTemplate = profiles ? profiles->FindLevelTemplate(number) : nullptr;
        table.SetNumber("bonusType", levelTemplate ? levelTemplate->miniGameKind : 0);
        const bool last = IsLastLevel(*profile);
        if (last)
            table.SetNumber("totalTime", profile->TotalTimeUsed());
        table.SetNumber("crisis", CrisisIndexForLevel(last || !level ? number : number + 1));
        table.SetString("profile", m_profile.c_str());
        if (!m_scene.empty())
            table.SetString("scene", m_scene.c_str());
        if (m_seconds >= 0.0f && !profile->relaxed)
            table.SetNumber("sceneTime", m_seconds);
    }
    UIScreen::Init();
}

void UIBoardWinDialog::Close(bool)
{
    ClosePanel(Screens());
}

// --- lost ---

UIBoardLoseDialog::UIBoardLoseDialog(IScreenHost& host) : UIScreen(host, u"Game_LoseDialog", true) {}

void UIBoardLoseDialog::Init()
{
    QuillLua::LuaValueRef table = ScriptBridge::TableOf(GetInstance());
    const Profile* profile = CurrentProfile();
    if (table.IsTable()) {
        const LevelRecord* level = profile ? profile->CurrentLevel() : nullptr;
        const bool crisis = level && (level->crisis || IsLastLevel(*profile));
        table.SetNumber("crisis", crisis ? CrisisIndexForLevel(profile->CurrentLevelNumber()) : -1);
    }
    UIScreen::Init();
}

void UIBoardLoseDialog::Close(bool)
{
    ClosePanel(Screens());
}

// --- crisis won ---

UICrisisWonDialog::UICrisisWonDialog(IScreenHost& host, StateMachine* owner, bool bluebirdForm, IISpyPanelOwner* board)
    : UIScreen(host, u"Book_CrisisWonDialog", true), m_owner(owner), m_board(board), m_bluebirdForm(bluebirdForm)
{
    if (m_bluebirdForm && m_owner)
        m_owner->SetState(UIBoardDialog::kOwnerPaused);
}

void UICrisisWonDialog::Init()
{
    const Profile* profile = CurrentProfile();
    m_tileset = m_bluebirdForm ? 3 : CrisisIndexForLevel(profile ? profile->CurrentLevelNumber() : 0);
    QuillLua::LuaValueRef table = ScriptBridge::TableOf(GetInstance());
    if (table.IsTable())
        table.SetNumber("tileset", m_tileset);
    UIScreen::Init();
}

void UICrisisWonDialog::OnScreenEvent(const String& event, const String&)
{
    if (event == u"button1")
        m_choice = 0;
    else if (event == u"button2")
        m_choice = 1;
    else if (event == u"button3")
        m_choice = 2;
}

void UICrisisWonDialog::Close(bool)
{
    if (m_bluebirdForm)
        UIBoardDialog::ResumeOwner(m_owner);
    else
        ClosePanel(Screens());
    Profile* profile = CurrentProfile();
    if (!profile)
        return;
    switch (m_tileset) {
    case 0:
        profile->cake = m_choice;
        break;
    case 1:
        profile->bouquet = m_choice;
        break;
    case 2:
        profile->gown = m_choice;
        break;
    default:
        profile->gift = m_choice;
        break;
    }
    if (m_board)
        m_board->RebindAlbum();
}

// --- game over ---

UIGameOverDialog::UIGameOverDialog(IScreenHost& host)
    : UIScreen(host, u"Game_OverDialog", true), m_profile(CurrentProfileName())
{
}

void UIGameOverDialog::Init()
{
    QuillLua::LuaValueRef table = ScriptBridge::TableOf(GetInstance());
    const Profile* profile = CurrentProfile();
    if (table.IsTable()) {
        table.SetString("profile", m_profile.c_str());
        table.SetNumber("totalTime", profile ? profile->TotalTimeUsed() : 0.0);
    }
    UIScreen::Init();
}

void UIGameOverDialog::Close(bool)
{
    ClosePanel(Screens());
}
