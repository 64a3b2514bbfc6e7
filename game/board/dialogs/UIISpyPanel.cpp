#include "game/board/dialogs/UIISpyPanel.h"

#include <string>

#include "engine/app/ScriptBridge.h"
#include "engine/core/strings/StringUtil.h"
#include "engine/script/LuaValueRef.h"
#include "game/feedback/FeedbackReporter.h"
#include "game/profile/Profile.h"
#include "game/profile/ProfileMgr.h"
#include "game/screens/UIScreenMgr.h"
#include "game/screens/menus/UIBoardDialog.h"
#include "game/states/GameServices.h"
#include "game/states/GameState.h"

using namespace QuillEngine;

UIISpyPanel::UIISpyPanel(IScreenHost& host, IISpyPanelOwner* owner) : UIScreen(host, kName, false), m_owner(owner) {}

void UIISpyPanel::Init()
{
    Refresh();
    UIScreen::Init();
}

void UIISpyPanel::Update()
{
    Refresh();
    UIScreen::Update();
}

void UIISpyPanel::Refresh()
{
    QuillLua::LuaValueRef table = ScriptBridge::TableOf(GetInstance());
    const ProfileMgr* profiles = ProfileMgr::Instance();
    const Profile* profile = profiles ? profiles->CurrentProfile() : nullptr;
    if (!table.IsTable() || !profile)
        return;
    if (const LevelRecord* level = profile->CurrentLevel()) {
        table.SetNumber("Time", level->timeLeft);
        table.SetNumber("hintcount", level->hints);
        table.SetNumber("totalItems", level->items >= level->maxItems ? 0 : level->maxItems - level->items);
    }
    table.SetBoolean("ClockPlaying", profile->clockPlaying);
    table.SetBoolean("Relaxed", profile->relaxed);
    const SceneRecord* record = m_owner ? m_owner->Record() : nullptr;
    if (!record)
        return;
    for (size_t i = 0; i < record->findList.size(); ++i) {
        const FindListEntry& entry = *record->findList[i];
        const std::string index = std::to_string(i);
        table.SetString(("findItemName" + index).c_str(), ToUtf8(entry.text).c_str());
        table.SetBoolean(("findItemStatus" + index).c_str(), entry.found);
    }
}

void UIISpyPanel::Close(bool)
{
    if (IGameServices* game = m_owner ? m_owner->Services() : nullptr)
        game->SwitchGameState(GameState_Book);
}

void UIISpyPanel::CloseFor(IScreenHost* screens, const IISpyPanelOwner* owner)
{
    auto* panel = screens ? dynamic_cast<UIISpyPanel*>(screens->FindScreen(kName)) : nullptr;
    if (!panel || panel->m_owner != owner)
        return;
    panel->m_owner = nullptr;
    screens->CloseAndCancel(kName);
}

void UIISpyPanel::OnScreenEvent(const String& event, const String& argument)
{
    IScreenHost* screens = Screens();
    if (event == u"hint") {
        if (m_owner)
            m_owner->UseHint();
    } else if (event == u"Albumn" && argument == kName) {
        FeedbackReporter::ReportLevelEvent("user");
        if (m_owner)
            m_owner->RebindAlbum();
        if (screens)
            screens->CloseAndSave(kName);
    } else if (event == u"PauseGame" && argument == kName) {
        if (IGameServices* game = m_owner ? m_owner->Services() : nullptr)
            game->Pause();
    } else if (event == u"GameMenu" && argument == kName) {
        if (screens && !screens->IsOpen(u"GameMenuDialog"))
            screens->Open(std::make_unique<UIBoardDialog>(*screens, u"GameMenuDialog", true,
                                                          m_owner ? m_owner->Phases() : nullptr));
    } else if (event == u"TimeLost") {
        QuillLua::LuaValueRef table = ScriptBridge::TableOf(GetInstance());
        if (table.IsTable())
            table.SetNumber("flashTime", kFlashSteps);
    }
}
