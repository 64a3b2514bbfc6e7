#include "game/cards/dialogs/ConDialogs.h"

#include "engine/app/ScriptBridge.h"
#include "engine/core/strings/StringUtil.h"
#include "engine/graphics/particles/ParticleManager.h"
#include "engine/graphics/scene/UserInterface.h"
#include "engine/script/LuaValueRef.h"
#include "game/feedback/FeedbackReporter.h"
#include "game/profile/Profile.h"
#include "game/profile/ProfileMgr.h"
#include "game/screens/UIScreenMgr.h"
#include "game/screens/menus/UIBoardDialog.h"
#include "game/states/GameServices.h"
#include "game/states/GameState.h"

using namespace QuillEngine;

namespace {

const Profile* CurrentProfile()
{
    const ProfileMgr* profiles = ProfileMgr::Instance();
    return profiles ? profiles->CurrentProfile() : nullptr;
}

IGameServices* Game(const UIScreen& screen)
{
    return screen.Screens()->Services();
}

// The panel's close has usually asked for the album already; asking again would enter it twice.
void BackToAlbum(const UIScreen& screen)
{
    IGameServices* game = Game(screen);
    if (game && game->RequestedGameState() != GameState_Book)
        game->SwitchGameState(GameState_Book);
}

} // namespace

// --- the panel ---

UIConPanel::UIConPanel(IScreenHost& host, IConPanelOwner* owner) : UIScreen(host, kName, false), m_owner(owner) {}

void UIConPanel::Init()
{
    QuillLua::LuaValueRef table = ScriptBridge::TableOf(GetInstance());
    if (const Profile* profile = CurrentProfile(); profile && table.IsTable())
        table.SetNumber("honeymoonitems", profile->honeymoonItems);
    Refresh();
    UIScreen::Init();
}

void UIConPanel::Update()
{
    Refresh();
    UIScreen::Update();
}

void UIConPanel::Refresh()
{
    QuillLua::LuaValueRef table = ScriptBridge::TableOf(GetInstance());
    const Profile* profile = CurrentProfile();
    if (!table.IsTable() || !profile)
        return;
    if (const LevelRecord* level = profile->CurrentLevel()) {
        table.SetNumber("Time", level->bonusTimeLeft);
        table.SetNumber("hintcount", level->hints);
    }
    table.SetBoolean("ClockPlaying", profile->clockPlaying);
    table.SetBoolean("Relaxed", profile->relaxed);
}

void UIConPanel::Close(bool)
{
    BackToAlbum(*this);
}

float UIConPanel::WinAnimRow(const String& argument)
{
    const size_t comma = argument.find(u',');
    if (comma == String::npos)
        return 0.0f;
    String rest = argument.substr(comma + 1);
    const size_t next = rest.find(u',');
    if (next != String::npos)
        rest.resize(next);
    return ToFloat(rest);
}

void UIConPanel::OnScreenEvent(const String& event, const String& argument)
{
    IScreenHost* screens = Screens();
    if (event == u"hint") {
        if (m_owner)
            m_owner->UseHint();
    } else if (event == u"Albumn" && argument == kName) {
        FeedbackReporter::ReportLevelEvent("user");
        if (screens)
            screens->CloseAndSave(kName);
    } else if (event == u"WinAnim") {
        UserInterface* ui = UserInterface::Instance();
        ParticleManager* particles = ParticleManager::Instance();
        if (!ui || !particles)
            return;
        EmitterHandle sparks = particles->CreateAndAttach(u"perfectcollect", ui->GetRootHandle());
        sparks.SetPosition(kPrizeX, kPrizeY);
        sparks.SetTarget(kShelfX, WinAnimRow(argument) + kShelfOffset);
    } else if (event == u"ShowWinDialog" && argument == kName) {
        if (screens)
            screens->Open(std::make_unique<UIConWinLoseDialog>(*screens));
    } else if (event == u"Menu" && argument == kName) {
        if (screens && !screens->IsOpen(UIConBoardDialog::kName))
            screens->Open(std::make_unique<UIConBoardDialog>(*screens, m_owner ? m_owner->Phases() : nullptr));
    } else if (event == u"PauseGame" && argument == kName) {
        if (IGameServices* game = Game(*this))
            game->Pause();
    }
}

// --- the game menu ---

UIConBoardDialog::UIConBoardDialog(IScreenHost& host, StateMachine* owner) : UIScreen(host, kName, true), m_owner(owner)
{
}

void UIConBoardDialog::Init()
{
    if (m_owner)
        m_owner->SetState(kOwnerPaused);
    UIScreen::Init();
}

void UIConBoardDialog::Close(bool)
{
    // Only the pause this dialog put the board in is undone (a board dealt afresh meanwhile is
    // left as it is).
    if (m_owner && m_owner->GetState() == kOwnerPaused)
        m_owner->SetState(m_owner->GetPreviousState());
}

void UIConBoardDialog::OnScreenEvent(const String& event, const String& argument)
{
    UIBoardDialog::HandleMenuEvent(*this, event, argument);
}

// --- win and lose ---

UIConWinLoseDialog::UIConWinLoseDialog(IScreenHost& host) : UIScreen(host, kName, true) {}

void UIConWinLoseDialog::Init()
{
    QuillLua::LuaValueRef table = ScriptBridge::TableOf(GetInstance());
    const Profile* profile = CurrentProfile();
    const LevelRecord* level = profile ? profile->CurrentLevel() : nullptr;
    if (table.IsTable())
        table.SetNumber("lastLevel", level && level->number == kLastLevel ? 1 : 0);
    UIScreen::Init();
}

void UIConWinLoseDialog::Close(bool)
{
    if (IScreenHost* screens = Screens())
        screens->CloseAndSave(UIConPanel::kName);
    BackToAlbum(*this);
}
