#pragma once
// Seam: the quad batcher until its own task lands. It makes and restores the buffers the real
// batcher draws from (a dynamic vertex buffer through the renderer and a managed index buffer
// holding the quad pattern), so device creation, restoration and loss exercise them; no quad is
// queued yet, so Flush draws nothing.

#include <cstdint>
#include <memory>

#include "engine/graphics/DynamicBuffers.h"

namespace QuillEngine {

class CRenderManager;

class QuadBatcher {
public:
    static constexpr uint32_t kVertexCapacity = 4000;
    static constexpr uint32_t kVertexStride = 28;
    static constexpr uint32_t kMaxQuads = 1000;

    explicit QuadBatcher(CRenderManager* renderer) : renderer_(renderer) {}
    ~QuadBatcher();
    QuadBatcher(const QuadBatcher&) = delete;
    QuadBatcher& operator=(const QuadBatcher&) = delete;

    // On device creation: the vertex buffer object and the filled index buffer.
    bool Create();
    // After the device buffers are rebuilt: binds both with the cache's force flag on.
    void Restore();
    void Flush() {}

    CDynamicVertexBuffer* VertexBuffer() const { return vertices_.get(); }
    QuillD3D::IIndexBuffer* IndexBuffer() const { return indices_; }

private:
    CRenderManager* renderer_;
    std::unique_ptr<CDynamicVertexBuffer> vertices_;
    QuillD3D::IIndexBuffer* indices_ = nullptr;
};

} // namespace QuillEngine
