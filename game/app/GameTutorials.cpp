// The game's tutorials: each opens its screen the first time a player of a profile reaches its
// moment, and never again for that profile.

#include "game/app/Game.h"
#include "game/profile/Profile.h"
#include "game/profile/ProfileMgr.h"
#include "game/screens/UIScreenMgr.h"
#include "game/screens/menus/UIBoardDialog.h"

using namespace QuillEngine;

namespace {

void OpenBoardTutorial(UIScreenMgr* screens, const char16_t* name, StateMachine* board)
{
    if (screens)
        screens->Open(std::make_unique<UIBoardDialog>(*screens, name, true, board));
}

void OpenTutorialScreen(UIScreenMgr* screens, const char16_t* name)
{
    if (screens)
        screens->Show(name, true);
}

} // namespace

bool Game::TakeTutorialFlag(int flag)
{
    Profile* profile = m_profileMgr ? m_profileMgr->CurrentProfile() : nullptr;
    if (!profile || !profile->tutorial.Get(flag))
        return false;
    profile->tutorial.Set(flag, false);
    return true;
}

void Game::ShowTutorialIntro()
{
    if (TakeTutorialFlag(TutorialFlags::GameBegun))
        OpenTutorialScreen(m_screenMgr.get(), u"Book_TutorialIntroDialog");
}

void Game::ShowTutorialScene(StateMachine* board)
{
    if (TakeTutorialFlag(TutorialFlags::SceneBegun))
        OpenBoardTutorial(m_screenMgr.get(), u"Game_RegistryIntroDialog", board);
}

void Game::ShowTutorialBadClick(StateMachine* board)
{
    if (TakeTutorialFlag(TutorialFlags::TimeLost))
        OpenBoardTutorial(m_screenMgr.get(), u"Game_BadClickDialog", board);
}

void Game::ShowTutorialBluebird(StateMachine* board)
{
    if (TakeTutorialFlag(TutorialFlags::BluebirdPrompt))
        OpenBoardTutorial(m_screenMgr.get(), u"Game_TutorialBluebirdDialog", board);
}

void Game::ShowTutorialCrisis(StateMachine* board)
{
    if (TakeTutorialFlag(TutorialFlags::CrisisLevel))
        OpenBoardTutorial(m_screenMgr.get(), u"Book_TutorialCrisisDialog", board);
}

void Game::ShowTutorialConcentration()
{
    if (TakeTutorialFlag(TutorialFlags::ConcentrationBegun))
        OpenTutorialScreen(m_screenMgr.get(), u"Con_TutorialDialog");
}

void Game::ShowTutorialStory()
{
    if (TakeTutorialFlag(TutorialFlags::StorygameBegun))
        OpenTutorialScreen(m_screenMgr.get(), u"Story_TutorialDialog");
}
