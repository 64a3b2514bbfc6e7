#pragma once
// Append-only rings over dynamic device buffers. Each batch of vertices or indices is written
// behind what the device may still be reading (a no-overwrite lock); only when a batch no longer
// fits does the ring start again at 0 with a discarding lock. The renderer keeps every buffer
// object in an intrusive list and rebuilds the device buffers whenever the device is rebuilt.

#include <cstdint>

#include "engine/graphics/render/Geometry2D.h"
#include "platform/d3d/D3dInterfaces.h"

namespace QuillEngine {

class IRenderManagerContext;

// Intrusive doubly linked list link. A list is a head object (never unlinked by itself) and the
// items linked after it; an item unlinks itself when destroyed.
template <class T> class TListItem {
public:
    TListItem() = default;
    ~TListItem() { Unlink(); }
    TListItem(const TListItem&) = delete;
    TListItem& operator=(const TListItem&) = delete;

    // Links this item right after `head` (unlinking it from any list first).
    void LinkAfter(TListItem& head)
    {
        Unlink();
        prev_ = &head;
        next_ = head.next_;
        if (next_)
            next_->prev_ = this;
        head.next_ = this;
    }
    void Unlink()
    {
        if (prev_)
            prev_->next_ = next_;
        if (next_)
            next_->prev_ = prev_;
        prev_ = next_ = nullptr;
    }
    bool IsLinked() const { return prev_ != nullptr; }
    T* Next() const { return static_cast<T*>(next_); }

private:
    TListItem* prev_ = nullptr;
    TListItem* next_ = nullptr;
};

// Returned by Append when nothing was written: the caller must skip its draw.
constexpr uint32_t kAppendFailed = 0xFFFFFFFFu;

class IDynamicVertexBuffer {
public:
    virtual ~IDynamicVertexBuffer() = default;
    virtual uint32_t GetUsed() const = 0;
    virtual uint32_t GetCapacity() const = 0;
    virtual uint32_t GetStride() const = 0;
    virtual uint32_t GetFVF() const = 0;
    // Copies `count` vertices (x and y of each moved by `transform` when given) and returns the
    // index of the first one, or kAppendFailed when there is no device buffer, the lock fails,
    // `count` is 0 or exceeds the capacity.
    virtual uint32_t Append(uint32_t count, const void* vertices, const Transform2D* transform) = 0;
    virtual QuillD3D::Result Bind(IRenderManagerContext& context, uint32_t stream) = 0;
};

class IDynamicIndexBuffer {
public:
    virtual ~IDynamicIndexBuffer() = default;
    virtual uint32_t GetUsed() const = 0;
    virtual uint32_t GetCapacity() const = 0;
    virtual uint32_t Append(uint32_t count, const uint16_t* indices) = 0;
    virtual QuillD3D::Result Bind(IRenderManagerContext& context) = 0;
};

class CDynamicVertexBuffer final : public IDynamicVertexBuffer, public TListItem<CDynamicVertexBuffer> {
public:
    CDynamicVertexBuffer(uint32_t capacity, uint32_t stride, uint32_t fvf);
    ~CDynamicVertexBuffer() override;

    uint32_t GetUsed() const override { return used_; }
    uint32_t GetCapacity() const override { return capacity_; }
    uint32_t GetStride() const override { return stride_; }
    uint32_t GetFVF() const override { return fvf_; }
    uint32_t Append(uint32_t count, const void* vertices, const Transform2D* transform) override;
    QuillD3D::Result Bind(IRenderManagerContext& context, uint32_t stream) override;

    // Releases any device buffer, restarts at 0 and (capacity permitting) creates a dynamic,
    // write-only buffer of the default pool. False when the device refuses it.
    bool CreateDeviceBuffer(QuillD3D::IDevice* device);
    // Takes over one reference of `buffer` (none: no device buffer) and restarts at 0.
    void SetDeviceBuffer(QuillD3D::IVertexBuffer* buffer);
    void ReleaseDeviceBuffer() { SetDeviceBuffer(nullptr); }
    QuillD3D::IVertexBuffer* DeviceBuffer() const { return buffer_; }

private:
    QuillD3D::IVertexBuffer* buffer_ = nullptr;
    uint32_t used_ = 0;
    uint32_t capacity_;
    uint32_t stride_;
    uint32_t fvf_;
};

class CDynamicIndexBuffer final : public IDynamicIndexBuffer, public TListItem<CDynamicIndexBuffer> {
public:
    explicit CDynamicIndexBuffer(uint32_t capacity);
    ~CDynamicIndexBuffer() override;

    uint32_t GetUsed() const override { return used_; }
    uint32_t GetCapacity() const override { return capacity_; }
    uint32_t Append(uint32_t count, const uint16_t* indices) override;
    QuillD3D::Result Bind(IRenderManagerContext& context) override;

    bool CreateDeviceBuffer(QuillD3D::IDevice* device);
    void SetDeviceBuffer(QuillD3D::IIndexBuffer* buffer);
    void ReleaseDeviceBuffer() { SetDeviceBuffer(nullptr); }
    QuillD3D::IIndexBuffer* DeviceBuffer() const { return buffer_; }

private:
    QuillD3D::IIndexBuffer* buffer_ = nullptr;
    uint32_t used_ = 0;
    uint32_t capacity_;
};

} // namespace QuillEngine
