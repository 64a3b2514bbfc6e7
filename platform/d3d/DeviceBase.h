#pragma once
// The part of a device both back ends share: reference counting, argument checks, the state
// tables, bindings, scene bracketing, lost/reset handling with fault injection, and resource
// creation. A back end supplies drawing, clearing, copying and presentation.

#include <cstring>
#include <memory>

#include "platform/d3d/D3dFactory.h"
#include "platform/d3d/DeviceResources.h"
#include "platform/d3d/DrawObserver.h"
#include "platform/d3d/soft/SoftRaster.h"

namespace QuillD3D::Detail {

// Everything a back end needs to draw one call, checked by the shared code: every vertex an
// index (or the range) can reach lies inside the bound vertex buffer.
struct DrawCall {
    PrimitiveType type;
    uint32_t primitiveCount;
    const uint8_t* vertices; // first vertex of the stream (its offset applied)
    uint32_t stride;
    uint32_t vertexCount; // vertices in the stream from `vertices` on
    uint32_t fvf;
    const uint16_t* indices; // none for non-indexed draws
    int32_t baseVertex;      // added to every index; non-indexed: the first vertex drawn
    CVertexBuffer* vertexBuffer;
    uint32_t vertexByteOffset; // of vertex 0 within vertexBuffer
    CIndexBuffer* indexBuffer;
    uint32_t startIndex;
};

// Offsets within one vertex of a supported layout.
struct VertexLayout {
    bool valid = false;
    uint32_t size = 0;
    int colorOffset = -1;
    int texOffset = -1;
};
VertexLayout DescribeFvf(uint32_t fvf);

// Whether the alpha test of render states `rs` can change no pixel: it passes everything, or it
// turns away only fragments of alpha 0 that would blend to the colour already there (source
// factor alpha, destination factor one or one minus alpha) and write no depth.
bool AlphaTestChangesNothing(const uint32_t* rs, bool depthWrites);

// Vertex `k` of a draw (a position in its index list for an indexed draw) as its layout holds it:
// white without a colour, texture coordinates 0 without them.
inline RasterVertex ReadVertex(const DrawCall& call, const VertexLayout& layout, uint32_t k)
{
    const int64_t index = call.indices ? static_cast<int64_t>(call.indices[k]) + call.baseVertex
                                       : static_cast<int64_t>(call.baseVertex) + k;
    const uint8_t* p = call.vertices + index * call.stride;
    RasterVertex v{0, 0, 0, 0xFFFFFFFFu, 0, 0};
    std::memcpy(&v.x, p, 4);
    std::memcpy(&v.y, p + 4, 4);
    std::memcpy(&v.z, p + 8, 4);
    if (layout.colorOffset >= 0) {
        std::memcpy(&v.color, p + layout.colorOffset, 4);
    }
    if (layout.texOffset >= 0) {
        std::memcpy(&v.u, p + layout.texOffset, 4);
        std::memcpy(&v.v, p + layout.texOffset + 4, 4);
    }
    return v;
}

inline bool IsColorFormat(Format f)
{
    return f == FmtA8R8G8B8 || f == FmtX8R8G8B8 || f == FmtR5G6B5;
}

// Render targets and back buffers are kept at 8 bits per channel.
inline bool IsTargetFormat(Format f)
{
    return f == FmtA8R8G8B8 || f == FmtX8R8G8B8;
}

struct AdapterInfo {
    AdapterDesc desc;
    uint32_t ordinal = 0;
};

class CDeviceBase : public IDevice {
public:
    CDeviceBase(Backend backend, const AdapterInfo& adapter, const PresentParameters& params);

    uint32_t AddRef() override { return ++refs_; }
    uint32_t Release() override;

    // The factory that made the device; the device holds a reference to it, so the windowing and
    // OpenGL state a factory keeps outlive every device made from it.
    void SetFactory(IUnknownLike* factory);

