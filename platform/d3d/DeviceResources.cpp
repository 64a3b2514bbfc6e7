#include "platform/d3d/DeviceResources.h"

#include <algorithm>

#include "platform/d3d/DeviceBase.h"

namespace QuillD3D {

uint32_t BytesPerPixel(Format f)
{
    switch (f) {
    case FmtA8R8G8B8:
    case FmtX8R8G8B8:
        return 4;
    case FmtR5G6B5:
    case FmtD16:
        return 2;
    default:
        return 0;
    }
}

bool AdapterIdentifier::operator==(const AdapterIdentifier& o) const
{
    return std::memcmp(driver, o.driver, sizeof driver) == 0 &&
           std::memcmp(description, o.description, sizeof description) == 0 &&
           std::memcmp(deviceName, o.deviceName, sizeof deviceName) == 0 && driverVersion == o.driverVersion &&
           vendorId == o.vendorId && deviceId == o.deviceId && subSysId == o.subSysId && revision == o.revision &&
           deviceIdentifier == o.deviceIdentifier && whqlLevel == o.whqlLevel;
}

const char* ResultName(Result r)
{
    switch (r) {
    case kOk:
        return "OK";
    case kFalse:
        return "FALSE";
    case kErrInvalidCall:
        return "INVALIDCALL";
    case kErrDeviceLost:
        return "DEVICELOST";
    case kErrDeviceNotReset:
        return "DEVICENOTRESET";
    case kErrNotAvailable:
        return "NOTAVAILABLE";
    case kErrOutOfVideoMemory:
        return "OUTOFVIDEOMEMORY";
    case kErrDriverInternalError:
        return "DRIVERINTERNALERROR";
    case kErrOutOfMemory:
        return "OUTOFMEMORY";
    default:
        return "UNKNOWN";
    }
}

} // namespace QuillD3D

namespace QuillD3D::Detail {

uint32_t Expand565(uint16_t c)
{
    const uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
    return 0xFF000000u | (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) | ((b << 3) | (b >> 2));
}

uint16_t Pack565(uint32_t argb)
{
    const uint32_t r = (argb >> 16) & 255, g = (argb >> 8) & 255, b = argb & 255;
    return static_cast<uint16_t>(((r * 31 + 127) / 255) << 11 | ((g * 63 + 127) / 255) << 5 | ((b * 31 + 127) / 255));
}

// --- reference counts -------------------------------------------------------------------------

CResourceCore::CResourceCore(std::shared_ptr<DeviceLink> link, Pool pool, uint32_t initialRefs)
    : link_(std::move(link)), pool_(pool), refs_(initialRefs)
{
    if (refs_ > 0) {
        CountDefault(1);
    }
}

void CResourceCore::CountDefault(int delta)
{
    if (pool_ == PoolDefault) {
        if (CDeviceBase* d = Device()) {
            d->CountDefaultResource(delta);
        }
    }
}

uint32_t CResourceCore::AddPublic()
{
    if (refs_++ == 0) {
        CountDefault(1);
    }
    return refs_;
}

uint32_t CResourceCore::ReleasePublic()
{
    if (refs_ == 0) {
        return 0;
    }
    const uint32_t left = --refs_;
    if (left == 0) {
        CountDefault(-1);
        if (bindings_ == 0) {
            Destroy();
        }
    }
    return left;
}

void CResourceCore::ReleaseBinding()
{
    if (bindings_ > 0 && --bindings_ == 0 && refs_ == 0) {
        Destroy();
    }
}

// --- surfaces ---------------------------------------------------------------------------------

CSurface::CSurface(std::shared_ptr<DeviceLink> link, const SurfaceDesc& desc, bool lockable, CTexture* container,
                   uint32_t initialRefs)
    : CResourceCore(std::move(link), container ? PoolScratch : desc.pool, container ? 0 : initialRefs), desc_(desc),
      lockable_(lockable), container_(container)
{
    pitch_ = desc_.width * BytesPerPixel(desc_.format);
}

uint32_t CSurface::AddRef()
{
    return container_ ? container_->AddRef() : AddPublic();
}

uint32_t CSurface::Release()
{
    if (container_) {
        return container_->Release();
    }
    return ReleasePublic();
}

void CSurface::Destroy()
{
    if (CDeviceBase* d = Device()) {
        d->OnResourceGone(this);
    }
    delete this;
}

void CSurface::Bind()
{
    if (container_) {
        container_->AddBinding();
    } else {
        AddBinding();
    }
}

void CSurface::Unbind()
{
    if (container_) {
        container_->ReleaseBinding();
    } else {
        ReleaseBinding();
    }
}

Result CSurface::GetDesc(SurfaceDesc* desc)
{
    if (!desc) {
        return kErrInvalidCall;
    }
    *desc = desc_;
    return kOk;
}

uint8_t* CSurface::Bits()
{
    if (!bits_) {
        const size_t bytes = static_cast<size_t>(pitch_) * desc_.height;
        bits_.reset(new (std::nothrow) uint8_t[bytes == 0 ? 1 : bytes]());
    }
    return bits_.get();
}

const uint32_t* CSurface::Pixels32()
{
    if (desc_.format != FmtR5G6B5) {
        return reinterpret_cast<const uint32_t*>(Bits());
    }
    if (expanded_.empty()) {
        RefreshExpanded();
    }
    return expanded_.data();
}

void CSurface::RefreshExpanded()
{
    if (desc_.format != FmtR5G6B5) {
        return;
    }
    expanded_.resize(static_cast<size_t>(desc_.width) * desc_.height);
    const uint8_t* src = Bits();
    for (uint32_t y = 0; y < desc_.height; ++y) {
        const uint16_t* row = reinterpret_cast<const uint16_t*>(src + static_cast<size_t>(y) * pitch_);
        uint32_t* out = expanded_.data() + static_cast<size_t>(y) * desc_.width;
        for (uint32_t x = 0; x < desc_.width; ++x) {
            out[x] = Expand565(row[x]);
        }
    }
}

Result CSurface::LockRect(LockedRect* locked, const Rect* rect, uint32_t flags)
{
    if (!locked || locked_) {
        return kErrInvalidCall;
    }
    // Render targets are lockable only when made so; plain default-pool pictures never are.
    const bool canLock = container_ ? (desc_.pool != PoolDefault || (desc_.usage & UsageDynamic))
                                    : (IsRenderTarget() ? lockable_ : desc_.pool != PoolDefault || lockable_);
    if (!canLock) {
        return kErrInvalidCall;
    }
    Rect r{0, 0, static_cast<int32_t>(desc_.width), static_cast<int32_t>(desc_.height)};
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->right > r.right || rect->bottom > r.bottom ||
            rect->left >= rect->right || rect->top >= rect->bottom) {
            return kErrInvalidCall;
        }
        r = *rect;
    }
    if (CDeviceBase* d = Device(); d && gpuNewer) {
        d->OnSurfaceLocking(this);
    }
    uint8_t* bits = Bits();
    if (!bits) {
        return kErrOutOfMemory;
    }
    locked->pitch = static_cast<int32_t>(pitch_);
    locked->bits =
        bits + static_cast<size_t>(r.top) * pitch_ + static_cast<size_t>(r.left) * BytesPerPixel(desc_.format);
    locked_ = true;
    lockWrites_ = (flags & LockReadOnly) == 0;
    lockRect_ = r;
    return kOk;
}

