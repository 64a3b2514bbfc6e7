#pragma once
// The board's side panel (not modal): clock, hints, the list of things to find, and the menu,
// pause and album buttons. Every step it hands the script the current level's and scene's values;
// it routes the buttons' events to the board and the game. Closing it ends the game's board
// state: the player is back in the book.

#include "game/screens/UIScreen.h"

class IGameServices;
class SceneRecord;
class StateMachine;

// What the panel asks of the board it stands beside.
class IISpyPanelOwner {
public:
    // The current profile's record of the scene, whose find list the panel shows.
    virtual SceneRecord* Record() const = 0;
    virtual void UseHint() = 0;
    // The player leaves the board for the album, whose pages must show the board's progress.
    virtual void RebindAlbum() = 0;
    // The board's own phases, which the game menu holds still while it is open.
    virtual StateMachine* Phases() = 0;
    virtual IGameServices* Services() const = 0;

protected:
    ~IISpyPanelOwner() = default;
};

class UIISpyPanel : public UIScreen {
public:
    static constexpr const char16_t* kName = u"ISpyPanel";
    // Steps the clock blinks after a costly miss.
    static constexpr double kFlashSteps = 120.0;

    UIISpyPanel(IScreenHost& host, IISpyPanelOwner* owner);

    void Init() override;
    void Update() override;
    void Close(bool save) override;
    void OnScreenEvent(const QuillEngine::String& event, const QuillEngine::String& argument) override;
    // An owner on its way out closes its panel without leaving the board (no switch of state): the
    // panel lets go of it at once.
    static void CloseFor(IScreenHost* screens, const IISpyPanelOwner* owner);

private:
    void Refresh();

    IISpyPanelOwner* m_owner;
};
