#include "game/book/BookArt.h"

#include "engine/core/audio/Audio.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/Instance_Text.h"
#include "engine/script/LuaMgr.h"
#include "engine/script/LuaState.h"

using namespace QuillEngine;

namespace BookArt {

InstanceHandle Child(const InstanceHandle& parent, StringView name)
{
    const Instance_Movie* movie = HandleEx::ResolveMovie(parent);
    return movie ? movie->FindChild(name) : InstanceHandle();
}

int32_t Frame(const InstanceHandle& movie)
{
    const Instance_Movie* resolved = HandleEx::ResolveMovie(movie);
    return resolved ? resolved->GetFrame() : -1;
}

void SetText(const InstanceHandle& text, const String& value)
{
    if (Instance_Text* resolved = HandleEx::ResolveText(text))
        resolved->SetText(value);
}

String Text(const InstanceHandle& text)
{
    const Instance_Text* resolved = HandleEx::ResolveText(text);
    return resolved ? resolved->GetText() : String();
}

void SetMaterial(const InstanceHandle& instance, uint32_t blendMode)
{
    if (Instance_Base* resolved = instance.Resolve())
        resolved->SetMaterial(blendMode);
}

void SetRegistrationX(const InstanceHandle& instance, float x)
{
    if (Instance_Base* resolved = instance.Resolve()) {
        float rx = 0, ry = 0;
        resolved->GetRegistrationPoint(rx, ry);
        resolved->SetRegistrationPoint(x, ry);
    }
}

bool Visible(const InstanceHandle& instance)
{
    const Instance_Base* resolved = instance.Resolve();
    return resolved && resolved->GetVisible();
}

bool Valid(const InstanceHandle& instance)
{
    return instance.Resolve() != nullptr;
}

void PlayEffect(const char16_t* name)
{
    if (Audio* audio = Audio::Instance())
        audio->PlaySound(name, false);
}

QuillLua::LuaValueRef ScriptGlobals()
{
    QuillEngine::LuaMgr* lua = QuillEngine::LuaMgr::Instance();
    return lua && lua->GetState() ? lua->GetState()->GetGlobals() : QuillLua::LuaValueRef();
}

} // namespace BookArt
