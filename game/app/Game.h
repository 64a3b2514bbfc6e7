#pragma once
// The game's top-level state machine: owns the screen manager, the profile manager and the
// sub-games, switches between the five game states, pauses and resumes the whole game, and plays
// the background music rotation.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/core/Singleton.h"
#include "engine/core/audio/Audio.h"
#include "engine/core/strings/EngineString.h"
#include "engine/graphics/scene/InstanceTree.h"
#include "game/states/GameServices.h"
#include "game/states/GameState.h"
#include "game/states/StateMachine.h"
#include "game/states/SubGames.h"

namespace QuillEngine {
class Console;
}

class Board;
class Book;
class ConBoard;
class Intro;
class Profile;
class ProfileMgr;
class StoryMiniGame;
class UIScreenMgr;

class Game : public StateMachine,
             public IGameServices,
             public ISubGames,
             public QuillEngine::IInstanceEventHandler,
             public QuillEngine::IAudioCallbackHandler,
             public QuillEngine::Singleton<Game> {
public:
    using EngineLinks = GameLinks;

    static constexpr const char16_t* kMusicTracks[4] = {u"BackgroundSerenade", u"BackgroundRondeau",
                                                        u"BackgroundCantilena", u"BackgroundNocturne"};
    // The track played until the current profile has seen the intro.
    static constexpr int32_t kFirstTrack = 2;

    Game();
    explicit Game(EngineLinks links);
    ~Game() override;

    void Pause() override;
    void Resume();
    bool Paused() const override { return m_paused; }

    void PlayNextMusic();
    int32_t LastMusicTrack() const { return m_lastTrack; }
    const QuillEngine::SoundPlayResult& CurrentMusic() const override { return m_music; }

    // Mounts the package `name` (package and folder both `name`) unless it was mounted before. A
    // package that cannot be mounted is named to the player once.
    bool MountPackageOnce(const QuillEngine::String& name) override;

    UIScreenMgr* GetScreenMgr() const { return m_screenMgr.get(); }
    const EngineLinks& Links() const override { return m_links; }
    IScreenHost* Screens() const override;
    ProfileMgr* GetProfileMgr() const { return m_profileMgr.get(); }

    // The scene board to play in the board state; the book sets it before asking for that state.
    void SetBoard(Board* board) { m_board = board; }
    Board* GetBoard() const { return m_board; }
    Intro* GetIntro() const { return m_intro.get(); }
    Book* GetBook() const { return m_book.get(); }
    // The card game; the album enters it by asking for the card-game state.
    ConBoard* GetConBoard() const { return m_conBoard.get(); }
    // The story game; the album enters it by asking for the story-game state.
    StoryMiniGame* GetStoryGame() const { return m_storyGame.get(); }
    // Stores a story game under way into `profile` (what the game keeps when the player leaves
    // it, and what every save of the profiles takes along).
    void StoreStoryGame(Profile& profile) const;

    // IGameServices
    int32_t CurrentGameState() const override { return GetState(); }
    int32_t RequestedGameState() const override { return GetRequestedState(); }
    void SwitchGameState(int32_t state) override { SetState(state); }
    // ISubGames
    void AddBoards(IBoardOwner* owner, const std::vector<SceneBoardSpec>& scenes) override;
    void DropBoards() override;
    bool OpenBoard(int32_t sceneNumber) override;
    void OpenMiniGame(bool cardGame) override;
    void LeaveSubGame() override;
    void UnloadBoards() override;
    void StoreMiniGames(Profile& profile) const override;
    const std::vector<std::unique_ptr<Board>>& Boards() const { return m_boards; }
    const QuillEngine::InstanceHandle& PauseOverlay() const { return m_pauseOverlay; }

    // The pointer the player should see: the magnifier over the playing field of a board or of the
    // card table in play with nothing above it, the arrow anywhere else, the system's own pointer
    // when the game shows none of its own.
    enum class Pointer { System, Arrow, Look };
    Pointer WantedPointer() const;

    // Tutorials, each shown once per profile: when its flag is still set the screen opens (modal)
    // and the flag is cleared. The board ones hold `board` still while they are open.
    void ShowTutorialIntro() override;
    void ShowTutorialScene(StateMachine* board) override;
    void ShowTutorialBadClick(StateMachine* board) override;
    void ShowTutorialBluebird(StateMachine* board) override;
    void ShowTutorialCrisis(StateMachine* board) override;
    void ShowTutorialConcentration() override;
    void ShowTutorialStory() override;

    // IInstanceEventHandler (its per-step OnUpdate is not the state hook of that name)
    using QuillEngine::IInstanceEventHandler::OnUpdate;
    void OnKeyDown(const QuillEngine::InstanceHandle& handle, uint32_t key) override;
    void OnMouseDown(const QuillEngine::InstanceHandle& handle, bool notLeft) override;
    // IAudioCallbackHandler
    void OnSoundEnded(const QuillEngine::Handle& handle) override;

protected:
    void OnEnter(int32_t state) override;
    void OnExit(int32_t state) override;
    void OnUpdate(int32_t state) override;

private:
    // Hands the wanted pointer to the renderer when it changes (and again when the renderer has
    // dropped it with its device); a pointer the renderer refuses leaves the system's.
    void UpdatePointer();
    // Whether a modal screen holds the board or card game in `state`: one is open over it (the main
    // menu the M key opens, the players, the options) while it is in one of its `running` states.
    // A held game gets no step, so its clock and its window for quick misses stand still, as under
    // the panel's own menu; the dialogs that pause it themselves take it out of play instead.
    bool HeldByModal(int32_t state, std::initializer_list<int32_t> running) const;
    // Tells the player once per scene why it cannot be played.
    void ReportUnplayableScene(const QuillEngine::String& scene, const std::string& why);
    // Clears the current profile's flag; false when it was cleared already (or there is no profile).
    bool TakeTutorialFlag(int flag);

    EngineLinks m_links;
    std::map<QuillEngine::String, bool> m_mountedPackages;
    std::map<QuillEngine::String, bool> m_reportedPackages;
    Board* m_board = nullptr;
    // The scene boards of the album's catalogue.
    std::vector<std::unique_ptr<Board>> m_boards;
    std::unique_ptr<Book> m_book;
    std::unique_ptr<Intro> m_intro;
    std::unique_ptr<ConBoard> m_conBoard;
    std::unique_ptr<StoryMiniGame> m_storyGame;
    std::unique_ptr<UIScreenMgr> m_screenMgr;
    std::unique_ptr<ProfileMgr> m_profileMgr;
    bool m_paused = false;
    QuillEngine::InstanceHandle m_pauseOverlay;
    // Movies under the root whose input the pause switched off.
    std::vector<QuillEngine::InstanceHandle> m_pausedInputs;
    int32_t m_lastTrack = -1;
    // The music's own generator: a track ends on the sound device's clock, not the game's steps, so
    // its pick must not move the game's sequence (a seeded run would deal other lists under load).
    std::minstd_rand m_musicRandom;
    QuillEngine::SoundPlayResult m_music;
    Pointer m_pointer = Pointer::System;
    bool m_pointerRefused = false;
};