Result CSurface::UnlockRect()
{
    if (!locked_) {
        return kErrInvalidCall;
    }
    locked_ = false;
    if (lockWrites_) {
        if (desc_.format == FmtR5G6B5 && !expanded_.empty()) {
            RefreshExpanded();
        }
        if (CDeviceBase* d = Device()) {
            if (container_) {
                d->NoteTextureWrite();
            }
            d->OnSurfaceUnlocked(this, lockRect_);
        }
    }
    return kOk;
}

// --- textures ---------------------------------------------------------------------------------

CTexture::CTexture(std::shared_ptr<DeviceLink> link, const SurfaceDesc& levelDesc)
    : CResourceCore(link, levelDesc.pool, 1), level0_(link, levelDesc, false, this, 0)
{
}

void CTexture::Destroy()
{
    if (CDeviceBase* d = Device()) {
        d->OnResourceGone(&level0_);
    }
    delete this;
}

Result CTexture::GetLevelDesc(uint32_t level, SurfaceDesc* desc)
{
    if (level != 0) {
        return kErrInvalidCall;
    }
    return level0_.GetDesc(desc);
}

Result CTexture::GetSurfaceLevel(uint32_t level, ISurface** surface)
{
    if (level != 0 || !surface) {
        return kErrInvalidCall;
    }
    AddRef();
    *surface = &level0_;
    return kOk;
}

Result CTexture::LockRect(uint32_t level, LockedRect* locked, const Rect* rect, uint32_t flags)
{
    if (level != 0) {
        return kErrInvalidCall;
    }
    return level0_.LockRect(locked, rect, flags);
}

Result CTexture::UnlockRect(uint32_t level)
{
    if (level != 0) {
        return kErrInvalidCall;
    }
    return level0_.UnlockRect();
}

// --- buffers ----------------------------------------------------------------------------------

CBufferCore::CBufferCore(std::shared_ptr<DeviceLink> link, const BufferDesc& desc)
    : CResourceCore(std::move(link), desc.pool, 1), desc_(desc), bytes_(desc.size)
{
}

void CBufferCore::Destroy()
{
    if (CDeviceBase* d = Device()) {
        d->OnResourceGone(this);
    }
    delete this;
}

Result CBufferCore::LockBytes(uint32_t offset, uint32_t size, void** data, uint32_t flags)
{
    if (!data || locked_) {
        return kErrInvalidCall;
    }
    if (offset == 0 && size == 0) {
        size = desc_.size;
    }
    if (offset > desc_.size || size > desc_.size - offset) {
        return kErrInvalidCall;
    }
    // Discarding and no-overwrite are promises about the device's use, meaningful only for
    // dynamic buffers; a write-only buffer may still be read here (it is memory on our side).
    if ((flags & (LockDiscard | LockNoOverwrite)) && !(desc_.usage & UsageDynamic)) {
        return kErrInvalidCall;
    }
    *data = bytes_.data() + offset;
    locked_ = true;
    lockWrites_ = (flags & LockReadOnly) == 0;
    discard_ = (flags & LockDiscard) != 0;
    lockOffset_ = offset;
    lockSize_ = size;
    return kOk;
}

Result CBufferCore::UnlockBytes()
{
    if (!locked_) {
        return kErrInvalidCall;
    }
    locked_ = false;
    if (lockWrites_) {
        if (CDeviceBase* d = Device()) {
            d->OnBufferUnlocked(this, lockOffset_, lockSize_, discard_);
        }
    }
    return kOk;
}

Result CVertexBuffer::GetDesc(BufferDesc* desc)
{
    if (!desc) {
        return kErrInvalidCall;
    }
    *desc = Desc();
    return kOk;
}

Result CIndexBuffer::GetDesc(BufferDesc* desc)
{
    if (!desc) {
        return kErrInvalidCall;
    }
    *desc = Desc();
    return kOk;
}

} // namespace QuillD3D::Detail
