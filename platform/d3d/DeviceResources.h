#pragma once
// Resource objects shared by both back ends: textures, surfaces, vertex and index buffers. Each
// keeps its pixels or bytes in memory when the layer needs them there (everything on the soft
// back end; lockable resources on gl) and carries the OpenGL names the gl back end gives it.
//
// Two counts keep an object alive: the public count (AddRef/Release by the caller) and the
// binding count (the device holds what is bound to it). Only the public count decides whether a
// default-pool resource still "exists" for Reset, as the classic device does.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/d3d/D3dInterfaces.h"

namespace QuillD3D::Detail {

class CDeviceBase;

// Cleared when the device goes, so that a resource outliving its device never calls into it.
struct DeviceLink {
    CDeviceBase* device = nullptr;
};

class CResourceCore {
public:
    CResourceCore(std::shared_ptr<DeviceLink> link, Pool pool, uint32_t initialRefs);

    uint32_t AddPublic();
    uint32_t ReleasePublic(); // may delete the object
    void AddBinding() { ++bindings_; }
    void ReleaseBinding(); // may delete the object
    uint32_t PublicRefs() const { return refs_; }
    Pool GetPool() const { return pool_; }
    CDeviceBase* Device() const { return link_ ? link_->device : nullptr; }
    const std::shared_ptr<DeviceLink>& Link() const { return link_; }

protected:
    virtual ~CResourceCore() = default;
    virtual void Destroy() { delete this; }

private:
    void CountDefault(int delta);
    std::shared_ptr<DeviceLink> link_;
    Pool pool_;
    uint32_t refs_;
    uint32_t bindings_ = 0;
};

class CTexture;

class CSurface final : public ISurface, public CResourceCore {
public:
    // container: the texture this surface is level 0 of (its counts are the texture's).
    CSurface(std::shared_ptr<DeviceLink> link, const SurfaceDesc& desc, bool lockable, CTexture* container,
             uint32_t initialRefs);

    uint32_t AddRef() override;
    uint32_t Release() override;
    Result GetDesc(SurfaceDesc* desc) override;
    Result LockRect(LockedRect* locked, const Rect* rect, uint32_t flags) override;
    Result UnlockRect() override;

    void Bind();
    void Unbind();

    const SurfaceDesc& Desc() const { return desc_; }
    uint32_t Width() const { return desc_.width; }
    uint32_t Height() const { return desc_.height; }
    bool IsRenderTarget() const { return (desc_.usage & UsageRenderTarget) != 0; }
    CTexture* Container() const { return container_; }

    // Memory image in the surface's own format; allocated on first use.
    uint8_t* Bits();
    uint32_t Pitch() const { return pitch_; }
    bool HasBits() const { return bits_ != nullptr; }
    // 32-bit ARGB view used for drawing and sampling: the memory image itself for 32-bit
    // formats, an expanded copy for R5G6B5 (refreshed on unlock).
    const uint32_t* Pixels32();
    uint32_t Pitch32() const { return desc_.format == FmtR5G6B5 ? desc_.width : pitch_ / 4; }
    // OR-ed into every sampled texel: the alpha of X8R8G8B8 pictures reads as opaque.
    uint32_t SampleOrMask() const { return desc_.format == FmtX8R8G8B8 ? 0xFF000000u : 0u; }
    void RefreshExpanded();

    uint32_t glTexture = 0; // gl back end: colour texture for textures and render targets
    uint32_t glFramebuffer = 0;
    bool gpuNewer = false; // gl: the GPU copy has been drawn to since the memory image was read
    bool gpuStale = false; // gl: the texture's storage is allocated but not yet filled from the memory image

private:
    void Destroy() override;
    SurfaceDesc desc_;
    bool lockable_;
    CTexture* container_;
    std::unique_ptr<uint8_t[]> bits_;
    std::vector<uint32_t> expanded_;
    uint32_t pitch_ = 0;
    bool locked_ = false;
    bool lockWrites_ = false;
    Rect lockRect_{};
};

class CTexture final : public ITexture, public CResourceCore {
public:
    CTexture(std::shared_ptr<DeviceLink> link, const SurfaceDesc& levelDesc);

    uint32_t AddRef() override { return AddPublic(); }
    uint32_t Release() override { return ReleasePublic(); }
    uint32_t GetLevelCount() override { return 1; }
    Result GetLevelDesc(uint32_t level, SurfaceDesc* desc) override;
    Result GetSurfaceLevel(uint32_t level, ISurface** surface) override;
    Result LockRect(uint32_t level, LockedRect* locked, const Rect* rect, uint32_t flags) override;
    Result UnlockRect(uint32_t level) override;

    CSurface* Level0() { return &level0_; }

private:
    void Destroy() override;
    CSurface level0_;
};

// Bytes of a vertex or index buffer, with the lock rules the two buffer kinds share.
class CBufferCore : public CResourceCore {
public:
    CBufferCore(std::shared_ptr<DeviceLink> link, const BufferDesc& desc);
    Result LockBytes(uint32_t offset, uint32_t size, void** data, uint32_t flags);
    Result UnlockBytes();
    const uint8_t* Data() const { return bytes_.data(); }
    uint32_t Size() const { return desc_.size; }
    const BufferDesc& Desc() const { return desc_; }

    uint32_t glBuffer = 0;

protected:
    void Destroy() override;

private:
    BufferDesc desc_;
    std::vector<uint8_t> bytes_;
    bool locked_ = false;
    bool lockWrites_ = false;
    bool discard_ = false;
    uint32_t lockOffset_ = 0;
    uint32_t lockSize_ = 0;
};

class CVertexBuffer final : public IVertexBuffer, public CBufferCore {
public:
    using CBufferCore::CBufferCore;
    uint32_t AddRef() override { return AddPublic(); }
    uint32_t Release() override { return ReleasePublic(); }
    Result Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) override
    {
        return LockBytes(offset, size, data, flags);
    }
    Result Unlock() override { return UnlockBytes(); }
    Result GetDesc(BufferDesc* desc) override;
};

class CIndexBuffer final : public IIndexBuffer, public CBufferCore {
public:
    using CBufferCore::CBufferCore;
    uint32_t AddRef() override { return AddPublic(); }
    uint32_t Release() override { return ReleasePublic(); }
    Result Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) override
    {
        return LockBytes(offset, size, data, flags);
    }
    Result Unlock() override { return UnlockBytes(); }
    Result GetDesc(BufferDesc* desc) override;
};

uint32_t Expand565(uint16_t c);
uint16_t Pack565(uint32_t argb);

} // namespace QuillD3D::Detail
