#include "game/screens/menus/UIBoardDialog.h"

#include "game/screens/UIScreenMgr.h"
#include "game/screens/menus/MenuDialogs.h"
#include "game/screens/menus/UIOptionsDialog.h"
#include "game/states/GameServices.h"

using namespace QuillEngine;

UIBoardDialog::UIBoardDialog(IScreenHost& host, String name, bool modal, StateMachine* owner)
    : UIScreen(host, std::move(name), modal), m_owner(owner)
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
    HandleMenuEvent(*this, event, argument);
}

bool UIBoardDialog::HandleMenuEvent(UIScreen& from, const String& event, const String& screen)
{
    IScreenHost* screens = from.Screens();
    if (!screens)
        return false;
    if (event == u"InGame Quit") {
        screens->CloseAndCancel(u"GameMenuDialog");
        if (const GameLinks& links = from.Links(); links.quit)
            links.quit();
        return true;
    }
    if (screen != u"GameMenuDialog")
        return false;
    if (event == u"Options")
        screens->Open(std::make_unique<UIOptionsDialog>(*screens, u"OptionsDialog", true));
    else if (event == u"Help")
        from.ShowModalScreen(u"HelpDialog");
    else if (event == u"Credits")
        from.ShowModalScreen(u"CreditsDialog");
    else if (event == u"Confirm InGame Quit")
        from.ShowModalScreen(u"Menu_ConfirmInGameQuitDialog");
    else
        return false;
    return true;
}
