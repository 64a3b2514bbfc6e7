#pragma once
// The script manager as the engine object reaches it.
//
// Seam: a null script manager until the script manager lands; no script runs yet.

#include "engine/core/EngineString.h"
#include "engine/core/Singleton.h"

namespace QuillEngine {

class LuaMgr : public Singleton<LuaMgr> {
public:
    bool Init() { return true; }
    void RegisterGlobals() {}
    bool DoFile(const String& /*name*/) { return false; }
};

} // namespace QuillEngine
