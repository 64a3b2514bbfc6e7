#pragma once
// The main menu and its sub-dialogs. Their scripts draw the buttons and send named screen events
// ("ScreenEvent"); these classes answer them, fill the script tables with what to show, and take
// the player's choices into the profile manager. Every one of them is modal.

#include <memory>

#include "game/screens/UIScreen.h"

// "MainMenuDialog": opens the other menus; closing it without saving ends the program.
class UIMainMenuDialog : public UIScreen {
public:
    explicit UIMainMenuDialog(IScreenHost& host, QuillEngine::String name = u"MainMenuDialog");
    void Close(bool save) override;
    void OnScreenEvent(const QuillEngine::String& event, const QuillEngine::String& argument) override;
};

// "Menu_HighScoresDialog": the high-score table.
class UIMenuHighScoresDialog : public UIScreen {
public:
    explicit UIMenuHighScoresDialog(IScreenHost& host);
    void Init() override;
};

// The screens of the menus that have a class of their own ("MainMenuDialog", "OptionsDialog"); null
// for any other name. The game hands it to the screen manager as its screen maker.
std::unique_ptr<UIScreen> MakeMenuScreen(IScreenHost& host, const QuillEngine::String& name, bool modal);
