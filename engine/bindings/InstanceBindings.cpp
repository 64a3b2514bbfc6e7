// Methods of every instance table: movies, images and texts alike.

#include <string_view>

#include "engine/bindings/InstanceSelf.h"
#include "engine/bindings/ScriptBindings.h"
#include "engine/core/strings/EngineString.h"
#include "engine/graphics/canvas/RenderCanvas.h"
#include "engine/graphics/scene/Instance_Base.h"
#include "engine/script/ScriptBinding.h"

namespace QuillEngine::Bindings {

using QuillLua::LuaValueRef;
using QuillLua::MakeMemberCallee;
using QuillLua::MakePlainCallee;
using QuillLua::RegisterDirect;

namespace {

void InstanceSetColor(Instance_Base* instance, uint32_t color)
{
    instance->SetColor(color);
}

// The canvas shortcuts: each makes the instance's canvas on first use (none exists without a
// canvas manager, and then they do nothing and read as a clear, visible canvas).
IRenderCanvas* CanvasOf(Instance_Base* instance)
{
    return instance->GetCanvas(true);
}

void CanvasClear(Instance_Base* instance)
{
    if (IRenderCanvas* canvas = CanvasOf(instance))
        canvas->Clear();
}

bool CanvasIsClear(Instance_Base* instance)
{
    IRenderCanvas* canvas = CanvasOf(instance);
    return !canvas || canvas->IsEmpty();
}

void CanvasSetClearOnRender(Instance_Base* instance, bool clear)
{
    if (IRenderCanvas* canvas = CanvasOf(instance))
        canvas->SetClearAfterRender(clear);
}

bool CanvasGetClearOnRender(Instance_Base* instance)
{
    IRenderCanvas* canvas = CanvasOf(instance);
    return canvas && canvas->GetClearAfterRender();
}

void CanvasSetVisible(Instance_Base* instance, bool visible)
{
    if (IRenderCanvas* canvas = CanvasOf(instance))
        canvas->SetVisible(visible);
}

bool CanvasGetVisible(Instance_Base* instance)
{
    IRenderCanvas* canvas = CanvasOf(instance);
    return !canvas || canvas->GetVisible();
}

void CanvasSetRenderPass(Instance_Base* instance, int32_t pass)
{
    // Two passes exist: under the instance (0) and over it (anything else).
    if (IRenderCanvas* canvas = CanvasOf(instance))
        canvas->SetTargetList(pass != 0 ? 1u : 0u);
}

void CanvasDrawLine(Instance_Base* instance, float x1, float y1, float x2, float y2, uint32_t color)
{
    if (IRenderCanvas* canvas = CanvasOf(instance))
        canvas->DrawLine(Vec2{x1, y1}, Vec2{x2, y2}, color);
}

void DrawRect(Instance_Base* instance, float x1, float y1, float x2, float y2, uint32_t color, bool filled)
{
    if (IRenderCanvas* canvas = CanvasOf(instance))
        canvas->DrawRect(Vec2{x1, y1}, Vec2{x2, y2}, color, filled);
}

void CanvasDrawRect(Instance_Base* instance, float x1, float y1, float x2, float y2, uint32_t color)
{
    DrawRect(instance, x1, y1, x2, y2, color, false);
}

void CanvasDrawRectFilled(Instance_Base* instance, float x1, float y1, float x2, float y2, uint32_t color)
{
    DrawRect(instance, x1, y1, x2, y2, color, true);
}

void DrawTriangle(Instance_Base* instance, float x1, float y1, float x2, float y2, float x3, float y3, uint32_t color,
                  bool filled)
{
    if (IRenderCanvas* canvas = CanvasOf(instance))
        canvas->DrawTriangle(Vec2{x1, y1}, Vec2{x2, y2}, Vec2{x3, y3}, color, filled);
}

void CanvasDrawTriangle(Instance_Base* instance, float x1, float y1, float x2, float y2, float x3, float y3,
                        uint32_t color)
{
    DrawTriangle(instance, x1, y1, x2, y2, x3, y3, color, false);
}

void CanvasDrawTriangleFilled(Instance_Base* instance, float x1, float y1, float x2, float y2, float x3, float y3,
                              uint32_t color)
{
    DrawTriangle(instance, x1, y1, x2, y2, x3, y3, color, true);
}

void DrawCircle(Instance_Base* instance, float x, float y, float radius, uint32_t color, int32_t segments, bool filled)
{
    // Fewer than three segments make no circle.
    if (segments < 3)
        return;
    if (IRenderCanvas* canvas = CanvasOf(instance))
        canvas->DrawCircle(Vec2{x, y}, radius, color, filled, static_cast<uint32_t>(segments));
}

void CanvasDrawCircle(Instance_Base* instance, float x, float y, float radius, uint32_t color, int32_t segments)
{
    DrawCircle(instance, x, y, radius, color, segments, false);
}

void CanvasDrawCircleFilled(Instance_Base* instance, float x, float y, float radius, uint32_t color, int32_t segments)
{
    DrawCircle(instance, x, y, radius, color, segments, true);
}

void CanvasDrawTextLine(Instance_Base* instance, float x, float y, int32_t size, uint32_t color, std::string_view text)
{
    // The text is drawn as it stands: no format is applied to it. It is UTF-8, like SetText's,
    // not the ANSI code page of names (docs/ARCHITECTURE.md, Scripts).
    if (IRenderCanvas* canvas = CanvasOf(instance))
        canvas->DrawText(Vec2{x, y}, size, color, FromUtf8(text));
}

} // namespace

void BindInstanceMethods(const LuaValueRef& table)
{
    using B = Instance_Base;
    RegisterDirect(table, "SetMaterial", MakeMemberCallee(&B::SetMaterial, &SelfInstance));
    RegisterDirect(table, "SetInputEnabled", MakeMemberCallee(&B::SetInputEnabled, &SelfInstance));
    RegisterDirect(table, "SetOpacity", MakeMemberCallee(&B::SetOpacity, &SelfInstance));
    RegisterDirect(table, "SetColor", MakePlainCallee(&InstanceSetColor, &SelfInstance));
    RegisterDirect(table, "SetAllowFiltering", MakeMemberCallee(&B::SetAllowFiltering, &SelfInstance));
    RegisterDirect(table, "SetPosition", MakeMemberCallee(&B::SetPosition, &SelfInstance));
    RegisterDirect(table, "SetX", MakeMemberCallee(&B::SetX, &SelfInstance));
    RegisterDirect(table, "SetY", MakeMemberCallee(&B::SetY, &SelfInstance));
    RegisterDirect(table, "GetX", MakeMemberCallee(&B::GetX, &SelfInstance));
    RegisterDirect(table, "GetY", MakeMemberCallee(&B::GetY, &SelfInstance));
    RegisterDirect(table, "GlobalToLocalX", MakeMemberCallee(&B::GlobalToLocalX, &SelfInstance));
    RegisterDirect(table, "GlobalToLocalY", MakeMemberCallee(&B::GlobalToLocalY, &SelfInstance));
    RegisterDirect(table, "GetWidth", MakeMemberCallee(&B::GetWidth, &SelfInstance));
    RegisterDirect(table, "GetHeight", MakeMemberCallee(&B::GetHeight, &SelfInstance));
    RegisterDirect(table, "GetVisible", MakeMemberCallee(&B::GetVisible, &SelfInstance));
    RegisterDirect(table, "SetRegistrationPoint", MakeMemberCallee(&B::SetRegistrationPoint, &SelfInstance));
    RegisterDirect(table, "SetRotation", MakeMemberCallee(&B::SetRotation, &SelfInstance));
    RegisterDirect(table, "SetScale", MakeMemberCallee(&B::SetScale, &SelfInstance));
    RegisterDirect(table, "SetVisible", MakeMemberCallee(&B::SetVisible, &SelfInstance));
    RegisterDirect(table, "MoveToFront", MakeMemberCallee(&B::MoveToFront, &SelfInstance));
    RegisterDirect(table, "MoveToBack", MakeMemberCallee(&B::MoveToBack, &SelfInstance));
    RegisterDirect(table, "SetDropShadow", MakeMemberCallee(&B::SetDropShadow, &SelfInstance));
    RegisterDirect(table, "CanvasClear", MakePlainCallee(&CanvasClear, &SelfInstance));
    RegisterDirect(table, "CanvasIsClear", MakePlainCallee(&CanvasIsClear, &SelfInstance));
    RegisterDirect(table, "CanvasSetClearOnRender", MakePlainCallee(&CanvasSetClearOnRender, &SelfInstance));
    RegisterDirect(table, "CanvasGetClearOnRender", MakePlainCallee(&CanvasGetClearOnRender, &SelfInstance));
    RegisterDirect(table, "CanvasSetVisible", MakePlainCallee(&CanvasSetVisible, &SelfInstance));
    RegisterDirect(table, "CanvasGetVisible", MakePlainCallee(&CanvasGetVisible, &SelfInstance));
    RegisterDirect(table, "CanvasSetRenderPass", MakePlainCallee(&CanvasSetRenderPass, &SelfInstance));
    RegisterDirect(table, "CanvasDrawLine", MakePlainCallee(&CanvasDrawLine, &SelfInstance));
    RegisterDirect(table, "CanvasDrawRect", MakePlainCallee(&CanvasDrawRect, &SelfInstance));
    RegisterDirect(table, "CanvasDrawRectFilled", MakePlainCallee(&CanvasDrawRectFilled, &SelfInstance));
    RegisterDirect(table, "CanvasDrawTriangle", MakePlainCallee(&CanvasDrawTriangle, &SelfInstance));
    RegisterDirect(table, "CanvasDrawTriangleFilled", MakePlainCallee(&CanvasDrawTriangleFilled, &SelfInstance));
    RegisterDirect(table, "CanvasDrawCircle", MakePlainCallee(&CanvasDrawCircle, &SelfInstance));
    RegisterDirect(table, "CanvasDrawCircleFilled", MakePlainCallee(&CanvasDrawCircleFilled, &SelfInstance));
    RegisterDirect(table, "CanvasDrawTextLine", MakePlainCallee(&CanvasDrawTextLine, &SelfInstance));
}

} // namespace QuillEngine::Bindings
