#include "engine/graphics/render/DynamicBuffers.h"

#include <cmath>
#include <cstring>

#include "engine/graphics/render/RenderManagerContext.h"

namespace QuillEngine {

using namespace QuillD3D;

namespace {

constexpr uint32_t kDynamicWriteOnly = UsageDynamic | UsageWriteOnly;

// The lock that makes room for `count` more elements: behind the write position without
// overwriting, or from 0 discarding the old contents when the ring is full.
uint32_t MakeRoom(uint32_t& used, uint32_t count, uint32_t capacity)
{
    if (used + static_cast<uint64_t>(count) > capacity) {
        used = 0;
        return LockDiscard;
    }
    return LockNoOverwrite;
}

bool MovesPoints(const Transform2D& m)
{
    return !IsIdentityLinear(m) || std::fabs(m.m31) >= 0.001f || std::fabs(m.m32) >= 0.001f;
}

} // namespace

// --- vertices ---------------------------------------------------------------------------------

CDynamicVertexBuffer::CDynamicVertexBuffer(uint32_t capacity, uint32_t stride, uint32_t fvf)
    : capacity_(capacity), stride_(stride), fvf_(fvf)
{
}

CDynamicVertexBuffer::~CDynamicVertexBuffer()
{
    ReleaseDeviceBuffer();
}

void CDynamicVertexBuffer::SetDeviceBuffer(IVertexBuffer* buffer)
{
    if (buffer_)
        buffer_->Release();
    buffer_ = buffer;
    used_ = 0;
}

bool CDynamicVertexBuffer::CreateDeviceBuffer(IDevice* device)
{
    ReleaseDeviceBuffer();
    if (capacity_ == 0)
        return true;
    const uint64_t bytes = static_cast<uint64_t>(capacity_) * stride_;
    if (!device || stride_ == 0 || bytes > 0xFFFFFFFFu)
        return false;
    IVertexBuffer* buffer = nullptr;
    if (Failed(device->CreateVertexBuffer(static_cast<uint32_t>(bytes), kDynamicWriteOnly, fvf_, PoolDefault, &buffer)))
        return false;
    SetDeviceBuffer(buffer);
    return true;
}

uint32_t CDynamicVertexBuffer::Append(uint32_t count, const void* vertices, const Transform2D* transform)
{
    if (!buffer_ || !vertices || count == 0 || count > capacity_)
        return kAppendFailed;
    uint32_t start = used_;
    const uint32_t flags = MakeRoom(start, count, capacity_);
    void* data = nullptr;
    if (Failed(buffer_->Lock(start * stride_, count * stride_, &data, flags)) || !data)
        return kAppendFailed;
    auto* out = static_cast<uint8_t*>(data);
    std::memcpy(out, vertices, static_cast<size_t>(count) * stride_);
    if (transform && stride_ >= 2 * sizeof(float) && MovesPoints(*transform)) {
        const Transform2D& m = *transform;
        for (uint32_t i = 0; i < count; ++i) {
            float xy[2];
            std::memcpy(xy, out + static_cast<size_t>(i) * stride_, sizeof xy);
            const float x = xy[0] * m.m11 + xy[1] * m.m21 + m.m31;
            const float y = xy[0] * m.m12 + xy[1] * m.m22 + m.m32;
            xy[0] = x;
            xy[1] = y;
            std::memcpy(out + static_cast<size_t>(i) * stride_, xy, sizeof xy);
        }
    }
    buffer_->Unlock();
    used_ = start + count;
    return start;
}

Result CDynamicVertexBuffer::Bind(IRenderManagerContext& context, uint32_t stream)
{
    if (Result r = context.SetFVF(fvf_); Failed(r))
        return r;
    return context.SetStreamSource(stream, buffer_, 0, stride_);
}

// --- indices ----------------------------------------------------------------------------------

CDynamicIndexBuffer::CDynamicIndexBuffer(uint32_t capacity) : capacity_(capacity) {}

CDynamicIndexBuffer::~CDynamicIndexBuffer()
{
    ReleaseDeviceBuffer();
}

void CDynamicIndexBuffer::SetDeviceBuffer(IIndexBuffer* buffer)
{
    if (buffer_)
        buffer_->Release();
    buffer_ = buffer;
    used_ = 0;
}

bool CDynamicIndexBuffer::CreateDeviceBuffer(IDevice* device)
{
    ReleaseDeviceBuffer();
    if (capacity_ == 0)
        return true;
    if (!device || capacity_ > 0x7FFFFFFFu)
        return false;
    IIndexBuffer* buffer = nullptr;
    if (Failed(device->CreateIndexBuffer(capacity_ * 2, kDynamicWriteOnly, FmtIndex16, PoolDefault, &buffer)))
        return false;
    SetDeviceBuffer(buffer);
    return true;
}

uint32_t CDynamicIndexBuffer::Append(uint32_t count, const uint16_t* indices)
{
    if (!buffer_ || !indices || count == 0 || count > capacity_)
        return kAppendFailed;
    uint32_t start = used_;
    const uint32_t flags = MakeRoom(start, count, capacity_);
    void* data = nullptr;
    if (Failed(buffer_->Lock(start * 2, count * 2, &data, flags)) || !data)
        return kAppendFailed;
    std::memcpy(data, indices, static_cast<size_t>(count) * 2);
    buffer_->Unlock();
    used_ = start + count;
    return start;
}

Result CDynamicIndexBuffer::Bind(IRenderManagerContext& context)
{
    return context.SetIndices(buffer_);
}

} // namespace QuillEngine
