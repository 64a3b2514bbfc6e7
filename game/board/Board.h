#pragma once
// One hidden-object scene: the picture full of objects, the list of things to find, the clock,
// the hints and the hint arrow, the hidden bluebirds. The book makes one board per scene photo;
// the game activates the chosen one in its board state and ticks it once per fixed step. Progress
// lives in the current profile's scene and level records.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/audio/Audio.h"
#include "engine/core/console/ConsoleCommands.h"
#include "engine/core/strings/EngineString.h"
#include "engine/graphics/particles/ParticleHandle.h"
#include "engine/graphics/scene/InstanceTree.h"
#include "game/board/Item.h"
#include "game/board/SceneCovers.h"
#include "game/board/dialogs/UIISpyPanel.h"
#include "game/curves/BezierPath.h"
#include "game/states/StateMachine.h"

namespace QuillEngine {
class XmlNode;
}
class FindListEntry;
class IBoardOwner;
class IGameServices;
class LevelRecord;
class Profile;
class SceneRecord;

// Misses in quick succession: the first always counts, a further one counts while the window of
// the last counted miss is open and it lies more than 5 px from the previous click; every third
// counted miss costs time and starts the count again.
class BadClickWindow {
public:
    enum class Result { Ignored, Counted, Penalty };
    static constexpr float kWindowSeconds = 2.0f;
    static constexpr float kFreeDistance = 5.0f;
    static constexpr int32_t kPenaltyCount = 3;

    Result Register(float x, float y);
    // One step of `seconds`: when the window closes the count returns to 0.
    void Step(float seconds);
    int32_t Count() const { return m_count; }
    float Window() const { return m_window; }

private:
    int32_t m_count = 0;
    float m_window = 0.0f;
    float m_lastX = 0.0f;
    float m_lastY = 0.0f;
};

// How many items of which difficulty a fresh find list takes: a mix of 4 takes every item from
// difficulty 4, any other mix that share from difficulty 1 and the rest from difficulty 2.
struct FindListSplit {
    uint32_t primaryDifficulty = 1;
    uint32_t primary = 0;
    uint32_t secondary = 0;
    static FindListSplit For(uint32_t wanted, float mix);
    // An item a fresh find list may take: one not already taken, and never a bluebird nor a
    // hidden item (a bluebird the board does not want is hidden, not taken, and hiding clears its
    // bluebird mark: listed, it could never be found).
    static bool Candidate(const Item& item);
};

