#pragma once
// The game's top-level state machine: owns the screen manager, the profile manager and the
// sub-games, switches between the five game states, pauses and resumes the whole game, and plays
// the background music rotation.

#include <random>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/Singleton.h"
#include "engine/core/audio/Audio.h"
#include "engine/core/strings/EngineString.h"
#include "engine/graphics/scene/InstanceTree.h"
#include "game/states/GameState.h"
#include "game/states/StateMachine.h"

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
             public QuillEngine::IInstanceEventHandler,
             public QuillEngine::IAudioCallbackHandler,
             public QuillEngine::Singleton<Game> {
public:
    // What the game reaches in the engine object; a missing link reads as nothing.
    struct EngineLinks {
        QuillEngine::Console* console = nullptr;
        // Mounts a data package (package name, loose-file folder).
        std::function<bool(const QuillEngine::String&, const QuillEngine::String&)> mountPackage;
        // The window's full-screen state, and the request to end the program.
        std::function<bool()> isFullscreen;
        std::function<void(bool)> setFullscreen;
        std::function<void()> quit;
        // A message for the player (caption, text); headless, it goes to standard error.
        std::function<void(const std::string&, const std::string&)> showMessage;
    };

    static constexpr const char16_t* kMusicTracks[4] = {u"BackgroundSerenade", u"BackgroundRondeau",
                                                        u"BackgroundCantilena", u"BackgroundNocturne"};
    // The track played until the current profile has seen the intro.
    static constexpr int32_t kFirstTrack = 2;

    Game();
    explicit Game(EngineLinks links);
    ~Game() override;

    void Pause();
    void Resume();
    bool Paused() const { return m_paused; }

    void PlayNextMusic();
    int32_t LastMusicTrack() const { return m_lastTrack; }
    const QuillEngine::SoundPlayResult& CurrentMusic() const { return m_music; }

    // Mounts the package `name` (package and folder both `name`) unless it was mounted before. A
    // package that cannot be mounted is named to the player once.
    bool MountPackageOnce(const QuillEngine::String& name);

    UIScreenMgr* GetScreenMgr() const { return m_screenMgr.get(); }
    const EngineLinks& Links() const { return m_links; }
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
    const QuillEngine::InstanceHandle& PauseOverlay() const { return m_pauseOverlay; }

    // Tutorials, each shown once per profile: when its flag is still set the screen opens (modal)
    // and the flag is cleared. The board ones hold `board` still while they are open.
    void ShowTutorialIntro();
    void ShowTutorialScene(StateMachine* board);
    void ShowTutorialBadClick(StateMachine* board);
    void ShowTutorialBluebird(StateMachine* board);
    void ShowTutorialCrisis(StateMachine* board);
    void ShowTutorialConcentration();
    void ShowTutorialStory();

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
    bool ShowsPauseOverlay() const;
    // Clears the current profile's flag; false when it was cleared already (or there is no profile).
    bool TakeTutorialFlag(int flag);

    EngineLinks m_links;
    std::map<QuillEngine::String, bool> m_mountedPackages;
    std::map<QuillEngine::String, bool> m_reportedPackages;
    Board* m_board = nullptr;
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
};
