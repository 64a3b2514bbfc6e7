#pragma once
// The game's side of the engine contract: owns the top-level state machine and forwards steps,
// activation and shutdown to it.

#include <cstddef>
#include <memory>
#include <set>
#include <string>

#include "engine/core/IQuillGame.h"
#include "engine/app/EngineManager.h"

class Game;

class SimpleGame : public QuillEngine::IQuillGame {
public:
    explicit SimpleGame(QuillEngine::EngineManager* engine);
    ~SimpleGame();

    int64_t FilterMessage(uint32_t message, uint64_t wParam, int64_t lParam, uint32_t extra,
                          bool& handled) override;
    bool Init() override;
    bool InitErrorReporting() override;
    bool QueryClose() override { return true; }
    void OnActivate() override;
    void OnDeactivate() override;
    void Shutdown() override;
    void OnTeardown() override;
    void Update() override;

    Game* GetGame() const { return game_.get(); }

    // The particle effects loaded at start, in order.
    static const char16_t* const kEffectFiles[12];

private:
    // Damaged data entries met since the last step reach the player, once per archive for the
    // session (the engine names each entry on stderr); the game plays on without them.
    void TellDamagedData();

    QuillEngine::EngineManager* engine_;
    std::unique_ptr<Game> game_;
    size_t damageSeen_ = 0;
    std::set<std::string> damagedArchivesTold_;
};

namespace VelvetAisle {

// The game's start-up settings, with the command line rebuilt from argv.
QuillEngine::GameSettings MakeSettings(int argc, const char* const* argv);

// argv (without the program name) joined by blanks; pieces holding blanks (or empty ones) are
// quoted so that they read back as one piece.
QuillEngine::String BuildCommandLine(int argc, const char* const* argv);

// Runs the game; returns the process exit status.
int RunGame(int argc, const char* const* argv);

} // namespace VelvetAisle
