#pragma once
// Seam: the particle manager until particle emitters land; no effect file is loaded yet.

#include "engine/core/EngineString.h"

namespace QuillEngine {

class ParticleManager {
public:
    bool LoadEmitter(const String& /*fileName*/) { return false; }
};

} // namespace QuillEngine