    Result TestCooperativeLevel() override;
    Result GetDeviceCaps(Caps* caps) override;
    Result GetDisplayMode(uint32_t swapChain, DisplayMode* mode) override;
    Result Reset(PresentParameters* params) override;
    Result Present() override;
    Result PresentRects(uint32_t count, const Rect* rects) override;
    Result SetClipRect(const Rect* rect) override;
    uint64_t TextureWriteCount() const override { return textureWrites_; }
    Result GetBackBuffer(uint32_t swapChain, uint32_t index, BackBufferType type, ISurface** surface) override;
    Result GetFrontBufferData(uint32_t swapChain, ISurface* destination) override;

    Result CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage, Format format, Pool pool,
                         ITexture** texture) override;
    Result CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, Pool pool,
                              IVertexBuffer** buffer) override;
    Result CreateIndexBuffer(uint32_t length, uint32_t usage, Format format, Pool pool, IIndexBuffer** buffer) override;
    Result CreateRenderTarget(uint32_t width, uint32_t height, Format format, uint32_t multiSample,
                              uint32_t multiSampleQuality, bool lockable, ISurface** surface) override;
    Result CreateOffscreenPlainSurface(uint32_t width, uint32_t height, Format format, Pool pool,
                                       ISurface** surface) override;
    Result StretchRect(ISurface* source, const Rect* sourceRect, ISurface* dest, const Rect* destRect,
                       TextureFilter filter) override;
    Result GetRenderTargetData(ISurface* renderTarget, ISurface* destination) override;
    Result SetRenderTarget(uint32_t index, ISurface* surface) override;
    Result GetRenderTarget(uint32_t index, ISurface** surface) override;

    Result BeginScene() override;
    Result EndScene() override;
    Result Clear(uint32_t rectCount, const Rect* rects, uint32_t flags, uint32_t color, float z,
                 uint32_t stencil) override;

    Result SetRenderState(uint32_t state, uint32_t value) override;
    Result GetRenderState(uint32_t state, uint32_t* value) override;
    Result SetSamplerState(uint32_t sampler, uint32_t type, uint32_t value) override;
    Result SetTexture(uint32_t stage, ITexture* texture) override;
    Result SetTextureStageState(uint32_t stage, uint32_t type, uint32_t value) override;
    Result SetFVF(uint32_t fvf) override;
    Result SetStreamSource(uint32_t stream, IVertexBuffer* buffer, uint32_t offset, uint32_t stride) override;
    Result SetIndices(IIndexBuffer* buffer) override;
    Result SetPixelShader(IPixelShader* shader) override;
    Result SetVertexShader(IVertexShader* shader) override;
    Result SetPixelShaderConstantF(uint32_t first, const float* data, uint32_t count) override;
    Result SetVertexShaderConstantF(uint32_t first, const float* data, uint32_t count) override;

    Result DrawPrimitive(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) override;
    Result DrawIndexedPrimitive(PrimitiveType type, int32_t baseVertex, uint32_t minIndex, uint32_t vertexCount,
                                uint32_t startIndex, uint32_t primitiveCount) override;

    Result SetCursorProperties(uint32_t hotSpotX, uint32_t hotSpotY, ISurface* picture) override;
    bool ShowCursor(bool show) override;

    Backend GetBackend() const { return backend_; }
    void SetDrawObserver(DrawObserver observer) { observer_ = std::move(observer); }
    const PresentParameters& Params() const { return params_; }

    // Called by resources.
    void CountDefaultResource(int delta) { liveDefaultResources_ += delta; }
    void NoteTextureWrite() { ++textureWrites_; }
    virtual void OnSurfaceUnlocked(CSurface*, const Rect&) {}
    virtual void OnSurfaceLocking(CSurface*) {}
    virtual void OnBufferUnlocked(CBufferCore*, uint32_t, uint32_t, bool) {}
    virtual void OnResourceGone(CSurface*) {}
    virtual void OnResourceGone(CBufferCore*) {}

    // Second construction step: back buffer, depth buffer, window mode. Made by the factory.
    Result Initialise();

