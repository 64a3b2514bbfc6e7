#pragma once
// The device layer's object interfaces, shaped as the subset of the classic Direct3D 9 calls the
// renderer makes. Every object is reference counted: a creating call hands out one reference,
// AddRef adds one, Release drops one and destroys the object at zero. A texture's level surface
// shares its texture's count (releasing the surface releases the texture).

#include "platform/d3d/D3dTypes.h"

namespace QuillD3D {

class IUnknownLike {
public:
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;

protected:
    virtual ~IUnknownLike() = default;
};

class ISurface : public IUnknownLike {
public:
    virtual Result GetDesc(SurfaceDesc* desc) = 0;
    // rect none = the whole surface. LockReadOnly promises not to write; render targets other than
    // lockable ones and surfaces of the default pool refuse locks.
    virtual Result LockRect(LockedRect* locked, const Rect* rect, uint32_t flags) = 0;
    virtual Result UnlockRect() = 0;
};

class ITexture : public IUnknownLike {
public:
    virtual uint32_t GetLevelCount() = 0;
    virtual Result GetLevelDesc(uint32_t level, SurfaceDesc* desc) = 0;
    virtual Result GetSurfaceLevel(uint32_t level, ISurface** surface) = 0;
    virtual Result LockRect(uint32_t level, LockedRect* locked, const Rect* rect, uint32_t flags) = 0;
    virtual Result UnlockRect(uint32_t level) = 0;
};

class IVertexBuffer : public IUnknownLike {
public:
    // size 0 with offset 0 locks the whole buffer.
    virtual Result Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) = 0;
    virtual Result Unlock() = 0;
    virtual Result GetDesc(BufferDesc* desc) = 0;
};

class IIndexBuffer : public IUnknownLike {
public:
    virtual Result Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) = 0;
    virtual Result Unlock() = 0;
    virtual Result GetDesc(BufferDesc* desc) = 0;
};

// Shader objects exist only as a type: the layer draws through its fixed stage combiners and
// hands its callers no shader objects (the gl back end's own programs stay inside it). Seam: SetPixelShader/SetVertexShader accept only none until a caller needs
// programmable stages.
class IPixelShader : public IUnknownLike {};
class IVertexShader : public IUnknownLike {};

class IDevice : public IUnknownLike {
public:
    virtual Result TestCooperativeLevel() = 0;
    virtual Result GetDeviceCaps(Caps* caps) = 0;
    virtual Result GetDisplayMode(uint32_t swapChain, DisplayMode* mode) = 0;
    virtual Result Reset(PresentParameters* params) = 0;
    virtual Result Present() = 0;
    // Presents only the given rectangles of the back buffer (the rest of the window keeps what it
    // shows). A back end that cannot presents the whole picture.
    virtual Result PresentRects(uint32_t count, const Rect* rects) = 0;
    // Limits drawing and clearing to `rect` (none: no limit); copies and presents are not limited.
    // A back end that cannot answers kErrInvalidCall and draws unlimited (soft and gl both can).
    virtual Result SetClipRect(const Rect* rect) = 0;
    // How many times the contents of any texture of this device were written so far (creation,
    // locks for writing, copies and drawing into a texture): a picture drawn from the same
    // textures with the same count looks the same.
    virtual uint64_t TextureWriteCount() const = 0;
    virtual Result GetBackBuffer(uint32_t swapChain, uint32_t index, BackBufferType type, ISurface** surface) = 0;
    // Copies the picture of the last Present into a system-memory surface of the back buffer's size
    // and format: what a device presenting into memory keeps, or what its window shows where the
    // back end can read that back (soft, into a window of the back buffer's size); refused
    // elsewhere and before the first Present.
    virtual Result GetFrontBufferData(uint32_t swapChain, ISurface* destination) = 0;

