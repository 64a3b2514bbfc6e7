#pragma once
// The dialogs a scene board opens at its milestones: a bluebird count reached, the scene won, lost,
// the crisis averted (or the fiftieth bluebird), the last level finished. Each hands its values to
// its script before the script's Init runs; the end-of-scene ones close the board panel, which
// takes the game back to the book.

#include <string>

#include "game/board/dialogs/UIISpyPanel.h"
#include "game/screens/menus/UIBoardDialog.h"

// "Game_BluebirdDialog": a bluebird total of 1, 5, 10 or 25 reached.
class UIBoardBluebirdDialog : public UIBoardDialog {
public:
    UIBoardBluebirdDialog(IScreenHost& host, StateMachine* owner, int32_t bluebirds);
    void Init() override;
    int32_t Bluebirds() const { return m_bluebirds; }

private:
    int32_t m_bluebirds;
};

// "Game_WinDialog". `scene` names the scene just won (its photo shows in the dialog) and
// `seconds` is the time its chapter's clock has run; a relaxed player's clock shows no time.
class UIBoardWinDialog : public UIScreen {
public:
    explicit UIBoardWinDialog(IScreenHost& host, QuillEngine::String scene = {}, float seconds = -1.0f);
    void Init() override;
    void Close(bool save) override;

private:
    std::string m_profile;
    std::string m_scene;
    float m_seconds;
};

// "Game_LoseDialog".
class UIBoardLoseDialog : public UIScreen {
public:
    explicit UIBoardLoseDialog(IScreenHost& host);
    void Init() override;
    void Close(bool save) override;
};

// "Book_CrisisWonDialog": the player picks one of three rewards. In its bluebird form (the
// fiftieth bluebird) the board waits behind it and the pick fills the gift record; in its crisis
// form it ends the scene and the pick fills the record of the level's crisis. Once the pick is
// recorded, the album's pages (which show it) are bound again through `board`.
class UICrisisWonDialog : public UIScreen {
public:
    UICrisisWonDialog(IScreenHost& host, StateMachine* owner, bool bluebirdForm, IISpyPanelOwner* board = nullptr);
    void Init() override;
    void Close(bool save) override;
    void OnScreenEvent(const QuillEngine::String& event, const QuillEngine::String& argument) override;
    int32_t Choice() const { return m_choice; }
    int32_t Tileset() const { return m_tileset; }

private:
    // No pick before a button: the first reward.
    int32_t m_choice = 0;
    StateMachine* m_owner;
    IISpyPanelOwner* m_board;
    bool m_bluebirdForm;
    int32_t m_tileset = 1;
};

// "Game_OverDialog": the last level finished.
class UIGameOverDialog : public UIScreen {
public:
    explicit UIGameOverDialog(IScreenHost& host);
    void Init() override;
    void Close(bool save) override;

private:
    std::string m_profile;
};
