#pragma once
// A modal dialog over a board (a scene board or the card game) that holds its owner still while it
// is open: the game menu, the board tutorials and the secret-bluebird notice. The game menu's
// events are answered here for both boards.

#include "game/screens/UIScreen.h"

class UIBoardDialog : public UIScreen {
public:
    // The owner's states while the dialog is open and once play goes on.
    static constexpr int32_t kOwnerPlaying = 2;
    static constexpr int32_t kOwnerPaused = 3;

    UIBoardDialog(IScreenHost& host, QuillEngine::String name, bool modal, StateMachine* owner);

    void Init() override;
    void Close(bool save) override;
    void OnScreenEvent(const QuillEngine::String& event, const QuillEngine::String& argument) override;

    // The game menu's events ("Options", "Help", "Credits", "Confirm InGame Quit" from the menu;
    // "InGame Quit" from any screen), as seen by the screen `from`. True when the event was one of them.
    static bool HandleMenuEvent(UIScreen& from, const QuillEngine::String& event, const QuillEngine::String& screen);
    // Puts the owner back into play, but only from the pause this kind of dialog puts it in: a
    // board that was won or lost behind the dialog stays won or lost.
    static void ResumeOwner(StateMachine* owner);

protected:
    StateMachine* Owner() const { return m_owner; }

private:
    StateMachine* m_owner;
};
