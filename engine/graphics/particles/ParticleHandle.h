#pragma once
// The handle of a live particle emitter. Every operation resolves the handle through the particle
// manager's table first, so a handle whose emitter finished (or whose manager is gone) does
// nothing.

#include "engine/core/Handle.h"

namespace QuillEngine {

class ParticleEmitter;
struct Transform2D;

struct EmitterHandle {
    Handle handle;

    bool IsEmpty() const { return handle.IsEmpty(); }
    // The live emitter, or null.
    ParticleEmitter* Get() const;
    bool IsValid() const { return Get() != nullptr; }

    // Draws the particles through the renderer's quad batcher.
    void Draw(const Transform2D& transform, float opacity) const;
    // Advances the emitter; false when it has finished (and was destroyed) or the handle is stale.
    bool Step(float dt) const;
    void SetPosition(float x, float y) const;
    // Sets the target of every layer.
    void SetTarget(float x, float y) const;
    // Emission ends; the particles alive finish their lives.
    void Stop() const;
    // Destroys the emitter at once, particles and all.
    void Destroy() const;

    friend bool operator==(const EmitterHandle&, const EmitterHandle&) = default;
};

} // namespace QuillEngine
