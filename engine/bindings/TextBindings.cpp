// The text instance's own methods. A text table also carries the instance methods
// (InstanceBindings.cpp).

#include "engine/bindings/InstanceSelf.h"
#include "engine/bindings/ScriptBindings.h"
#include "engine/core/strings/EngineString.h"
#include "engine/graphics/scene/Instance_Text.h"
#include "engine/script/ScriptBinding.h"

namespace QuillEngine::Bindings {

using QuillLua::MakePlainCallee;
using QuillLua::RegisterDirect;

namespace {

void TextSetText(Instance_Text* text, std::string_view value)
{
    text->SetText(FromUtf8(value));
}

void TextSetFont(Instance_Text* text, std::string_view face, int32_t size, bool bold, bool italic)
{
    text->SetFont(FromUtf8(face), size, bold, italic);
}

} // namespace

void BindTextMethods(const QuillLua::LuaValueRef& table)
{
    RegisterDirect(table, "SetText", MakePlainCallee(&TextSetText, &SelfText));
    RegisterDirect(table, "SetFont", MakePlainCallee(&TextSetFont, &SelfText));
}

} // namespace QuillEngine::Bindings
