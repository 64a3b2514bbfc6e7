#pragma once
// The quad batcher: every textured picture of the scene is a transformed unit quad queued here.
// Quads that share texture, mode word and filtering are sent as one indexed draw of up to 1000
// quads; any change of state sends the pending run first. Vertices are transformed on the CPU
// (pre-transformed XYZRHW), so the whole scene needs no device transform.
//
// Mode word: the low 16 bits choose the blend preset; the high bits are masking flags. A masking
// layer (preset 4 without flags) writes depth 0.4 wherever its texels pass the alpha test; every
// other quad lies at depth 0.51, so a masked-in quad (depth test GREATER) shows only over a
// masking layer and a masked-out one (LESS) only elsewhere. EndMask clears depth after its run,
// only over the masking layers drawn since the last clear (depth is 1 everywhere else).

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/graphics/render/DynamicBuffers.h"
#include "engine/graphics/render/Geometry2D.h"

namespace QuillEngine {

class CRenderManager;
class IRenderManagerContext;
struct FrameRecord;
struct QuadRun;

// One pre-transformed vertex (FVF 0x144): position, reciprocal w, ARGB colour, texture position.
struct QuadVertex {
    float x, y, z, rhw;
    uint32_t color;
    float u, v;
};
static_assert(sizeof(QuadVertex) == 28);

// The part of a texture a quad shows: (uA, vA) at the unit square's (−0.5, −0.5) corner, (uB, vB)
// at (+0.5, +0.5).
struct QuadTexRect {
    float uA = 0, vA = 0, uB = 1, vB = 1;
};

class QuadBatcher {
public:
    static constexpr uint32_t kVertexCapacity = 4000;
    static constexpr uint32_t kVertexStride = 28;
    static constexpr uint32_t kMaxQuads = 1000;

    // Blend presets, the low 16 bits of a mode word.
    static constexpr uint32_t kNoBlend = 0;
    static constexpr uint32_t kAlpha = 1;
    static constexpr uint32_t kAdditive = 2;
    static constexpr uint32_t kNoTexture = 3;
    static constexpr uint32_t kMaskLayer = 4;
    static constexpr uint32_t kDebug = 5;
    // Flags of a mode word.
    static constexpr uint32_t kMaskedIn = 0x10000;
    static constexpr uint32_t kEndMask = 0x20000;
    static constexpr uint32_t kMaskedOut = 0x40000;

    // A quad whose texture handle resolves to no texture is drawn in this colour, untextured.
    static constexpr uint32_t kMissingTextureColor = 0xFFFF00FFu;
    static constexpr float kDepth = 0.51f;
    static constexpr float kMaskDepth = 0.4f;

    explicit QuadBatcher(CRenderManager* renderer) : renderer_(renderer) {}
    ~QuadBatcher();
    QuadBatcher(const QuadBatcher&) = delete;
    QuadBatcher& operator=(const QuadBatcher&) = delete;

    // On device creation: the vertex buffer object, the filled index buffer, the batch defaults.
    bool Create();
    // After the device buffers are rebuilt: the batch defaults and both buffers bound; textures
    // that failed for want of a device may load again (TextureFactory::OnDeviceRestored).
    void Restore();

    // Queues the unit square centred on the origin, transformed by `transform`. `textureHandle` is
    // a texture resource of the cache (ignored for the mode word 3, which draws `color` alone);
    // `filter` asks for bilinear sampling; `halfPixel` moves the corners up and left by half a
    // pixel after the transform.
    void DrawQuad(const Transform2D& transform, const QuadTexRect& rect, uint32_t textureHandle, uint32_t color,
                  uint32_t mode, bool filter, bool halfPixel);
    // Draws the pending run. When the vertices cannot be written the run is dropped undrawn.
    // While recording, the run is appended to the record instead, to be drawn by DrawRun.
    void Flush();
    // Runs are recorded into `record`, emptied first, until recording stops.
    void StartRecording(FrameRecord* record);
    void StopRecording() { record_ = nullptr; }
    // Draws a recorded run of `frame`, then clears the depth its mask scope leaves, as Flush would
    // have.
    void DrawRun(const FrameRecord& frame, const QuadRun& run);
    // Forgets the pending run without drawing it (the frame skips its flush, or a new scene
    // begins), giving back its texture.
    void DropPending();
    // A new scene, its depth cleared whole: nothing queued for an earlier one is drawn into it.
    void BeginScene()
    {
        DropPending();
        maskArea_ = {};
    }
    // Depth was written where this batcher cannot see (a canvas's masking layer): the next end of
    // a mask clears the whole depth buffer.
    void NoteUnknownMaskArea() { maskArea_.unknown = true; }

    uint32_t PendingVertices() const { return pending_; }
    uint32_t VertexArrayCapacity() const { return capacity_; }
    // Draw calls issued since the batcher was made.
    uint64_t DrawCallCount() const { return drawCalls_; }

    // Draws through `context` instead of the renderer's (none: the renderer's again). For tools
    // and tests that watch the calls; the context must reach the renderer's device.
    void SetContext(IRenderManagerContext* context) { contextOverride_ = context; }

    CDynamicVertexBuffer* VertexBuffer() const { return vertices_.get(); }
    QuillD3D::IIndexBuffer* IndexBuffer() const { return indices_; }

private:
    IRenderManagerContext* Context() const;
    void ApplyDefaults(IRenderManagerContext& context);
    void ApplyPreset(IRenderManagerContext& context, uint32_t mode, bool filter);
    void SetPendingTexture(QuillD3D::ITexture* texture);
    QuillD3D::Rect MaskClearRect() const;
    bool Grow();

    CRenderManager* renderer_;
    std::unique_ptr<QuadVertex[]> cpu_;
    uint32_t capacity_ = 0; // in vertices
    uint32_t pending_ = 0;  // vertices
    // The pending run's state. The texture holds one reference while quads are pending, so it
    // stays valid even when its resource is unloaded before the run is drawn.
    QuillD3D::ITexture* texture_ = nullptr;
    uint32_t mode_ = 0;
    bool filter_ = false;
    std::unique_ptr<CDynamicVertexBuffer> vertices_;
    QuillD3D::IIndexBuffer* indices_ = nullptr;
    IRenderManagerContext* contextOverride_ = nullptr;
    uint64_t drawCalls_ = 0;
    FrameRecord* record_ = nullptr;
    // What masking layers have covered since depth was last cleared, in back-buffer pixels.
    struct MaskArea {
        bool any = false, unknown = false;
        float minX = 0, minY = 0, maxX = 0, maxY = 0;
    } maskArea_;
};

} // namespace QuillEngine
