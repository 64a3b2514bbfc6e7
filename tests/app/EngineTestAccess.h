#pragma once
// Wires an EngineManager with the services the main loop touches, without a window, so tests
// can drive Tick and the handlers against a fake clock.

#include <memory>

#include "engine/core/audio/Audio.h"
#include "engine/core/FrameTimer.h"
#include "engine/app/EngineManager.h"
#include "engine/graphics/render/RenderManager.h"
#include "engine/graphics/scene/UserInterface.h"

namespace QuillEngine {

struct EngineManagerTestAccess {
    static void Wire(EngineManager& e, IQuillGame* game, FrameTimer::CounterFn counter, uint64_t freq)
    {
        e.game_ = game;
        e.frameTimer_ = std::make_unique<FrameTimer>(counter, freq);
        e.frameTimer_->Init();
        e.renderer_ = std::make_unique<CRenderManager>(game);
        e.renderer_->Init(nullptr, false);
        e.userInterface_ = std::make_unique<UserInterface>();
        e.userInterface_->SetScreenSize(800, 600);
        e.audio_ = std::make_unique<Audio>(nullptr);
        e.active_ = true;
        e.started_ = true;
    }
    static void SetPauseOnLostFocus(EngineManager& e, bool on) { e.pauseOnLostFocus_ = on; }
};

// A game that counts what the engine asks of it.
class CountingGame : public IQuillGame {
public:
    int64_t FilterMessage(uint32_t, uint64_t, int64_t, uint32_t, bool& handled) override
    {
        handled = false;
        return 0;
    }
    bool Init() override
    {
        ++inits;
        return initResult;
    }
    bool QueryClose() override
    {
        ++closeQueries;
        return allowClose;
    }
    void Shutdown() override { ++shutdowns; }
    void OnTeardown() override { ++teardowns; }
    void Update() override { ++updates; }
    void OnFrameRendered() override { ++frames; }
    void OnActivate() override { ++activations; }
    void OnDeactivate() override { ++deactivations; }

    bool initResult = true;
    bool allowClose = true;
    int inits = 0, closeQueries = 0, shutdowns = 0, teardowns = 0;
    int updates = 0, frames = 0, activations = 0, deactivations = 0;
};

} // namespace QuillEngine
