#pragma once
// Emitter definitions: what an effect file ("Emitters\<file>") describes. An emitter has a spawn
// area, a velocity of its own and a life; each particle layer names a picture of the definition
// libraries and says how its particles are emitted, move, turn, fade and shrink.
//
// Values from files are sanitised while they are read: a real that is not finite keeps its
// default, rates and counts are capped, so no file can make an emitter loop for ever or allocate
// without bound.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/core/strings/EngineString.h"
#include "engine/graphics/render/Geometry2D.h"
#include "engine/graphics/render/QuadBatcher.h"

namespace QuillEngine {

class XmlNode;

// One use of a texture resource of the cache: copying adds a use, destruction gives it back, so a
// layer's picture stays loaded as long as any definition or live emitter shows it.
class TextureUse {
public:
    TextureUse() = default;
    // Takes over one use that the caller already holds.
    explicit TextureUse(uint32_t id) : m_id(id) {}
    TextureUse(const TextureUse& other);
    TextureUse& operator=(const TextureUse& other);
    TextureUse(TextureUse&& other) noexcept : m_id(other.m_id) { other.m_id = 0; }
    TextureUse& operator=(TextureUse&& other) noexcept;
    ~TextureUse() { Reset(); }

    uint32_t Id() const { return m_id; }
    void Reset();

private:
    uint32_t m_id = 0;
};

struct ParticleLayer {
    String textureName;
    float registrationX = 0, registrationY = 0;
    bool additiveBlend = false;
    float startTime = 0, endTime = 0; // seconds after the emitter starts; endTime 0 = no end
    uint32_t startColor = 0xFFFFFFFFu, endColor = 0;
    float startAlpha = 1.0f, endAlpha = 0;
    float startScale = 1.0f, endScale = 0;
    float life = 1.0f;
    float rate = 1.0f; // particles per second; 0 emits nothing over time
    float velocityX = 0, velocityY = 0, velocityRand = 0;
    float rotationRand = 0;
    float gravity = 0;
    float spin = 0;
    bool alignToVelocity = false;
    bool useGlobalRoot = false; // carried, no behaviour depends on it
    float targetStartTime = -1.0f; // particle age from which it heads for the target; -1 = never
    float targetSpeed = 1.0f, targetX = 0, targetY = 0;
    float driftX = 0, driftY = 0, driftRate = 0;
    bool maskedIn = false, maskedOut = false, maskingLayer = false;
    uint32_t startCount = 0;
    float accumulator = 0; // seconds of emission already done (state of a live emitter's copy)
    // The picture, taken from the image definition when the file is read.
    TextureUse texture;
    QuadTexRect texRect{0, 0, 0, 0};
    Transform2D baseTransform;
    // Used instead of rate and startCount while the renderer runs on the software rasteriser.
    float softwareRate = 1.0f;
    uint32_t softwareStartCount = 0;
};

struct EmitterDefinition {
    // Caps applied to values read from files.
    static constexpr float kMaxRate = 2000.0f;
    static constexpr uint32_t kMaxStartCount = 2000;

    String name; // the `Name` attribute as written
    float offsetX = 0, offsetY = 0;
    float width = 0, height = 0;
    float velocityX = 0, velocityY = 0;
    float gravity = 0;
    float life = 1.0f;
    float velocityRand = 0;
    std::vector<ParticleLayer> layers;
};

// Fills the picture fields of `layer` (texture, texture rectangle, base transform) for the image
// definition named `layer.textureName`; false when there is no such image.
using ParticlePictureLookup = std::function<bool(ParticleLayer& layer)>;

// Reads an effect document (its root element). False when the root is no `Emitter` element, has no
// `Name` attribute or no `Particle` child, or when a layer's picture cannot be found; `out` is
// then in an unspecified state.
bool ParseEmitterDefinition(const XmlNode& root, const ParticlePictureLookup& lookup, EmitterDefinition& out);

// The key of a definition name: ASCII and Latin-1 letters lower-cased.
String EmitterKey(StringView name);

} // namespace QuillEngine
