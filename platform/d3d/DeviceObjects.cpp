// Resource creation, copies between surfaces and the hardware cursor, shared by both back ends.

#include <SDL.h>
#include <algorithm>

#include "platform/d3d/DeviceBase.h"

namespace QuillD3D::Detail {

// --- resources --------------------------------------------------------------------------------

Result CDeviceBase::CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage, Format format,
                                  Pool pool, ITexture** texture)
{
    if (!texture) {
        return kErrInvalidCall;
    }
    *texture = nullptr;
    if (levels > 1 || !IsColorFormat(format) || (usage & ~(UsageRenderTarget | UsageDynamic)) ||
        ((usage & UsageRenderTarget) && !IsTargetFormat(format)) ||
        ((usage & UsageRenderTarget) && pool != PoolDefault) || pool == PoolScratch ||
        Failed(CheckTextureSize(width, height))) {
        return kErrInvalidCall;
    }
    if (faults_.textureFailures > 0) {
        --faults_.textureFailures;
        return faults_.textureFailure;
    }
    SurfaceDesc desc;
    desc.format = format;
    desc.usage = usage;
    desc.pool = pool;
    desc.width = width;
    desc.height = height;
    auto* t = new CTexture(link_, desc);
    if (Result r = PrepareTexture(t); Failed(r)) {
        t->Release();
        return r;
    }
    *texture = t;
    // A new texture counts as written: it may have the address of one freed since the last frame,
    // which a comparison of frames by texture address would take for the same.
    ++textureWrites_;
    return kOk;
}

Result CDeviceBase::CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, Pool pool, IVertexBuffer** buffer)
{
    if (!buffer) {
        return kErrInvalidCall;
    }
    *buffer = nullptr;
    if (length == 0 || length > (64u << 20) || pool == PoolScratch || (usage & ~(UsageWriteOnly | UsageDynamic))) {
        return kErrInvalidCall;
    }
    BufferDesc desc;
    desc.type = RTypeVertexBuffer;
    desc.usage = usage;
    desc.pool = pool;
    desc.size = length;
    desc.fvf = fvf;
    auto* b = new CVertexBuffer(link_, desc);
    if (Result r = PrepareBuffer(b); Failed(r)) {
        b->Release();
        return r;
    }
    *buffer = b;
    return kOk;
}

Result CDeviceBase::CreateIndexBuffer(uint32_t length, uint32_t usage, Format format, Pool pool, IIndexBuffer** buffer)
{
    if (!buffer) {
        return kErrInvalidCall;
    }
    *buffer = nullptr;
    if (length < 2 || length > (64u << 20) || format != FmtIndex16 || pool == PoolScratch ||
        (usage & ~(UsageWriteOnly | UsageDynamic))) {
        return kErrInvalidCall;
    }
    BufferDesc desc;
    desc.format = FmtIndex16;
    desc.type = RTypeIndexBuffer;
    desc.usage = usage;
    desc.pool = pool;
    desc.size = length;
    auto* b = new CIndexBuffer(link_, desc);
    if (Result r = PrepareBuffer(b); Failed(r)) {
        b->Release();
        return r;
    }
    *buffer = b;
    return kOk;
}

Result CDeviceBase::CreateRenderTarget(uint32_t width, uint32_t height, Format format, uint32_t multiSample, uint32_t,
                                       bool lockable, ISurface** surface)
{
    if (!surface) {
        return kErrInvalidCall;
    }
    *surface = nullptr;
    if (multiSample != 0 || !IsTargetFormat(format) || Failed(CheckTextureSize(width, height))) {
        return kErrInvalidCall;
    }
    SurfaceDesc desc;
    desc.format = format;
    desc.usage = UsageRenderTarget;
    desc.pool = PoolDefault;
    desc.width = width;
    desc.height = height;
    auto* s = new CSurface(link_, desc, lockable, nullptr, 1);
    if (Result r = PrepareRenderTarget(s); Failed(r)) {
        s->Release();
        return r;
    }
    *surface = s;
    return kOk;
}

Result CDeviceBase::CreateOffscreenPlainSurface(uint32_t width, uint32_t height, Format format, Pool pool,
                                                ISurface** surface)
{
    if (!surface) {
        return kErrInvalidCall;
    }
    *surface = nullptr;
    if (!IsColorFormat(format) || pool == PoolManaged || width == 0 || height == 0 || width > 16384 || height > 16384) {
        return kErrInvalidCall;
    }
    SurfaceDesc desc;
    desc.format = format;
    desc.pool = pool;
    desc.width = width;
    desc.height = height;
    auto* s = new CSurface(link_, desc, pool != PoolDefault, nullptr, 1);
    if (!s->Bits()) {
        s->Release();
        return kErrOutOfMemory;
    }
    *surface = s;
    return kOk;
}

