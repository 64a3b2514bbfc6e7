#pragma once
// The board's side panel (not modal): clock, hints, the list of things to find, and the menu,
// pause and album buttons. Every step it hands the script the current level's and scene's values;
// it routes the buttons' events to the board and the game. Closing it ends the game's board
// state: the player is back in the book.

#include "game/screens/UIScreen.h"

class Board;

class UIISpyPanel : public UIScreen {
public:
    static constexpr const char16_t* kName = u"ISpyPanel";
    // Steps the clock blinks after a costly miss.
    static constexpr double kFlashSteps = 120.0;

    explicit UIISpyPanel(Board* owner);

    void Init() override;
    void Update() override;
    void Close(bool save) override;
    void OnScreenEvent(const QuillEngine::String& event, const QuillEngine::String& argument) override;

private:
    void Refresh();

    Board* m_owner;
};
