#pragma once
// Makes render canvases and owns what they share: the vertex and index buffers each canvas's
// geometry is appended to when it renders (made through the renderer, so they follow the device
// like every dynamic buffer) and the list of live canvases, cleared when the device objects go.

#include <cstdint>
#include <memory>

#include "engine/graphics/canvas/RenderCanvas.h"
#include "engine/graphics/render/DeviceResetListener.h"
#include "engine/graphics/render/DynamicBuffers.h"

namespace QuillEngine {

class CRenderManager;
class TextRenderer;

class IRenderCanvasManager {
public:
    virtual ~IRenderCanvasManager() = default;
    virtual CRenderManager* GetRenderer() const = 0;
    virtual CDynamicVertexBuffer* GetVertexBuffer() const = 0;
    virtual CDynamicIndexBuffer* GetIndexBuffer() const = 0;
    // A new canvas linked into the manager's list; the caller owns it.
    virtual std::unique_ptr<CRenderCanvas> CreateCanvas() = 0;
    // The console font of a pixel size (0 to 127), made through `text` on its first request;
    // -1 for other sizes or when no face serves it.
    virtual int32_t GetConsoleFont(TextRenderer* text, int32_t size) = 0;
    virtual void UpdateFonts() = 0;
    virtual bool Init() = 0;
    virtual bool RestoreDeviceObjects() = 0;
    virtual void ReleaseDeviceObjects() = 0;
};

class CRenderCanvasManager final : public IRenderCanvasManager, public IDeviceResetListener {
public:
    static constexpr uint32_t kVertexCapacity = 16384;
    static constexpr uint32_t kIndexCapacity = 16384;
    static constexpr int32_t kConsoleFontSizes = 128;
    static constexpr const char16_t* kConsoleFace = u"Lucida Console";

    explicit CRenderCanvasManager(CRenderManager* renderer);
    ~CRenderCanvasManager() override;
    CRenderCanvasManager(const CRenderCanvasManager&) = delete;
    CRenderCanvasManager& operator=(const CRenderCanvasManager&) = delete;

    CRenderManager* GetRenderer() const override { return renderer_; }
    CDynamicVertexBuffer* GetVertexBuffer() const override { return vertices_.get(); }
    CDynamicIndexBuffer* GetIndexBuffer() const override { return indices_.get(); }
    std::unique_ptr<CRenderCanvas> CreateCanvas() override;
    int32_t GetConsoleFont(TextRenderer* text, int32_t size) override;
    // Per frame: each console font made so far drops the strings it has not drawn lately.
    void UpdateFonts() override;
    // Makes the shared buffers through the renderer; without one, canvases record but never draw.
    bool Init() override;
    bool RestoreDeviceObjects() override { return true; }
    // Clears every live canvas: what they hold may name textures that go with the device.
    void ReleaseDeviceObjects() override;
    // The renderer's notifications: the two calls above.
    void OnDeviceLost() override { ReleaseDeviceObjects(); }
    bool OnDeviceRestored() override { return RestoreDeviceObjects(); }

    size_t CanvasCount() const;
    // Whether any visible canvas holds something to draw.
    bool AnyToDraw() const;
    // Whether any canvas would now draw differently from its last drawing (each change once).
    bool TakeCanvasChanges();

private:
    CRenderManager* renderer_;
    std::unique_ptr<CDynamicVertexBuffer> vertices_;
    std::unique_ptr<CDynamicIndexBuffer> indices_;
    CRenderCanvas head_; // list head, never drawn
    // Console fonts by pixel size, -1 until made, and the text renderer that made them.
    int32_t consoleFonts_[kConsoleFontSizes];
    TextRenderer* fontOwner_ = nullptr;
};

} // namespace QuillEngine
