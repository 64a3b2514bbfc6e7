#pragma once
// The card game's screens: its side panel "ConPanel" (clock, hints, prize shelf, buttons), its
// game menu, and its win and lose dialogs. The panel hands its script the level's values every
// step and routes the script's events to the board and the game.

#include "game/screens/UIScreen.h"

class IGameServices;
class StateMachine;

// What the card game's panel asks of the card table it stands beside.
class IConPanelOwner {
public:
    virtual void UseHint() = 0;
    // The table's own phases, which the game menu holds still while it is open.
    virtual StateMachine* Phases() = 0;

protected:
    ~IConPanelOwner() = default;
};

class UIConPanel : public UIScreen {
public:
    static constexpr const char16_t* kName = u"ConPanel";
    // Where the prize sparks start, and the panel's prize shelf they fly to.
    static constexpr float kPrizeX = 475.0f;
    static constexpr float kPrizeY = 300.0f;
    static constexpr float kShelfX = 75.0f;
    static constexpr float kShelfOffset = 32.0f;

    UIConPanel(IScreenHost& host, IConPanelOwner* owner);

    void Init() override;
    void Update() override;
    void Close(bool save) override;
    void OnScreenEvent(const QuillEngine::String& event, const QuillEngine::String& argument) override;

    // The shelf row named by a "WinAnim" argument ("index,y"): its second piece; 0 when absent.
    static float WinAnimRow(const QuillEngine::String& argument);
    IConPanelOwner* Owner() const { return m_owner; }

private:
    void Refresh();

    IConPanelOwner* m_owner;
};

// The game menu over the card game: the board waits (Inactive) while it is open and goes back to
// the state it had.
class UIConBoardDialog : public UIScreen {
public:
    static constexpr const char16_t* kName = u"GameMenuDialog";
    static constexpr int32_t kOwnerPaused = 3;

    UIConBoardDialog(IScreenHost& host, StateMachine* owner);

    void Init() override;
    void Close(bool save) override;
    void OnScreenEvent(const QuillEngine::String& event, const QuillEngine::String& argument) override;

private:
    StateMachine* m_owner;
};

// The card game won: closing it closes the panel and takes the player back to the album.
class UIConWinLoseDialog : public UIScreen {
public:
    static constexpr const char16_t* kName = u"Con_WinDialog";
    // The card game's last level.
    static constexpr int32_t kLastLevel = 15;

    explicit UIConWinLoseDialog(IScreenHost& host);

    void Init() override;
    void Close(bool save) override;
};

// The clock ran out; the board has dealt again behind it.
class UIConLoseDialog : public UIScreen {
public:
    static constexpr const char16_t* kName = u"Con_LoseDialog";
    explicit UIConLoseDialog(IScreenHost& host) : UIScreen(host, kName, true) {}
};
