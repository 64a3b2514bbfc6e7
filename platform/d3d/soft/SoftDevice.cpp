// The soft back end: every surface is memory, drawing goes through CSoftRaster, and Present
// copies the back buffer into the window's SDL surface (letterboxed) or keeps it in memory.

#include <SDL.h>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/d3d/Backends.h"
#include "platform/system/GraphicsDriver.h"

namespace QuillD3D::Detail {

namespace {

class CSoftDevice final : public CDeviceBase {
public:
    using CDeviceBase::CDeviceBase;

    ~CSoftDevice() override
    {
        Shutdown();
        FreeWrapper();
    }

protected:
    Result CreateSurfaces() override
    {
        const SurfaceDesc desc = BackBufferDesc();
        backBuffer_ = new CSurface(link_, desc, false, nullptr, 0);
        backBuffer_->Bind();
        if (!backBuffer_->Bits()) {
            DestroySurfaces();
            return kErrOutOfVideoMemory;
        }
        if (params_.enableAutoDepthStencil) {
            depthWidth_ = desc.width;
            depthHeight_ = desc.height;
            depth_.assign(static_cast<size_t>(depthWidth_) * depthHeight_, 0xFFFF);
        }
        return kOk;
    }

    void DestroySurfaces() override
    {
        FreeWrapper();
        if (backBuffer_) {
            std::exchange(backBuffer_, nullptr)->Unbind();
        }
        depth_.clear();
        depth_.shrink_to_fit();
        depthWidth_ = depthHeight_ = 0;
        front_.clear();
    }

    Result PrepareTexture(CTexture* t) override { return t->Level0()->Bits() ? kOk : kErrOutOfVideoMemory; }
    Result PrepareRenderTarget(CSurface* s) override { return s->Bits() ? kOk : kErrOutOfVideoMemory; }

    void DoClear(uint32_t rectCount, const Rect* rects, uint32_t flags, uint32_t color, float z) override
    {
        const RasterTarget t = Target();
        const bool c = (flags & ClearTarget) != 0, d = (flags & ClearZBuffer) != 0;
        if (rectCount == 0) {
            CSoftRaster::Clear(t, 0, 0, t.width, t.height, c, color, d, z);
        }
        for (uint32_t i = 0; i < rectCount; ++i) {
            CSoftRaster::Clear(t, rects[i].left, rects[i].top, rects[i].right, rects[i].bottom, c, color, d, z);
        }
    }

    void DoDraw(const DrawCall& call) override
    {
        RasterState st;
        StageTerms(&st.color, &st.alpha);
        const VertexLayout layout = DescribeFvf(call.fvf);
        CTexture* tex = textures_[0];
        auto reads = [](CombinerTerm t) { return t.a == Arg::Texture || t.b == Arg::Texture; };
        st.textured = tex && layout.texOffset >= 0 && (reads(st.color) || reads(st.alpha));
        if (st.textured) {
            CSurface* level = tex->Level0();
            st.texture.pixels = level->Pixels32();
            st.texture.pitch = level->Pitch32();
            st.texture.width = static_cast<int>(level->Width());
            st.texture.height = static_cast<int>(level->Height());
            st.texture.orMask = level->SampleOrMask();
            st.texture.linear = LinearFilter();
            st.texture.wrapU =
                samplerStates_[0][SampAddressU] == AddressWrap || samplerStates_[0][SampAddressU] == AddressMirror;
            st.texture.wrapV =
                samplerStates_[0][SampAddressV] == AddressWrap || samplerStates_[0][SampAddressV] == AddressMirror;
            if (!st.texture.pixels) {
                st.textured = false;
            }
        }
        const uint32_t* rs = renderStates_;
        st.textureFactor = rs[RsTextureFactor];
        st.alphaTest = rs[RsAlphaTestEnable] != 0;
        st.alphaFunc = rs[RsAlphaFunc];
        st.alphaRef = rs[RsAlphaRef];
        st.blend = rs[RsAlphaBlendEnable] != 0;
        st.srcBlend = rs[RsSrcBlend];
        st.destBlend = rs[RsDestBlend];
        st.zEnable = rs[RsZEnable] != 0;
        st.zWrite = rs[RsZWriteEnable] != 0;
        st.zFunc = rs[RsZFunc];
        st.cull = rs[RsCullMode];
        const RasterTarget target = Target();
        if (!target.color) {
            return;
        }
        raster_.Begin(target, st);

        auto vertexAt = [&](uint32_t k) { return ReadVertex(call, layout, k); };
        const uint32_t n = call.primitiveCount;
        switch (call.type) {
        case PtTriangleList:
            for (uint32_t i = 0; i < n; ++i) {
                const uint32_t k = 3 * i;
                // Two triangles (a, b, c), (a, c, d) sharing the diagonal draw as one quad.
                if (call.indices && i + 1 < n && call.indices[k + 3] == call.indices[k] &&
                    call.indices[k + 4] == call.indices[k + 2]) {
                    raster_.Quad(vertexAt(k), vertexAt(k + 1), vertexAt(k + 2), vertexAt(k + 5));
                    ++i;
                } else {
                    raster_.Triangle(vertexAt(k), vertexAt(k + 1), vertexAt(k + 2));
                }
            }
            break;
        case PtTriangleStrip:
            for (uint32_t i = 0; i < n; ++i) {
                if (i % 2 == 0) {
                    raster_.Triangle(vertexAt(i), vertexAt(i + 1), vertexAt(i + 2));
                } else {
                    raster_.Triangle(vertexAt(i + 1), vertexAt(i), vertexAt(i + 2));
                }
            }
            break;
        case PtTriangleFan:
            for (uint32_t i = 0; i < n; ++i) {
                raster_.Triangle(vertexAt(0), vertexAt(i + 1), vertexAt(i + 2));
            }
            break;
        case PtLineList:
            for (uint32_t i = 0; i < n; ++i) {
                raster_.Line(vertexAt(2 * i), vertexAt(2 * i + 1));
            }
            break;
        case PtLineStrip:
            for (uint32_t i = 0; i < n; ++i) {
                raster_.Line(vertexAt(i), vertexAt(i + 1));
            }
            break;
        default:
            break;
        }
    }