class Board : public StateMachine,
              public IItemOwner,
              public IISpyPanelOwner,
              public QuillEngine::IInstanceEventHandler,
              public QuillEngine::IConsoleHandler {
public:
    enum State : int32_t {
        State_Constructed = 0,
        State_Playing = 2,
        State_Inactive = 3,
        State_HintFlying = 4,
        State_Won = 5,
        State_Lost = 6
    };

    static constexpr float kStep = 1.0f / 60.0f;
    static constexpr float kHintReminderSeconds = 30.0f;
    static constexpr float kPenaltySeconds = 60.0f;
    // Clicks on the panel's side of the screen never reach the scene.
    static constexpr float kPanelEdge = 144.0f;
    // Whether a player can find `item` drawn within (left, top, right, bottom) of the scene: its
    // picture has solid pixels and it has a size and lies at least partly on the scene beside the
    // panel, within a screen of `width` x `height`.
    static bool CanBeFound(const Item& item, float left, float top, float right, float bottom, float width,
                           float height);
    static constexpr int32_t kCollectSteps = 60;

    // `services` may be null (no game around it: no console commands, no tutorials).
    Board(IBoardOwner* owner, IGameServices* services, int32_t sceneNumber, QuillEngine::String sceneName,
          QuillEngine::String ambientSound);
    ~Board() override;
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;

    // Entering (true) and leaving (false) the game's board state. The first activation loads the
    // scene under `root` (the user interface's root when empty).
    void SetActive(bool on, const QuillEngine::InstanceHandle& root = {});
    // One fixed step while the game is in its board state.
    void Tick();
    // Drops the scene instance and the items; the next activation loads them again.
    void Unload();
    // Loads the scene (under the user interface's root) unless it is loaded: true when its item
    // file names something to find there. A scene with nothing to find is dropped again, and the
    // player's records are left as they were.
    bool Load();
    // Some item that is not a bluebird can go on the find list.
    bool HasThingsToFind() const;

    void UseHint() override;
    // An item finished its found animation: the scene ends when the level has its items or the
    // scene's own list is exhausted.
    void CheckComplete() override;
    void OnBluebirdFound(const QuillEngine::String& instanceName) override;
    void ShowHintPrompt();
    // A press at (x, y) in the scene's space, as the scene's mouse-down handler resolves it.
    void OnClick(float x, float y);
    // The items in play whose pictures the point (scene space) touches where nothing opaque drawn
    // above them hides them, the topmost first.
    std::vector<Item*> ItemsAt(float x, float y) const;
    void OnBadClick(const QuillEngine::String& name, float x, float y);
    void ApplyTimePenalty();

    // A random index below `count`; 0 for an empty range, so a pick from nothing never divides by
    // zero.
    static uint32_t RandomInt(size_t count);

    bool IsLoaded() const { return m_loaded; }
    bool IsInactive() const { return GetState() == State_Inactive; }
    int32_t SceneNumber() const { return m_sceneNumber; }
    const QuillEngine::String& SceneName() const { return m_sceneName; }
    // The scene's list of items ("Levels\<scene>.xml"), and that list as read; null when it is
    // missing or cannot be read (the scene cannot be played then).
    QuillEngine::String ItemFileName() const;
    const QuillEngine::XmlNode* ItemDocument() const;
    const QuillEngine::InstanceHandle& Scene() const { return m_scene; }
    const std::vector<std::unique_ptr<Item>>& Items() const { return m_items; }
    const Item* HintTarget() const { return m_hintTarget; }
    const BadClickWindow& BadClicks() const { return m_badClicks; }
    bool FinalFindPending() const { return m_finalFindPending; }
    int32_t LoadCount() const { return m_loadCount; }
    IBoardOwner* Owner() const { return m_owner; }
    // IISpyPanelOwner
    IGameServices* Services() const override { return m_services; }
    void RebindAlbum() override;
    StateMachine* Phases() override { return this; }

    // The current profile's record of this scene, and the current level record.
    SceneRecord* Record() const override;
    static LevelRecord* CurrentLevel();
    static Profile* CurrentProfile();

    // IInstanceEventHandler
    using QuillEngine::IInstanceEventHandler::OnUpdate;
    void OnMouseDown(const QuillEngine::InstanceHandle& handle, bool notLeft) override;
    // IConsoleHandler: the "ispy.*" commands.
    void OnConsoleCommand(const std::vector<QuillEngine::String>& arguments,
                          const QuillEngine::Handle& instance) override;

protected:
    void OnEnter(int32_t state) override;
    void OnExit(int32_t state) override;
    void OnUpdate(int32_t state) override;

private:
    void LoadScene(const QuillEngine::InstanceHandle& root);
    void Prepare();
    // The items of the item file. A line is left out, and named in `leftOut` with why, when it
    // lacks an id, a name or a difficulty, names a picture an earlier line named, or names an
    // item that can never be found.
    void ReadItems(std::vector<std::string>& leftOut);
    void TellLeftOut(const std::vector<std::string>& items);
    void ChooseBluebirds(SceneRecord& record);
    void ChooseFindList(SceneRecord& record);
    void AddToFindList(SceneRecord& record, const Item& item);
    bool MatchFindList(const Item& item);
    void TakeOneFind(FindListEntry& entry);
    bool IsLastLevel() const;

    void EnterHintFlight();
    void StepHintFlight();
    void LeaveHintFlight();
    void EnterWon();
    void EnterLost();
    void StepWon();

    IBoardOwner* m_owner;
    IGameServices* m_services;
    bool m_loaded = false;
    QuillEngine::InstanceHandle m_scene;
    QuillEngine::InstanceHandle m_root;
    QuillEngine::String m_ambientName;
    QuillEngine::SoundPlayResult m_ambient;
    std::vector<std::unique_ptr<Item>> m_items;
    SceneCovers m_covers;
    Item* m_hintTarget = nullptr;
    int32_t m_collectCounter = 0;
    BadClickWindow m_badClicks;
    bool m_finalFindPending = false;
    // The lines of the item file left out have been named to the player.
    bool m_toldLeftOut = false;
    std::unique_ptr<BezierPath> m_hintPath;
    std::unique_ptr<BezierPath> m_hintScalePath;
    QuillEngine::EmitterHandle m_hintTrail;
    BezierPoint m_arrowPrevious;
    QuillEngine::String m_sceneName;
    int32_t m_sceneNumber;
    float m_hintReminder = kHintReminderSeconds;
    int32_t m_loadCount = 0;
    QuillEngine::ConsoleCommands m_commands;

    // Scene instances are numbered for the life of the process, so their names never repeat.
    static inline int32_t s_sceneCounter = 0;
};
