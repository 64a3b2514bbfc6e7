#include "engine/graphics/canvas/RenderCanvasManager.h"

#include "engine/graphics/text/Font.h"
#include "engine/graphics/text/FontKey.h"
#include "engine/graphics/render/RenderManager.h"
#include "engine/graphics/text/TextRenderer.h"

namespace QuillEngine {

CRenderCanvasManager::CRenderCanvasManager(CRenderManager* renderer) : renderer_(renderer), head_(nullptr)
{
    for (int32_t& font : consoleFonts_)
        font = -1;
}

CRenderCanvasManager::~CRenderCanvasManager()
{
    // The renderer deletes this manager before its text renderer; a text renderer made
    // elsewhere is only trusted while it is still the live one.
    if (fontOwner_ && fontOwner_ == TextRenderer::Instance()) {
        for (int32_t font : consoleFonts_) {
            if (font >= 0)
                fontOwner_->ReleaseFont(font);
        }
    }
    // Canvases still alive belong to their instances; they only leave the list here.
    while (CRenderCanvas* canvas = head_.Next()) {
        canvas->DetachManager();
        canvas->Unlink();
    }
}

bool CRenderCanvasManager::Init()
{
    if (!renderer_)
        return false;
    vertices_ = renderer_->CreateDynamicVertexBuffer(kVertexCapacity, 28, QuillD3D::kFvfSprite);
    indices_ = renderer_->CreateDynamicIndexBuffer(kIndexCapacity);
    return true;
}

std::unique_ptr<CRenderCanvas> CRenderCanvasManager::CreateCanvas()
{
    auto canvas = std::make_unique<CRenderCanvas>(this);
    canvas->LinkAfter(head_);
    return canvas;
}

int32_t CRenderCanvasManager::GetConsoleFont(TextRenderer* text, int32_t size)
{
    if (!text || size < 0 || size >= kConsoleFontSizes)
        return -1;
    if (fontOwner_ && fontOwner_ != text)
        return -1; // the indices belong to another text renderer
    int32_t& font = consoleFonts_[size];
    if (font < 0) {
        font = text->AcquireFont(FontKey(kConsoleFace, size));
        if (font >= 0)
            fontOwner_ = text;
    }
    return font;
}

void CRenderCanvasManager::UpdateFonts()
{
    if (!fontOwner_ || fontOwner_ != TextRenderer::Instance())
        return;
    const uint32_t now = fontOwner_->Now();
    for (int32_t index : consoleFonts_) {
        if (index < 0)
            continue;
        if (Font* font = fontOwner_->GetFont(index))
            font->EvictStep(now);
    }
}

void CRenderCanvasManager::ReleaseDeviceObjects()
{
    for (CRenderCanvas* canvas = head_.Next(); canvas; canvas = canvas->Next())
        canvas->Clear();
}

bool CRenderCanvasManager::AnyToDraw() const
{
    for (const CRenderCanvas* canvas = head_.Next(); canvas; canvas = canvas->Next())
        if (canvas->GetVisible() && !canvas->IsEmpty())
            return true;
    return false;
}

bool CRenderCanvasManager::TakeCanvasChanges()
{
    bool changed = false;
    for (CRenderCanvas* canvas = head_.Next(); canvas; canvas = canvas->Next())
        changed = canvas->TakeChange() || changed;
    return changed;
}

size_t CRenderCanvasManager::CanvasCount() const
{
    size_t count = 0;
    for (const CRenderCanvas* canvas = head_.Next(); canvas; canvas = canvas->Next())
        ++count;
    return count;
}

} // namespace QuillEngine
