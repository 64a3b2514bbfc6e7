#pragma once
// The card memory game: a grid of face-down cards dealt from the card table "concentration.xml";
// the player turns two at a time to find equal faces against the level's bonus clock, with
// hints, clock cards that add time and jokers that complete any pair. The game owns one board for
// its whole life, starts it on entering its card-game state and saves and resets it on leaving.

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/core/console/ConsoleCommands.h"
#include "engine/graphics/scene/InstanceTree.h"
#include "game/cards/ConCard.h"
#include "game/cards/dialogs/ConDialogs.h"
#include "game/states/StateMachine.h"

namespace QuillEngine {
class XmlNode;
}

class IGameServices;
class LevelRecord;
class Profile;

// One "level" entry of the card table.
struct ConLevelDef {
    uint32_t rows = 0;
    uint32_t cols = 0;
    uint32_t level = 0;
    uint32_t cardset = 0;
    uint32_t jokers = 0;
    uint32_t clocks = 0;
};

class ConBoard : public StateMachine,
                 public ICardTable,
                 public IConPanelOwner,
                 public QuillEngine::IInstanceEventHandler,
                 public QuillEngine::IConsoleHandler {
public:
    enum State : int32_t {
        State_Dealing = 0,
        State_Ready = 1,
        State_Playing = 2,
        State_Inactive = 3,
        State_Won = 4,
        State_Lost = 6,
        State_HintShown = 7
    };

    static constexpr const char16_t* kTableFile = u"concentration.xml";
    static constexpr float kStep = 1.0f / 60.0f;
    static constexpr float kMatchTimeBonus = 20.0f;
    static constexpr float kSneakSeconds = 1.0f;
    static constexpr float kTimerTolerance = 1e-4f;
    // The grid: 500 x 500 at (220, 50), 5 px between cards.
    static constexpr float kGridLeft = 220.0f;
    static constexpr float kGridTop = 50.0f;
    static constexpr float kGridSize = 500.0f;
    static constexpr float kGap = 5.0f;
    // The album's card games each win a keepsake of their own: the prize's charm shows frame n for
    // the game won after n others (the last keepsake again past them).
    static constexpr int32_t kKeepsakes = 3;
    // A grid never holds more cards than this, whatever the table says.
    static constexpr uint32_t kMaxCards = 100;

    // Reads the card table from the document cache; when it loads, the "concentration.*" console
    // commands are registered on the game's console.
    // `services` may be null (no game around it).
    explicit ConBoard(IGameServices* services);
    ~ConBoard() override;
    ConBoard(const ConBoard&) = delete;
    ConBoard& operator=(const ConBoard&) = delete;

    // Takes the card table from a parsed document (all its "card" and "level" elements) and
    // registers the console commands. False, with the table left empty, when it lacks either kind
    // or any attribute.
    bool LoadTable(const QuillEngine::XmlNode& document);
    bool HasTable() const { return !m_levels.empty(); }

    // Builds the board under `parent`: restores the game the profile holds, else deals the
    // current level's cards. Nothing when the board instance exists already.
    void Start(const QuillEngine::InstanceHandle& parent);
    // Drops the cards and the board instance; the next Start builds them again.
    void Reset();
    // The saved game ("concentration" element), or null while dealing.
    std::unique_ptr<QuillEngine::XmlNode> SaveState() const;
    void RestoreState(const QuillEngine::XmlNode& element);
    // A game under way (started, neither won nor lost) is kept in the profile.
    void StoreInto(Profile& profile) const;

    void UseHint() override;
    StateMachine* Phases() override { return this; }
    // `card` is the second card turned, `other` the first; true when they go together.
    bool CheckMatch(ConCard* card, ConCard* other) override;
    void AddMatchTime();
    // One step of the board and then of each card.
    void Tick();

    // What the cards ask of the board.
    bool IsBlocked() const override { return m_block; }
    void SetBlocked(bool block) override { m_block = block; }
    ConCard* FirstFaceUp() const override { return m_firstFaceUp; }
    void SetFirstFaceUp(ConCard* card) override { m_firstFaceUp = card; }
    bool AwaitsFirstMove() const override { return GetState() == State_Ready; }
    int32_t Remaining() const { return m_remaining; }
    void CardGone(ConCard* card) override;
    // A card was clicked while the board waits for the first move.
    void Begin() override;
    bool IsVisible() const override;
    // The first card, other than `except`, that is face down and shows `frame`.
    ConCard* FindFaceDown(int32_t frame, const ConCard* except) const;

    bool IsInactive() const { return GetState() == State_Inactive; }
    bool IsStarted() const { return m_started; }
    int32_t Columns() const { return m_columns; }
    int32_t Rows() const { return m_rows; }
    int32_t ResumeState() const { return m_resumeState; }
    float SneakTimer() const { return m_sneakTimer; }
    const std::vector<std::unique_ptr<ConCard>>& Cards() const override { return m_cards; }
    const std::vector<ConLevelDef>& Levels() const { return m_levels; }
    const std::vector<ConCardDef>& CardDefs() const { return m_cardDefs; }
    const QuillEngine::InstanceHandle& BoardInstance() const { return m_boardInstance; }
    const QuillEngine::InstanceHandle& ObjectInstance() const { return m_object; }
    // The top-left corner and the side of card `index` in a grid of the given size.
    static void CardRect(int32_t index, int32_t columns, int32_t rows, float& x, float& y, float& size);

    static Profile* CurrentProfile();
    static LevelRecord* CurrentLevel();

    // IInstanceEventHandler
    using QuillEngine::IInstanceEventHandler::OnUpdate;
    void OnLoad(const QuillEngine::InstanceHandle& handle) override;
    void OnTimelineStop(const QuillEngine::InstanceHandle& handle) override;
    // IConsoleHandler: the "concentration.*" commands.
    void OnConsoleCommand(const std::vector<QuillEngine::String>& arguments,
                          const QuillEngine::Handle& instance) override;

protected:
    void OnEnter(int32_t state) override;
    void OnExit(int32_t state) override;
    void OnUpdate(int32_t state) override;

private:
    void Deal();
    void Layout();
    void EnterReady();
    void EnterWon();
    void EnterLost();
    void OpenPanel();

    IGameServices* m_services;
    QuillEngine::InstanceHandle m_boardInstance;
    QuillEngine::InstanceHandle m_object;
    QuillEngine::InstanceHandle m_parent;
    std::vector<std::unique_ptr<ConCard>> m_cards;
    std::vector<ConLevelDef> m_levels;
    std::vector<ConCardDef> m_cardDefs;
    ConCard* m_firstFaceUp = nullptr;
    int32_t m_columns = 0;
    int32_t m_rows = 0;
    int32_t m_remaining = 0;
    bool m_block = false;
    float m_sneakTimer = 0.0f;
    bool m_started = false;
    int32_t m_resumeState = State_Playing;
    bool m_laidOut = false;
    QuillEngine::ConsoleCommands m_commands;
};
