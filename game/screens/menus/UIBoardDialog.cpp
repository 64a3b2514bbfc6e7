#include "game/screens/menus/UIBoardDialog.h"

#include "game/screens/UIScreenMgr.h"
#include "game/screens/menus/MenuDialogs.h"
#include "game/screens/menus/UIOptionsDialog.h"
#include "game/states/GameServices.h"

using namespace QuillEngine;

UIBoardDialog::UIBoardDialog(String name, bool modal, StateMachine* owner)
    : UIScreen(std::move(name), modal), m_owner(owner)
{
}

void UIBoardDialog::Init()
{
    if (m_owner)
        m_owner->SetState(kOwnerPaused);
    UIScreen::Init();
}

void UIBoardDialog::Close(bool)
{
    ResumeOwner(m_owner);
}

void UIBoardDialog::ResumeOwner(StateMachine* owner)
{
    if (owner && owner->GetState() == kOwnerPaused)
        owner->SetState(kOwnerPlaying);
}

void UIBoardDialog::OnScreenEvent(const String& event, const String& argument)
{
    HandleMenuEvent(event, argument);
}

bool UIBoardDialog::HandleMenuEvent(const String& event, const String& screen)
{
    UIScreenMgr* screens = UIScreenMgr::Instance();
    if (!screens)
        return false;
    if (event == u"InGame Quit") {
        screens->CloseAndCancel(u"GameMenuDialog");
        if (const GameLinks& links = UIScreenMgr::Links(); links.quit)
            links.quit();
        return true;
    }
    if (screen != u"GameMenuDialog")
        return false;
    if (event == u"Options")
        screens->Open(std::make_unique<UIOptionsDialog>(u"OptionsDialog", true));
    else if (event == u"Help")
        ShowModalScreen(u"HelpDialog");
    else if (event == u"Credits")
        ShowModalScreen(u"CreditsDialog");
    else if (event == u"Confirm InGame Quit")
        ShowModalScreen(u"Menu_ConfirmInGameQuitDialog");
    else
        return false;
    return true;
}
