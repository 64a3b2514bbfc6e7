#pragma once
// Test support, not a player feature: scripted, repeatable play runs of the real program for the
// game's end-to-end tests. Inert unless one of these environment variables is set:
//   QUILL_PLAY_SCRIPT   an input script (PlayScript.h). With it the main loop runs on a fixed
//                       step clock: every pass runs exactly one fixed step and one frame (or
//                       only when the main loop wants one: QUILL_PLAY_LOOP_FRAMES), with
//                       no sleeping and no wall clock (the rendered-string cache ages by game
//                       time too), so step N is the same moment in every run.
//                       Commands at step N run once N steps have run, before the next one; input
//                       goes in as SDL events through the window's message pump, as a player's.
//   QUILL_PLAY_SEED     the random seed every seeding of the engine's generator uses instead of
//                       its own (decimal, 0 to 4294967295). A script without it uses seed 1.
//   QUILL_FEEDBACK_LOG  a file that receives one line per feedback report (PlayFeedbackSink.h).
//   QUILL_PLAY_WHOLE_FRAMES  "1": every frame is drawn whole, never only where it changed (to
//                       compare both ways of drawing).
//   QUILL_PLAY_FRAMES   with a script: draw one frame in this many steps (1 to 1000; default 1).
//                       The game steps exactly as before; only drawing is thinned out, for long
//                       runs that look at the program's state rather than its pictures. A shot
//                       always draws its frame first.
//   QUILL_PLAY_LOOP_FRAMES  "1", with a script: the steps stay on the fixed clock, but the main loop
//                       decides by its own rules when to draw (CRenderManager::WantsFrame), as
//                       outside the harness; a shot shows the last frame drawn, as the window does.
//                       Not with QUILL_PLAY_FRAMES.
// The output of a scripted console line is written to standard output, each line prefixed with
// "console" and a tab.
// Relative names of the script and the log are taken from the folder the program was started in
// (the engine moves to its own folder only afterwards); relative shot names from the script's
// folder.
//
// A bad variable or script line fails start-up with a message naming it. A command that fails
// while the run plays (a shot that cannot be written, an event SDL refuses) prints its line and
// ends the process at once with kExitPlayFailed, so no test mistakes the run for a good one.

#include <cstdint>
#include <memory>
#include <string>

#include "engine/app/PlayScript.h"

namespace QuillEngine {

class EngineManager;
class TextRenderer;

class PlayHarness {
public:
    static constexpr int kExitPlayFailed = 4;
    // The fixed step clock's counter: one step is kStepTicks; each pass moves it one step and one
    // tick further, since the frame timer needs strictly more than a step to grant one.
    static constexpr uint64_t kStepTicks = 1000000000ull;
    static constexpr uint64_t kFrequency = kStepTicks * 60;

    // Null when no variable is set; null with `error` set when a variable or the script is wrong.
    static std::unique_ptr<PlayHarness> FromEnvironment(std::string& error);
    ~PlayHarness();

    bool FixedClock() const { return fixedClock_; }
    bool WholeFrames() const { return wholeFrames_; }
    // Whether the harness keeps its own rhythm of frames; otherwise the main loop's rules decide.
    bool KeepsFrameRhythm() const { return !loopFrames_ && !s_live; }
    // After a pass that stepped, with the harness keeping its rhythm: whether that pass draws.
    bool DrawsFrame() { return ++framePasses_ % frameEvery_ == 0; }
    // After "live": the clock is the wall clock again and the main loop draws by its own rules.
    static bool IsLive() { return s_live; }
    static uint64_t Counter();
    // No sleeping on the fixed clock; real sleeps once the run is live.
    static void NoSleep(uint32_t ms);

    // At the start of each pass of the main loop. Runs the next due command, if any, and returns
    // true: that pass is the harness's (its events now wait in the queue for the pump) and must
    // not step. Otherwise moves the fixed clock on by one step and returns false.
    bool BeforeTick(EngineManager& engine);

    const PlayScript& Script() const { return script_; }

private:
    PlayHarness() = default;
    bool Run(EngineManager& engine, const PlayCommand& command, std::string& error);
    // `shown`: what the window shows instead of the frame last drawn.
    bool WriteShot(EngineManager& engine, const std::string& path, bool shown, std::string& error);
    bool HoldUntilRemoved(const std::string& path, std::string& error);
    // Null `command`: a failure of the harness itself, before any command.
    [[noreturn]] void Fail(const PlayCommand* command, const std::string& why);

    bool fixedClock_ = false;
    bool wholeFrames_ = false;
    bool loopFrames_ = false;
    uint32_t frameEvery_ = 1;
    uint64_t framePasses_ = 0;
    bool focused_ = false;
    const TextRenderer* textClockOwner_ = nullptr;
    std::string scriptPath_;
    std::string scriptFolder_;
    PlayScript script_;
    size_t next_ = 0;
    static inline uint64_t s_now = 0;
    static inline bool s_live = false;
    static inline uint64_t s_liveSinceNs = 0; // the wall clock when the run went live
};

} // namespace QuillEngine