    virtual Result CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage, Format format,
                                 Pool pool, ITexture** texture) = 0;
    virtual Result CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, Pool pool,
                                      IVertexBuffer** buffer) = 0;
    virtual Result CreateIndexBuffer(uint32_t length, uint32_t usage, Format format, Pool pool,
                                     IIndexBuffer** buffer) = 0;
    virtual Result CreateRenderTarget(uint32_t width, uint32_t height, Format format, uint32_t multiSample,
                                      uint32_t multiSampleQuality, bool lockable, ISurface** surface) = 0;
    virtual Result CreateOffscreenPlainSurface(uint32_t width, uint32_t height, Format format, Pool pool,
                                               ISurface** surface) = 0;
    virtual Result StretchRect(ISurface* source, const Rect* sourceRect, ISurface* dest, const Rect* destRect,
                               TextureFilter filter) = 0;
    virtual Result GetRenderTargetData(ISurface* renderTarget, ISurface* destination) = 0;
    virtual Result SetRenderTarget(uint32_t index, ISurface* surface) = 0;
    virtual Result GetRenderTarget(uint32_t index, ISurface** surface) = 0;

    virtual Result BeginScene() = 0;
    virtual Result EndScene() = 0;
    virtual Result Clear(uint32_t rectCount, const Rect* rects, uint32_t flags, uint32_t color, float z,
                         uint32_t stencil) = 0;

    virtual Result SetRenderState(uint32_t state, uint32_t value) = 0;
    virtual Result GetRenderState(uint32_t state, uint32_t* value) = 0;
    virtual Result SetSamplerState(uint32_t sampler, uint32_t type, uint32_t value) = 0;
    virtual Result SetTexture(uint32_t stage, ITexture* texture) = 0;
    virtual Result SetTextureStageState(uint32_t stage, uint32_t type, uint32_t value) = 0;
    virtual Result SetFVF(uint32_t fvf) = 0;
    virtual Result SetStreamSource(uint32_t stream, IVertexBuffer* buffer, uint32_t offset, uint32_t stride) = 0;
    virtual Result SetIndices(IIndexBuffer* buffer) = 0;
    virtual Result SetPixelShader(IPixelShader* shader) = 0;
    virtual Result SetVertexShader(IVertexShader* shader) = 0;
    virtual Result SetPixelShaderConstantF(uint32_t first, const float* data, uint32_t count) = 0;
    virtual Result SetVertexShaderConstantF(uint32_t first, const float* data, uint32_t count) = 0;

    virtual Result DrawPrimitive(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) = 0;
    virtual Result DrawIndexedPrimitive(PrimitiveType type, int32_t baseVertex, uint32_t minIndex, uint32_t vertexCount,
                                        uint32_t startIndex, uint32_t primitiveCount) = 0;

    // Hardware cursor: the picture comes from an A8R8G8B8 surface (at most 64x64).
    virtual Result SetCursorProperties(uint32_t hotSpotX, uint32_t hotSpotY, ISurface* picture) = 0;
    virtual bool ShowCursor(bool show) = 0;
};

class IDirect3D : public IUnknownLike {
public:
    virtual uint32_t GetAdapterCount() = 0;
    virtual Result GetAdapterIdentifier(uint32_t adapter, uint32_t flags, AdapterIdentifier* identifier) = 0;
    virtual Result GetAdapterDisplayMode(uint32_t adapter, DisplayMode* mode) = 0;
    virtual Monitor GetAdapterMonitor(uint32_t adapter) = 0;
    virtual Result GetDeviceCaps(uint32_t adapter, DevType type, Caps* caps) = 0;
    virtual Result CheckDeviceFormat(uint32_t adapter, DevType type, Format adapterFormat, uint32_t usage,
                                     ResourceType resourceType, Format checkFormat) = 0;
    virtual Result CreateDevice(uint32_t adapter, DevType type, SDL_Window* focusWindow, uint32_t behaviorFlags,
                                PresentParameters* params, IDevice** device) = 0;
};

} // namespace QuillD3D