Result CDeviceBase::StretchRect(ISurface* source, const Rect* sourceRect, ISurface* dest, const Rect* destRect,
                                TextureFilter filter)
{
    auto* src = static_cast<CSurface*>(source);
    auto* dst = static_cast<CSurface*>(dest);
    if (!src || !dst || src == dst || !dst->IsRenderTarget() || src->Desc().pool != PoolDefault ||
        filter > FilterLinear) {
        return kErrInvalidCall;
    }
    const Rect fullSrc{0, 0, static_cast<int32_t>(src->Width()), static_cast<int32_t>(src->Height())};
    const Rect fullDst{0, 0, static_cast<int32_t>(dst->Width()), static_cast<int32_t>(dst->Height())};
    const Rect sr = sourceRect ? *sourceRect : fullSrc;
    const Rect dr = destRect ? *destRect : fullDst;
    auto inside = [](const Rect& r, const Rect& full) {
        return r.left >= 0 && r.top >= 0 && r.right <= full.right && r.bottom <= full.bottom && r.left < r.right &&
               r.top < r.bottom;
    };
    if (!inside(sr, fullSrc) || !inside(dr, fullDst)) {
        return kErrInvalidCall;
    }
    if (lost_ != Lost::No) {
        return kOk;
    }
    if (dst->Container()) {
        ++textureWrites_;
    }
    return DoStretchRect(src, sr, dst, dr, filter);
}

Result CDeviceBase::GetRenderTargetData(ISurface* renderTarget, ISurface* destination)
{
    auto* rt = static_cast<CSurface*>(renderTarget);
    auto* dst = static_cast<CSurface*>(destination);
    if (!rt || !dst || !rt->IsRenderTarget() || dst->Desc().pool != PoolSystemMem || dst->Container() ||
        rt->Width() != dst->Width() || rt->Height() != dst->Height() || rt->Desc().format != dst->Desc().format) {
        return kErrInvalidCall;
    }
    if (lost_ != Lost::No) {
        return kErrDeviceLost;
    }
    return DoReadRenderTarget(rt, dst);
}

Result CDeviceBase::SetRenderTarget(uint32_t index, ISurface* surface)
{
    auto* s = static_cast<CSurface*>(surface);
    if (index != 0 || !s || !s->IsRenderTarget()) {
        return kErrInvalidCall;
    }
    s->Bind();
    if (renderTarget_) {
        renderTarget_->Unbind();
    }
    renderTarget_ = s;
    return kOk;
}

Result CDeviceBase::GetRenderTarget(uint32_t index, ISurface** surface)
{
    if (index != 0 || !surface || !renderTarget_) {
        return kErrInvalidCall;
    }
    renderTarget_->AddRef();
    *surface = renderTarget_;
    return kOk;
}

// --- cursor -----------------------------------------------------------------------------------

Result CDeviceBase::SetCursorProperties(uint32_t hotSpotX, uint32_t hotSpotY, ISurface* picture)
{
    auto* s = static_cast<CSurface*>(picture);
    if (!s || s->Desc().format != FmtA8R8G8B8 || s->Width() > 64 || s->Height() > 64 || hotSpotX >= s->Width() ||
        hotSpotY >= s->Height() || (s->IsRenderTarget() && s->Desc().pool == PoolDefault)) {
        return kErrInvalidCall;
    }
    cursorWidth_ = s->Width();
    cursorHeight_ = s->Height();
    cursorHotX_ = hotSpotX;
    cursorHotY_ = hotSpotY;
    cursorPixels_.resize(static_cast<size_t>(cursorWidth_) * cursorHeight_);
    const uint32_t* px = s->Pixels32();
    for (uint32_t y = 0; y < cursorHeight_; ++y) {
        std::copy_n(px + static_cast<size_t>(y) * s->Pitch32(), cursorWidth_, &cursorPixels_[y * cursorWidth_]);
    }
    if (params_.deviceWindow) {
        SDL_Surface* pic = SDL_CreateRGBSurfaceWithFormatFrom(
            cursorPixels_.data(), static_cast<int>(cursorWidth_), static_cast<int>(cursorHeight_), 32,
            static_cast<int>(cursorWidth_ * 4), SDL_PIXELFORMAT_ARGB8888);
        if (pic) {
            SDL_Cursor* c = SDL_CreateColorCursor(pic, static_cast<int>(hotSpotX), static_cast<int>(hotSpotY));
            SDL_FreeSurface(pic);
            if (c) {
                if (cursorShown_) {
                    SDL_SetCursor(c);
                }
                if (sdlCursor_) {
                    SDL_FreeCursor(static_cast<SDL_Cursor*>(sdlCursor_));
                }
                sdlCursor_ = c;
            }
        }
    }
    return kOk;
}

bool CDeviceBase::ShowCursor(bool show)
{
    const bool was = cursorShown_;
    cursorShown_ = show;
    if (params_.deviceWindow && sdlCursor_) {
        if (show) {
            SDL_SetCursor(static_cast<SDL_Cursor*>(sdlCursor_));
        }
        SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
    }
    return was;
}

} // namespace QuillD3D::Detail