protected:
    ~CDeviceBase() override;

    // What the back buffer is made of: the format and size in params_, a render target.
    SurfaceDesc BackBufferDesc() const
    {
        SurfaceDesc desc;
        desc.format = params_.backBufferFormat;
        desc.usage = UsageRenderTarget;
        desc.pool = PoolDefault;
        desc.width = params_.backBufferWidth;
        desc.height = params_.backBufferHeight;
        return desc;
    }

    // Back-end hooks.
    virtual Result CreateSurfaces() = 0; // back buffer (backBuffer_) and depth buffer for params_
    virtual void DestroySurfaces() = 0;
    virtual Result PrepareTexture(CTexture*) { return kOk; }
    virtual Result PrepareRenderTarget(CSurface*) { return kOk; }
    virtual Result PrepareBuffer(CBufferCore*) { return kOk; }
    virtual void DoClear(uint32_t rectCount, const Rect* rects, uint32_t flags, uint32_t color, float z) = 0;
    virtual void DoDraw(const DrawCall& call) = 0;
    virtual Result DoPresent() = 0;
    virtual Result DoPresentRects(uint32_t, const Rect*) { return DoPresent(); }
    virtual bool DoSetClipRect(const Rect*) { return false; }
    // Drawing or clearing goes into a texture's surface.
    void NoteTargetWrite()
    {
        if (renderTarget_ && renderTarget_->Container())
            ++textureWrites_;
    }
    virtual Result DoStretchRect(CSurface* src, const Rect& srcRect, CSurface* dst, const Rect& dstRect,
                                 TextureFilter filter) = 0;
    virtual Result DoReadRenderTarget(CSurface* renderTarget, CSurface* destination) = 0;
    virtual Result DoReadFrontBuffer(CSurface* destination) = 0;

    void Shutdown();                          // first thing in a back end's destructor
    void Observe(const DrawCall& call) const; // tells the observer, when there is one
    // Stage 0 as products of texture, diffuse and factor; later stages are not used.
    void StageTerms(CombinerTerm* color, CombinerTerm* alpha) const;
    bool LinearFilter() const;
    void ResetStates();
    void ReleaseBindings();
    Result ApplyWindowMode();
    Result CheckTextureSize(uint32_t width, uint32_t height) const;

    enum class Lost { No, Lost, NotReset };

    Backend backend_;
    AdapterInfo adapter_;
    PresentParameters params_;
    FaultInjection& faults_;
    std::shared_ptr<DeviceLink> link_;
    IUnknownLike* factory_ = nullptr;
    uint32_t refs_ = 1;
    Lost lost_ = Lost::No;
    int lostPollsLeft_ = 0;
    bool inScene_ = false;
    int liveDefaultResources_ = 0;

    uint32_t renderStates_[kRenderStateCount] = {};
    uint32_t samplerStates_[kSamplerCount][kSamplerStateCount] = {};
    uint32_t stageStates_[kTextureStageCount][kTextureStageStateCount] = {};
    CTexture* textures_[kSamplerCount] = {};
    struct Stream {
        CVertexBuffer* buffer = nullptr;
        uint32_t offset = 0;
        uint32_t stride = 0;
    } streams_[kStreamCount];
    CIndexBuffer* indices_ = nullptr;
    uint32_t fvf_ = 0;

    CSurface* backBuffer_ = nullptr;   // held through a binding
    CSurface* renderTarget_ = nullptr; // held through a binding
    uint64_t textureWrites_ = 0;
    uint32_t depthWidth_ = 0;
    uint32_t depthHeight_ = 0;

    std::vector<uint32_t> cursorPixels_; // 32-bit ARGB copy of the cursor picture
    uint32_t cursorWidth_ = 0;
    uint32_t cursorHeight_ = 0;
    uint32_t cursorHotX_ = 0;
    uint32_t cursorHotY_ = 0;
    bool cursorShown_ = false;
    void* sdlCursor_ = nullptr; // SDL_Cursor made from the picture, with a window only
    DrawObserver observer_;
};

} // namespace QuillD3D::Detail