    Result DoPresentRects(uint32_t count, const Rect* rects) override
    {
        CSurface* bb = backBuffer_;
        const int bw = static_cast<int>(bb->Width()), bh = static_cast<int>(bb->Height());
        if (!params_.deviceWindow) {
            if (front_.size() != static_cast<size_t>(bw) * bh) {
                return DoPresent();
            }
            const uint32_t* src = bb->Pixels32();
            for (uint32_t i = 0; i < count; ++i) {
                const Rect r = Inside(rects[i], bw, bh);
                for (int y = r.top; y < r.bottom; ++y) {
                    std::copy_n(src + static_cast<size_t>(y) * bb->Pitch32() + r.left, r.right - r.left,
                                &front_[static_cast<size_t>(y) * bw + r.left]);
                }
            }
            return kOk;
        }
        SDL_Surface* window = SDL_GetWindowSurface(params_.deviceWindow);
        // A letterboxed picture is scaled: only a window the back buffer's size takes rectangles.
        if (!window || !wrapper_ || window->w != bw || window->h != bh) {
            return DoPresent();
        }
        std::vector<SDL_Rect> parts;
        for (uint32_t i = 0; i < count; ++i) {
            const Rect r = Inside(rects[i], bw, bh);
            if (r.right > r.left && r.bottom > r.top) {
                SDL_Rect part{r.left, r.top, r.right - r.left, r.bottom - r.top};
                SDL_BlitSurface(wrapper_, &part, window, &part);
                parts.push_back(part);
            }
        }
        if (parts.empty()) {
            return kOk;
        }
        return SDL_UpdateWindowSurfaceRects(params_.deviceWindow, parts.data(), static_cast<int>(parts.size())) == 0
                   ? kOk
                   : kErrDriverInternalError;
    }

    static Rect Inside(const Rect& r, int width, int height)
    {
        return Rect{std::clamp(r.left, 0, width), std::clamp(r.top, 0, height), std::clamp(r.right, 0, width),
                    std::clamp(r.bottom, 0, height)};
    }

