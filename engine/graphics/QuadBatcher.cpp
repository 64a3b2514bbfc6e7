#include "engine/graphics/QuadBatcher.h"

#include "engine/graphics/RenderManager.h"
#include "engine/graphics/RenderManagerContext.h"

namespace QuillEngine {

using namespace QuillD3D;

QuadBatcher::~QuadBatcher()
{
    if (indices_)
        indices_->Release();
}

bool QuadBatcher::Create()
{
    IDevice* device = renderer_ ? renderer_->GetDevice() : nullptr;
    if (!device)
        return false;
    vertices_ = renderer_->CreateDynamicVertexBuffer(kVertexCapacity, kVertexStride, kFvfSprite);
    if (Failed(device->CreateIndexBuffer(kMaxQuads * 6 * 2, UsageWriteOnly, FmtIndex16, PoolManaged, &indices_)))
        return false;
    void* data = nullptr;
    if (Failed(indices_->Lock(0, 0, &data, 0)) || !data)
        return false;
    auto* idx = static_cast<uint16_t*>(data);
    for (uint32_t q = 0; q < kMaxQuads; ++q) {
        const auto v = static_cast<uint16_t>(4 * q);
        const uint16_t pattern[6] = {v, static_cast<uint16_t>(v + 1), static_cast<uint16_t>(v + 2),
                                     v, static_cast<uint16_t>(v + 2), static_cast<uint16_t>(v + 3)};
        for (int i = 0; i < 6; ++i)
            idx[6 * q + i] = pattern[i];
    }
    indices_->Unlock();
    return true;
}

void QuadBatcher::Restore()
{
    CRenderManagerContext* context = renderer_ ? renderer_->GetContext() : nullptr;
    if (!context || !vertices_)
        return;
    context->SetForce(true);
    vertices_->Bind(*context, 0);
    context->SetIndices(indices_);
    context->SetForce(false);
}

} // namespace QuillEngine
