#pragma once
// What the binding tests share: a small white picture file and a script run that returns what the
// script printed (errors included), empty when it ran cleanly.

#include <cstdint>
#include <string>

#include "engine/core/strings/EngineString.h"
#include "engine/script/LuaMgr.h"
#include "engine/script/LuaState.h"

namespace BindingsTesting {

// An uncompressed 32-bit TGA of side x side opaque white pixels.
inline std::string WhiteTga(uint32_t side)
{
    std::string file(18, '\0');
    file[2] = 2;
    file[12] = char(side);
    file[14] = char(side);
    file[16] = 32;
    file.append(size_t(side) * side * 4, char(0xFF));
    return file;
}

inline std::string RunPrinting(QuillEngine::LuaMgr& lua, const std::string& chunk)
{
    std::string printed;
    lua.GetState()->SetPrintCallback([&printed](const char16_t* t) { printed += QuillEngine::ToUtf8(t); });
    lua.GetState()->DoString(chunk.c_str());
    lua.GetState()->SetPrintCallback([](const char16_t*) {});
    return printed;
}

} // namespace BindingsTesting
