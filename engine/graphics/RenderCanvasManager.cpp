#include "engine/graphics/RenderCanvasManager.h"

#include "engine/graphics/RenderManager.h"

namespace QuillEngine {

bool CRenderCanvasManager::Init()
{
    if (!renderer_)
        return false;
    vertices_ = renderer_->CreateDynamicVertexBuffer(kVertexCapacity, 28, QuillD3D::kFvfSprite);
    indices_ = renderer_->CreateDynamicIndexBuffer(kIndexCapacity);
    return true;
}

} // namespace QuillEngine