    Result DoPresent() override
    {
        CSurface* bb = backBuffer_;
        const int bw = static_cast<int>(bb->Width()), bh = static_cast<int>(bb->Height());
        if (!params_.deviceWindow) {
            front_.resize(static_cast<size_t>(bw) * bh);
            const uint32_t* src = bb->Pixels32();
            for (int y = 0; y < bh; ++y) {
                std::copy_n(src + static_cast<size_t>(y) * bb->Pitch32(), bw, &front_[static_cast<size_t>(y) * bw]);
            }
            return kOk;
        }
        // Our pixels go to the window as they are. On a window made for OpenGL, SDL would back
        // the surface with a GL texture (and on Mesa's software GL, several threads); the plain
        // framebuffer path costs a fraction of that. Read when the surface is first made.
        static const bool plainFramebuffer = SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        (void)plainFramebuffer;
        SDL_Surface* window = SDL_GetWindowSurface(params_.deviceWindow);
        QuillPlatform::KeepGraphicsDriverLoaded();
        if (!window) {
            return kErrDriverInternalError;
        }
        if (!wrapper_) {
            wrapper_ = SDL_CreateRGBSurfaceWithFormatFrom(bb->Bits(), bw, bh, 32, static_cast<int>(bb->Pitch()),
                                                          SDL_PIXELFORMAT_ARGB8888);
            if (!wrapper_) {
                return kErrDriverInternalError;
            }
            SDL_SetSurfaceBlendMode(wrapper_, SDL_BLENDMODE_NONE);
        }
        if (window->w == bw && window->h == bh) {
            SDL_BlitSurface(wrapper_, nullptr, window, nullptr);
        } else {
            // Letterbox: the largest picture of the back buffer's shape, centred.
            const double scale = std::min(static_cast<double>(window->w) / bw, static_cast<double>(window->h) / bh);
            SDL_Rect dst;
            dst.w = std::max(1, static_cast<int>(std::lround(bw * scale)));
            dst.h = std::max(1, static_cast<int>(std::lround(bh * scale)));
            dst.x = (window->w - dst.w) / 2;
            dst.y = (window->h - dst.h) / 2;
            SDL_FillRect(window, nullptr, SDL_MapRGB(window->format, 0, 0, 0));
            SDL_BlitScaled(wrapper_, nullptr, window, &dst);
        }
        return SDL_UpdateWindowSurface(params_.deviceWindow) == 0 ? kOk : kErrDriverInternalError;
    }

    Result DoStretchRect(CSurface* src, const Rect& sr, CSurface* dst, const Rect& dr, TextureFilter filter) override
    {
        const uint32_t* sp = src->Pixels32();
        uint32_t* dp = reinterpret_cast<uint32_t*>(dst->Bits());
        if (!sp || !dp) {
            return kErrOutOfVideoMemory;
        }
        const uint32_t spitch = src->Pitch32(), dpitch = dst->Pitch32(), orMask = src->SampleOrMask();
        const int sw = sr.right - sr.left, sh = sr.bottom - sr.top, dw = dr.right - dr.left, dh = dr.bottom - dr.top;
        if (sw == dw && sh == dh) {
            for (int y = 0; y < dh; ++y) {
                const uint32_t* s = sp + static_cast<size_t>(sr.top + y) * spitch + sr.left;
                uint32_t* d = dp + static_cast<size_t>(dr.top + y) * dpitch + dr.left;
                for (int x = 0; x < dw; ++x) {
                    d[x] = s[x] | orMask;
                }
            }
            return kOk;
        }
        RasterTexture t;
        t.pixels = sp + static_cast<size_t>(sr.top) * spitch + sr.left;
        t.pitch = spitch;
        t.width = sw;
        t.height = sh;
        t.orMask = orMask;
        for (int y = 0; y < dh; ++y) {
            const double v = (y + 0.5) / dh;
            uint32_t* d = dp + static_cast<size_t>(dr.top + y) * dpitch + dr.left;
            for (int x = 0; x < dw; ++x) {
                const double u = (x + 0.5) / dw;
                const int64_t fu = std::llround(u * sw * 65536.0), fv = std::llround(v * sh * 65536.0);
                if (filter == FilterLinear) {
                    const int64_t uu = fu - 32768, vv = fv - 32768;
                    auto clampi = [](int64_t i, int n) { return static_cast<int>(std::clamp<int64_t>(i, 0, n - 1)); };
                    const int x0 = clampi(uu >> 16, sw), x1 = clampi((uu >> 16) + 1, sw);
                    const int y0 = clampi(vv >> 16, sh), y1 = clampi((vv >> 16) + 1, sh);
                    const uint32_t fx = static_cast<uint32_t>((uu >> 8) & 255),
                                   fy = static_cast<uint32_t>((vv >> 8) & 255);
                    auto lerp = [](uint32_t a, uint32_t b, uint32_t f) {
                        const uint32_t g = 256 - f;
                        return ((((a & 0xFF00FFu) * g + (b & 0xFF00FFu) * f) >> 8) & 0xFF00FFu) |
                               ((((a >> 8) & 0xFF00FFu) * g + ((b >> 8) & 0xFF00FFu) * f) & 0xFF00FF00u);
                    };
                    const uint32_t* r0 = t.pixels + static_cast<size_t>(y0) * spitch;
                    const uint32_t* r1 = t.pixels + static_cast<size_t>(y1) * spitch;
                    d[x] = lerp(lerp(r0[x0], r0[x1], fx), lerp(r1[x0], r1[x1], fx), fy) | orMask;
                } else {
                    const int sx = std::min(static_cast<int>(fu >> 16), sw - 1);
                    const int sy = std::min(static_cast<int>(fv >> 16), sh - 1);
                    d[x] = t.pixels[static_cast<size_t>(sy) * spitch + sx] | orMask;
                }
            }
        }
        return kOk;
    }

