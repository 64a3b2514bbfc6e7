#pragma once
// The main menu and its sub-dialogs. Their scripts draw the buttons and send named screen events
// ("ScreenEvent"); these classes answer them, fill the script tables with what to show, and take
// the player's choices into the profile manager. Every one of them is modal.

#include "game/screens/UIScreen.h"

// "MainMenuDialog": opens the other menus; closing it without saving ends the program.
class UIMainMenuDialog : public UIScreen {
public:
    explicit UIMainMenuDialog(QuillEngine::String name = u"MainMenuDialog");
    void Close(bool save) override;
    void OnScreenEvent(const QuillEngine::String& event, const QuillEngine::String& argument) override;
};

// "Menu_ConfirmDeleteDialog": asks before a profile is deleted.
class UIMenuConfirmDeleteDialog : public UIScreen {
public:
    explicit UIMenuConfirmDeleteDialog(QuillEngine::String profileName);
    void Init() override;

private:
    QuillEngine::String m_profileName;
};

// "Menu_HighScoresDialog": the high-score table.
class UIMenuHighScoresDialog : public UIScreen {
public:
    UIMenuHighScoresDialog();
    void Init() override;
};

// Opens a plain modal screen; used for the menus' confirm, help and credits screens.
bool ShowModalScreen(const QuillEngine::String& name);
