#include "engine/graphics/particles/ParticleEmitter.h"

#include <algorithm>
#include <cmath>

#include "engine/graphics/render/QuadBatcher.h"

namespace QuillEngine {

namespace {

constexpr float kQuarterTurn = 1.570795f;

float AlignedRotation(float velocityX, float velocityY)
{
    return velocityX != 0 ? std::atan(velocityY / velocityX) + kQuarterTurn : 0.0f;
}

uint32_t BlendChannel(uint32_t start, uint32_t end, int shift, float t)
{
    const uint32_t s = (start >> shift) & 0xFF;
    const uint32_t e = (end >> shift) & 0xFF;
    return (static_cast<uint32_t>(t * float(e)) + static_cast<uint32_t>((1.0f - t) * float(s))) << shift;
}

} // namespace

ParticleEmitter::ParticleEmitter(const EmitterDefinition& definition, uint32_t seed)
    : m_definition(definition), m_random(seed)
{
    if (m_definition.velocityRand > 0) {
        m_definition.velocityX += RandSpread() * m_definition.velocityRand;
        m_definition.velocityY += RandSpread() * m_definition.velocityRand;
    }
}

void ParticleEmitter::SetTarget(float x, float y)
{
    for (ParticleLayer& layer : m_definition.layers) {
        layer.targetX = x;
        layer.targetY = y;
    }
}

bool ParticleEmitter::Update(float dt, bool softwareRates)
{
    m_elapsed += dt;
    if (m_elapsed < m_startDelay)
        return true;

    for (size_t i = 0; i < m_particles.size(); ++i) {
        Particle& particle = m_particles[i];
        if (particle.alive && !StepParticle(particle, dt)) {
            ++m_deadCount;
            m_firstDeadHint = std::min(m_firstDeadHint, i);
        }
    }

    const float t = m_elapsed - m_startDelay;
    if (m_definition.life <= t || m_stopped)
        return m_deadCount != m_particles.size();

    const uint32_t layerCount = static_cast<uint32_t>(m_definition.layers.size());
    if (!m_started) {
        m_started = true;
        for (uint32_t i = 0; i < layerCount; ++i) {
            const ParticleLayer& layer = m_definition.layers[i];
            const uint32_t count = softwareRates ? layer.softwareStartCount : layer.startCount;
            for (uint32_t n = 0; n < count; ++n)
                Emit(i);
        }
    }

    for (uint32_t i = 0; i < layerCount; ++i) {
        ParticleLayer& layer = m_definition.layers[i];
        if (layer.startTime > t || (layer.endTime != 0 && layer.endTime < t))
            continue;
        const float rate = softwareRates ? layer.softwareRate : layer.rate;
        if (!(rate > 0))
            continue;
        const float interval = 1.0f / rate;
        uint32_t emitted = 0;
        while (interval <= t - layer.accumulator) {
            if (emitted == kMaxEmitsPerUpdate) {
                // A backlog this long (a stalled frame, or an interval too small to add up in
                // floats) is dropped rather than emitted all at once.
                layer.accumulator = t;
                break;
            }
            Emit(i);
            layer.accumulator += interval;
            ++emitted;
        }
    }

    m_definition.velocityY += dt * m_definition.gravity;
    m_definition.offsetX += dt * m_definition.velocityX;
    m_definition.offsetY += dt * m_definition.velocityY;
    return true;
}

void ParticleEmitter::Emit(uint32_t layerIndex)
{
    const float x = m_x + m_definition.offsetX + RandUnit() * m_definition.width;
    const float y = m_y + m_definition.offsetY + RandUnit() * m_definition.height;
    if (m_deadCount > 0) {
        for (size_t i = m_firstDeadHint; i < m_particles.size(); ++i) {
            if (!m_particles[i].alive) {
                --m_deadCount;
                m_firstDeadHint = i + 1;
                Spawn(m_particles[i], x, y, layerIndex);
                return;
            }
        }
    }
    if (m_particles.size() >= kMaxParticles)
        return;
    Spawn(m_particles.emplace_back(), x, y, layerIndex);
}

void ParticleEmitter::Spawn(Particle& particle, float x, float y, uint32_t layerIndex)
{
    const ParticleLayer& layer = m_definition.layers[layerIndex];
    particle = Particle{};
    particle.x = particle.originX = x;
    particle.y = particle.originY = y;
    particle.driftX = RandSpread() * layer.driftX;
    particle.driftY = RandSpread() * layer.driftY;
    particle.velocityX = layer.velocityX;
    particle.velocityY = layer.velocityY;
    if (layer.velocityRand > 0) {
        particle.velocityX += RandSpread() * layer.velocityRand;
        particle.velocityY += RandSpread() * layer.velocityRand;
    }
    if (layer.rotationRand > 0)
        particle.rotation += RandUnit() * layer.rotationRand;
    if (layer.alignToVelocity)
        particle.rotation = AlignedRotation(particle.velocityX, particle.velocityY);
    particle.layer = layerIndex;
    particle.alive = 1;
}

bool ParticleEmitter::StepParticle(Particle& particle, float dt)
{
    const ParticleLayer& layer = m_definition.layers[particle.layer];
    particle.age += dt;
    if (layer.life <= particle.age) {
        particle.alive = 0;
        return false;
    }
    if (layer.driftX != 0 || layer.driftY != 0) {
        const float sway = std::sin(particle.age * layer.driftRate);
        particle.x = sway * particle.driftX + particle.originX;
        particle.y = sway * particle.driftY + particle.originY;
    } else {
        particle.velocityY += dt * layer.gravity;
        particle.x += dt * particle.velocityX;
        particle.y += dt * particle.velocityY;
    }
    if (layer.alignToVelocity)
        particle.rotation = AlignedRotation(particle.velocityX, particle.velocityY);
    particle.rotation += dt * layer.spin;
    if (layer.targetStartTime > -1.0f && layer.targetStartTime <= particle.age) {
        const float dx = layer.targetX - particle.x;
        const float dy = layer.targetY - particle.y;
        if (std::fabs(dx) < 2.0f && std::fabs(dy) < 2.0f) {
            particle.alive = 0;
            return false;
        }
        particle.velocityX = dt * layer.targetSpeed * dx;
        particle.velocityY = dt * layer.targetSpeed * dy;
    }
    return true;
}

void ParticleEmitter::BuildQuad(const Particle& particle, const Transform2D& transform, float opacity,
                                ParticleQuad& out) const
{
    const ParticleLayer& layer = m_definition.layers[particle.layer];
    out.mode = layer.additiveBlend  ? QuadBatcher::kAdditive
               : layer.maskingLayer ? QuadBatcher::kMaskLayer
                                    : QuadBatcher::kAlpha;
    if (layer.maskedIn)
        out.mode |= QuadBatcher::kMaskedIn;
    else if (layer.maskedOut)
        out.mode |= QuadBatcher::kMaskedOut;

    // A particle without a life is drawn as at its end.
    float t = layer.life > 0 ? particle.age / layer.life : 1.0f;
    t = std::clamp(t, 0.0f, 1.0f);
    float alpha = ((1.0f - t) * layer.startAlpha + t * layer.endAlpha) * opacity;
    if (!(alpha > 0))
        alpha = 0;
    else if (alpha > 1)
        alpha = 1;
    out.color = BlendChannel(layer.startColor, layer.endColor, 0, t) |
                BlendChannel(layer.startColor, layer.endColor, 8, t) |
                BlendChannel(layer.startColor, layer.endColor, 16, t) | (static_cast<uint32_t>(alpha * 255.0f) << 24);

    const float scale = (1.0f - t) * layer.startScale + t * layer.endScale;
    Transform2D picture;
    MultiplyTransform(picture, layer.baseTransform,
                      Transform2D::Translation(-layer.registrationX, -layer.registrationY));
    // Rotation, uniform scale and the move to the particle's place, as one matrix.
    Transform2D place;
    const float c = std::cos(particle.rotation) * scale;
    const float s = std::sin(particle.rotation) * scale;
    place.m11 = c;
    place.m12 = s;
    place.m21 = -s;
    place.m22 = c;
    place.m31 = particle.x;
    place.m32 = particle.y;
    MultiplyTransform(picture, picture, place);
    MultiplyTransform(out.transform, picture, transform);
}

void ParticleEmitter::Draw(QuadBatcher& batcher, const Transform2D& transform, float opacity) const
{
    ParticleQuad quad;
    for (const Particle& particle : m_particles) {
        if (!particle.alive)
            continue;
        BuildQuad(particle, transform, opacity, quad);
        const ParticleLayer& layer = m_definition.layers[particle.layer];
        batcher.DrawQuad(quad.transform, layer.texRect, layer.texture.Id(), quad.color, quad.mode, true, true);
    }
}

} // namespace QuillEngine