    Result DoReadRenderTarget(CSurface* rt, CSurface* dst) override
    {
        const uint8_t* s = rt->Bits();
        uint8_t* d = dst->Bits();
        if (!s || !d) {
            return kErrOutOfMemory;
        }
        const size_t row = static_cast<size_t>(rt->Width()) * 4;
        for (uint32_t y = 0; y < rt->Height(); ++y) {
            std::memcpy(d + static_cast<size_t>(y) * dst->Pitch(), s + static_cast<size_t>(y) * rt->Pitch(), row);
        }
        return kOk;
    }

    Result DoReadFrontBuffer(CSurface* dst) override
    {
        const uint32_t w = params_.backBufferWidth, h = params_.backBufferHeight;
        if (params_.deviceWindow) {
            return ReadWindow(dst);
        }
        if (front_.size() != static_cast<size_t>(w) * h) {
            return kErrInvalidCall; // nothing presented yet
        }
        uint8_t* d = dst->Bits();
        for (uint32_t y = 0; y < h; ++y) {
            std::memcpy(d + static_cast<size_t>(y) * dst->Pitch(), &front_[static_cast<size_t>(y) * w], w * 4);
        }
        return kOk;
    }

private:
    // What the window shows, where that is the back buffer's picture unscaled: the window's
    // surface, which every present fills and hands to the window system.
    Result ReadWindow(CSurface* dst)
    {
        if (!wrapper_) {
            return kErrInvalidCall; // nothing presented yet
        }
        SDL_Surface* window = SDL_GetWindowSurface(params_.deviceWindow);
        const int w = static_cast<int>(params_.backBufferWidth), h = static_cast<int>(params_.backBufferHeight);
        if (!window || window->w != w || window->h != h) {
            return kErrInvalidCall; // a letterboxed (scaled) picture
        }
        if (SDL_LockSurface(window) != 0) {
            return kErrDriverInternalError;
        }
        const int converted = SDL_ConvertPixels(w, h, window->format->format, window->pixels, window->pitch,
                                                SDL_PIXELFORMAT_ARGB8888, dst->Bits(), static_cast<int>(dst->Pitch()));
        SDL_UnlockSurface(window);
        return converted == 0 ? kOk : kErrDriverInternalError;
    }

    RasterTarget Target()
    {
        RasterTarget t;
        CSurface* rt = renderTarget_;
        t.color = reinterpret_cast<uint32_t*>(rt->Bits());
        t.pitch = rt->Pitch32();
        t.width = static_cast<int>(rt->Width());
        t.height = static_cast<int>(rt->Height());
        if (!depth_.empty()) {
            // A target larger than the depth buffer is drawn only where both exist.
            t.depth = depth_.data();
            t.depthPitch = depthWidth_;
            t.width = std::min(t.width, static_cast<int>(depthWidth_));
            t.height = std::min(t.height, static_cast<int>(depthHeight_));
        }
        if (clipped_) {
            t.clipX0 = clip_.left;
            t.clipY0 = clip_.top;
            t.clipX1 = clip_.right;
            t.clipY1 = clip_.bottom;
        }
        return t;
    }

    bool DoSetClipRect(const Rect* rect) override
    {
        clipped_ = rect != nullptr;
        if (rect) {
            clip_ = *rect;
        }
        return true;
    }

    void FreeWrapper()
    {
        if (wrapper_) {
            SDL_FreeSurface(wrapper_);
            wrapper_ = nullptr;
        }
    }

    CSoftRaster raster_;
    std::vector<uint16_t> depth_;
    std::vector<uint32_t> front_;
    SDL_Surface* wrapper_ = nullptr;
    bool clipped_ = false;
    Rect clip_{};
};

} // namespace

CDeviceBase* NewSoftDevice(const AdapterInfo& adapter, const PresentParameters& params)
{
    return new CSoftDevice(Backend::Soft, adapter, params);
}

} // namespace QuillD3D::Detail
