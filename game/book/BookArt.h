#pragma once
// Small helpers shared by the album's classes: art is looked up by name through handles each time
// it is needed, and a piece that is missing is simply skipped.

#include <cstdint>

#include "engine/core/strings/EngineString.h"
#include "engine/graphics/scene/InstanceTree.h"
#include "engine/script/LuaValueRef.h"

namespace BookArt {

// The child of `parent` (a movie) named `name`; empty when either is missing.
QuillEngine::InstanceHandle Child(const QuillEngine::InstanceHandle& parent, QuillEngine::StringView name);
// The current frame of a movie; -1 when it does not resolve.
int32_t Frame(const QuillEngine::InstanceHandle& movie);
// Sets the text of a text instance; nothing when it is not one.
void SetText(const QuillEngine::InstanceHandle& text, const QuillEngine::String& value);
QuillEngine::String Text(const QuillEngine::InstanceHandle& text);
void SetMaterial(const QuillEngine::InstanceHandle& instance, uint32_t blendMode);
void SetRegistrationX(const QuillEngine::InstanceHandle& instance, float x);
bool Visible(const QuillEngine::InstanceHandle& instance);
bool Valid(const QuillEngine::InstanceHandle& instance);
// Plays a sound effect once; the result is empty without audio.
void PlayEffect(const char16_t* name);
// The script's global table; empty without a script state.
QuillLua::LuaValueRef ScriptGlobals();

} // namespace BookArt
