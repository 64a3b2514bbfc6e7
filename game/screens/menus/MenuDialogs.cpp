#include "game/screens/menus/MenuDialogs.h"

#include "engine/app/ScriptBridge.h"
#include "engine/core/strings/Format.h"
#include "engine/core/strings/StringUtil.h"
#include "engine/script/LuaValueRef.h"
#include "game/profile/ProfileMgr.h"
#include "game/screens/UIScreenMgr.h"
#include "game/screens/menus/UIMenuProfileDialog.h"
#include "game/screens/menus/UIOptionsDialog.h"
#include "game/states/GameServices.h"

using namespace QuillEngine;

std::unique_ptr<UIScreen> MakeMenuScreen(IScreenHost& host, const String& name, bool modal)
{
    if (name == u"OptionsDialog")
        return std::make_unique<UIOptionsDialog>(host, name, modal);
    if (name == u"MainMenuDialog")
        return std::make_unique<UIMainMenuDialog>(host, name);
    return nullptr;
}

// --- main menu ---

UIMainMenuDialog::UIMainMenuDialog(IScreenHost& host, String name) : UIScreen(host, std::move(name), true) {}

void UIMainMenuDialog::Close(bool save)
{
    if (save)
        return;
    if (const GameLinks& links = Links(); links.quit)
        links.quit();
}

void UIMainMenuDialog::OnScreenEvent(const String& event, const String& argument)
{
    IScreenHost* screens = Screens();
    ProfileMgr* profiles = ProfileMgr::Instance();
    if (!screens)
        return;
    if (event == u"Switch Profile") {
        screens->Open(std::make_unique<UIMenuProfileDialog>(*screens));
    } else if (event == u"Options") {
        screens->Open(std::make_unique<UIOptionsDialog>(*screens, u"OptionsDialog", true));
    } else if (event == u"High Scores") {
        screens->Open(std::make_unique<UIMenuHighScoresDialog>(*screens));
    } else if (event == u"Confirm Quit") {
        ShowModalScreen(u"Menu_ConfirmQuitDialog");
    } else if (event == u"Profile Selection") {
        if (profiles)
            profiles->SwitchProfile(argument);
    } else if (event == u"New Profile Created") {
        if (profiles)
            profiles->NewProfile(argument);
        screens->CloseAndSave(u"MainMenuDialog");
    } else if (event == u"Quit Game") {
        screens->CloseAndCancel(u"MainMenuDialog");
    } else if (event == u"Help" && GetName() == u"MainMenuDialog") {
        ShowModalScreen(u"HelpDialog");
    } else if (event == u"Credits" && GetName() == u"MainMenuDialog") {
        ShowModalScreen(u"CreditsDialog");
    }
}

// --- high scores ---

UIMenuHighScoresDialog::UIMenuHighScoresDialog(IScreenHost& host) : UIScreen(host, u"Menu_HighScoresDialog", true) {}

void UIMenuHighScoresDialog::Init()
{
    QuillLua::LuaValueRef table = ScriptBridge::TableOf(GetInstance());
    const ProfileMgr* profiles = ProfileMgr::Instance();
    if (table.IsTable() && profiles) {
        int32_t number = 1;
        for (const HighScoreEntry& entry : profiles->GetHighScores().Entries()) {
            const std::string key = "entry" + std::to_string(number);
            const std::string timeKey = "entryTime" + std::to_string(number);
            table.SetString(key.c_str(), ToUtf8(Format(u"%d - %s", {number, entry.name})).c_str());
            const uint32_t t = entry.time;
            table.SetString(timeKey.c_str(),
                            ToUtf8(Format(u"%dhrs %dmins", {int32_t(t / 3600), int32_t((t % 3600) / 60)})).c_str());
            ++number;
        }
    }
    UIScreen::Init();
}
