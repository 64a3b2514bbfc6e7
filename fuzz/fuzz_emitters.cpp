// Parses arbitrary bytes as an effect file, then runs an emitter of the definition for a few
// seconds and builds every particle's quad. Nothing may read out of bounds, loop for ever, grow
// without bound or produce a non-finite colour, whatever the file holds.

#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/particles/ParticleEmitter.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace QuillEngine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto root = XmlNode::ParseFileBytes(data, size, false);
    if (!root)
        return 0;
    EmitterDefinition definition;
    // Every picture name is accepted; the picture fields keep their defaults.
    if (!ParseEmitterDefinition(*root, [](ParticleLayer&) { return true; }, definition))
        return 0;
    ParticleEmitter emitter(definition, static_cast<uint32_t>(size));
    ParticleQuad quad;
    for (int step = 0; step < 240; ++step) {
        if (!emitter.Update(1.0f / 60.0f, (step & 1) != 0))
            break;
        if (emitter.Particles().size() > ParticleEmitter::kMaxParticles)
            std::abort();
        if (step % 30 == 0)
            for (const Particle& particle : emitter.Particles())
                if (particle.alive)
                    emitter.BuildQuad(particle, Transform2D{}, 1.0f, quad);
    }
    return 0;
}
