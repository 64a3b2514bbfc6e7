#pragma once
// What the game's areas (the album, the boards, the mini-games, the intro) and its screens ask of
// the game object that owns them. The game object implements it and hands it to each at
// construction; a null service means "no game" (tests, benches), and each caller checks for it.

#include <cstdint>
#include <functional>
#include <string>

#include "engine/core/audio/Audio.h"
#include "engine/core/strings/EngineString.h"

namespace QuillEngine {
class Console;
}
class StateMachine;
class IScreenHost;

// What the game reaches in the engine object; a missing link reads as nothing.
struct GameLinks {
    QuillEngine::Console* console = nullptr;
    // Mounts a data package (package name, loose-file folder).
    std::function<bool(const QuillEngine::String&, const QuillEngine::String&)> mountPackage;
    // The window's full-screen state, and the request to end the program.
    std::function<bool()> isFullscreen;
    std::function<void(bool)> setFullscreen;
    std::function<void()> quit;
    // A message for the player (caption, text); headless, it goes to standard error.
    std::function<void(const std::string&, const std::string&)> showMessage;
    // Whether the game shows pointers of its own ("HasCustomCursor" in the engine's configuration);
    // without it the system's pointer stays.
    bool customPointers = false;
};

class IGameServices {
public:
    virtual const GameLinks& Links() const = 0;
    // The screen manager, through which an area opens and closes its screens; null while the game
    // has none (before it is made, after it is gone).
    virtual IScreenHost* Screens() const = 0;

    // The game's state (a GameState), the one asked for while the game updates, and a change.
    virtual int32_t CurrentGameState() const = 0;
    virtual int32_t RequestedGameState() const = 0;
    virtual void SwitchGameState(int32_t state) = 0;
    // Pauses the whole game (its overlay, its music, every movie's input).
    virtual void Pause() = 0;
    virtual bool Paused() const = 0;

    virtual const QuillEngine::SoundPlayResult& CurrentMusic() const = 0;
    // Mounts the package `name` unless it was mounted before; one that cannot be mounted is named
    // to the player once.
    virtual bool MountPackageOnce(const QuillEngine::String& name) = 0;

    // Tutorials, each shown once per profile. The board ones hold `board` still while open.
    virtual void ShowTutorialIntro() = 0;
    virtual void ShowTutorialScene(StateMachine* board) = 0;
    virtual void ShowTutorialBadClick(StateMachine* board) = 0;
    virtual void ShowTutorialBluebird(StateMachine* board) = 0;
    virtual void ShowTutorialCrisis(StateMachine* board) = 0;
    virtual void ShowTutorialConcentration() = 0;
    virtual void ShowTutorialStory() = 0;

protected:
    ~IGameServices() = default;
};

// The screen manager of `services`; null without a game.
inline IScreenHost* ScreensOf(const IGameServices* services)
{
    return services ? services->Screens() : nullptr;
}
