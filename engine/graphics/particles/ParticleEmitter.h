#pragma once
// A live particle emitter: a copy of an emitter definition placed at a position, emitting
// particles from its spawn area per layer (a burst at the start, then at the layer's rate inside
// the layer's time window) until its life ends or it is stopped. Particles fly, fall, drift, turn,
// fade and shrink over their life and are drawn as one batched quad each. Dead particle records
// stay in the array and are reused, so a steady effect settles at a fixed array size.

#include <cstdint>
#include <vector>

#include "engine/core/EngineRand.h"
#include "engine/core/Handle.h"
#include "engine/graphics/particles/ParticleDefinition.h"

namespace QuillEngine {

class QuadBatcher;

struct Particle {
    float x = 0, y = 0;
    float originX = 0, originY = 0;
    float driftX = 0, driftY = 0; // drift amplitudes
    float velocityX = 0, velocityY = 0;
    float rotation = 0;
    float age = 0;
    int32_t alive = 0;
    uint32_t layer = 0; // index into the emitter's layers
};

// Everything one particle's quad is drawn with.
struct ParticleQuad {
    Transform2D transform;
    uint32_t color = 0;
    uint32_t mode = 0;
};

class ParticleEmitter {
public:
    // Records one emitter may hold; emission beyond it waits for a record to die.
    static constexpr size_t kMaxParticles = 8192;
    // Particles one layer may emit in one update; a longer backlog is dropped.
    static constexpr uint32_t kMaxEmitsPerUpdate = 512;

    // Copies the definition; a VelocityRand spreads the emitter's own velocity once. The
    // emitter's random spreads come from a generator of its own, seeded by `seed`.
    ParticleEmitter(const EmitterDefinition& definition, uint32_t seed);
    ParticleEmitter(const ParticleEmitter&) = delete;
    ParticleEmitter& operator=(const ParticleEmitter&) = delete;

    // One step of `dt` seconds; `softwareRates` picks SoftwareRate and SoftwareStartCount. False
    // when the emitter has finished: its life is over (or it was stopped) and every particle is
    // dead.
    bool Update(float dt, bool softwareRates);
    void Draw(QuadBatcher& batcher, const Transform2D& transform, float opacity) const;
    // The quad of one particle under `transform` at `opacity`.
    void BuildQuad(const Particle& particle, const Transform2D& transform, float opacity, ParticleQuad& out) const;

    void SetPosition(float x, float y)
    {
        m_x = x;
        m_y = y;
    }
    void SetTarget(float x, float y);
    void Stop() { m_stopped = true; }
    void SetStartDelay(float seconds) { m_startDelay = seconds; }

    const Handle& GetHandle() const { return m_handle; }
    void SetHandle(const Handle& handle) { m_handle = handle; }

    const std::vector<Particle>& Particles() const { return m_particles; }
    const std::vector<ParticleLayer>& Layers() const { return m_definition.layers; }
    const EmitterDefinition& Definition() const { return m_definition; }
    size_t AliveCount() const { return m_particles.size() - m_deadCount; }
    uint32_t DeadCount() const { return m_deadCount; }
    float Elapsed() const { return m_elapsed; }
    float X() const { return m_x; }
    float Y() const { return m_y; }
    bool IsStopped() const { return m_stopped; }
    bool IsStarted() const { return m_started; }

private:
    void Emit(uint32_t layerIndex);
    void Spawn(Particle& particle, float x, float y, uint32_t layerIndex);
    // Advances one particle; false when it dies.
    bool StepParticle(Particle& particle, float dt);
    // 0 to 1, and -0.5 to 0.5.
    float RandUnit() { return static_cast<float>(m_random.Next()) / static_cast<float>(kRandMax); }
    float RandSpread() { return RandUnit() - 0.5f; }

    std::vector<Particle> m_particles;
    EmitterDefinition m_definition;
    RandStream m_random;
    Handle m_handle;
    float m_x = 0, m_y = 0;
    float m_elapsed = 0;
    float m_startDelay = 0;
    uint32_t m_deadCount = 0;
    // No record below this index is dead, so the search for a record to reuse starts here.
    size_t m_firstDeadHint = 0;
    bool m_stopped = false;
    bool m_started = false;
};

} // namespace QuillEngine
