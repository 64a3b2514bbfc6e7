#pragma once
// Seam: the render-canvas manager until canvases land. It makes the vertex and index buffers the
// canvases share through the renderer, so they follow the device like every dynamic buffer; it
// holds no canvas and no console font yet.

#include <cstdint>
#include <memory>

#include "engine/graphics/DynamicBuffers.h"

namespace QuillEngine {

class CRenderManager;

class CRenderCanvasManager {
public:
    static constexpr uint32_t kVertexCapacity = 16384;
    static constexpr uint32_t kIndexCapacity = 16384;

    explicit CRenderCanvasManager(CRenderManager* renderer) : renderer_(renderer) {}

    bool Init();
    bool RestoreDeviceObjects() { return true; }
    void ReleaseDeviceObjects() {}
    // Per frame: console fonts drop the strings they have not drawn lately.
    void UpdateFonts() {}

    CRenderManager* GetRenderer() const { return renderer_; }
    CDynamicVertexBuffer* GetVertexBuffer() const { return vertices_.get(); }
    CDynamicIndexBuffer* GetIndexBuffer() const { return indices_.get(); }

private:
    CRenderManager* renderer_;
    std::unique_ptr<CDynamicVertexBuffer> vertices_;
    std::unique_ptr<CDynamicIndexBuffer> indices_;
};

} // namespace QuillEngine
