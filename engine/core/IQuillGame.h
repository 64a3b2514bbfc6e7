#pragma once

#include <cstdint>

namespace QuillEngine {

// How the engine drives the game. The engine never deletes the game object: its owner does.
class IQuillGame {
public:
    // Not called by the engine; implementations clear the flag and return 0.
    virtual int64_t FilterMessage(uint32_t message, uint64_t wParam, int64_t lParam, uint32_t extra,
                                  bool& handled) = 0;
    // Once, at the end of start-up, after the splash screens; false makes start-up fail.
    virtual bool Init() = 0;
    // Early in start-up; false makes the engine install its own crash handler.
    virtual bool InitErrorReporting() { return false; }
    // The window is asked to close; true lets the program end.
    virtual bool QueryClose() = 0;
    virtual void OnActivate() {}
    virtual void OnDeactivate() {}
    // After the preferences are saved, before any engine service is deleted.
    virtual void Shutdown() = 0;
    // After every engine service is deleted and the window is hidden.
    virtual void OnTeardown() {}
    // One fixed 1/60 s step.
    virtual void Update() = 0;
    // After each presented frame.
    virtual void OnFrameRendered() {}

protected:
    ~IQuillGame() = default;   // the owner deletes the concrete object
};

} // namespace QuillEngine
