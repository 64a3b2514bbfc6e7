#pragma once
// The start-up splash screens: each picture listed in "SplashScreens.xml" fades in, stays and fades
// out, centred on the 800 x 600 logical screen, before the game initialises. A click or a key
// skips ahead. They run with a message loop of their own that drives the engine tick without game
// updates.

#include <functional>

#include "engine/core/strings/EngineString.h"
#include "engine/graphics/scene/InputEvents.h"
#include "engine/graphics/scene/InstanceTree.h"

namespace QuillEngine {

class EngineManager;

// Drives one splash: the container movie's event handler (its update runs the fade) and an input
// listener (a press skips ahead). The event is never consumed.
class SplashFadeListener : public IInstanceEventHandler, public IEventListener {
public:
    static constexpr float kStep = 0.016666668f; // one fixed step of 1/60 s
    static constexpr float kSkipAfter = 0.1f;    // presses earlier in the fade-in are ignored
    static constexpr float kScreenCentreX = 400.0f, kScreenCentreY = 300.0f;

    enum Phase : int32_t { Phase_FadeIn = 0, Phase_Wait = 1, Phase_FadeOut = 2 };

    // `done` is set when the fade-out ends; it must outlive the listener.
    SplashFadeListener(float fadeTime, float waitTime, bool* done);

    void OnUpdate(const InstanceHandle& container) override;
    void HandleEvent(Event_Base& event) override;

    int32_t GetPhase() const { return phase; }
    float GetTime() const { return t; }

private:
    float fadeTime;
    float waitTime;
    float t = 0.0f;
    bool* done;
    int32_t phase = Phase_FadeIn;
};

// Times of one entry, read from its `fadetime` and `waittime` attributes. An empty, missing,
// negative or non-numeric value keeps the default.
struct SplashTimes {
    static constexpr float kDefaultFade = 0.5f;
    static constexpr float kDefaultWait = 2.0f;
    float fadeTime = kDefaultFade;
    float waitTime = kDefaultWait;
};
SplashTimes ParseSplashTimes(const String& fadeText, const String& waitText);

// Runs the start-up splash screens with a message loop of their own. Returns true when the quit
// message arrived while they showed (the remaining ones are skipped). Everything the splash
// screens create is removed before it returns.
bool RunSplashScreens(EngineManager& engine);

// Test hook: when set, it runs as the splash screens start (every engine service is up) and
// returns the name of the splash list to read in place of "SplashScreens.xml".
using SplashListOverride = std::function<String(EngineManager&)>;
void SetSplashListOverride(SplashListOverride hook);

} // namespace QuillEngine
