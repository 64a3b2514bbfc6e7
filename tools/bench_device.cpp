// Frame times of the soft device against SDL2's own software renderer, on two 800x600 scenes:
//  (a) 10,000 alpha-blended 16x16 quads cut from a texture atlas, point sampled;
//  (b) 2,000 rotated 32x32 quads, bilinear, magnified from 16x16 atlas cells.
// Both run single-threaded in this process. Ends with one RESULT line (times in ms per frame).

#include <SDL.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/d3d/D3dFactory.h"

using namespace QuillD3D;

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr int kAtlas = 256;
constexpr int kCell = 16;
constexpr int kQuadsA = 10000;
constexpr int kQuadsB = 2000;
constexpr int kBatch = 1000; // quads per draw call, as the engine's batcher sends them

struct Vertex {
    float x, y, z, rhw;
    uint32_t color;
    float u, v;
};

struct Sprite {
    float x, y, angle;
    int cell;
};

uint32_t g_seed = 12345;
uint32_t NextRand()
{
    g_seed = g_seed * 214013u + 2531011u;
    return (g_seed >> 16) & 0x7FFF;
}

// 16x16 cells, each a disc with a soft rim over a transparent background: opaque, partly
// transparent and fully transparent texels in the proportions sprites usually have.
std::vector<uint32_t> MakeAtlas()
{
    std::vector<uint32_t> px(kAtlas * kAtlas);
    for (int y = 0; y < kAtlas; ++y) {
        for (int x = 0; x < kAtlas; ++x) {
            const int cx = x / kCell, cy = y / kCell;
            const double dx = (x % kCell) - 7.5, dy = (y % kCell) - 7.5;
            const double r = std::sqrt(dx * dx + dy * dy);
            const double a = std::clamp((7.5 - r) / 2.0, 0.0, 1.0);
            const uint32_t alpha = static_cast<uint32_t>(a * 255.0 + 0.5);
            const uint32_t red = (cx * 16) & 255, green = (cy * 16) & 255, blue = ((cx + cy) * 8 + 64) & 255;
            px[y * kAtlas + x] = alpha << 24 | red << 16 | green << 8 | blue;
        }
    }
    return px;
}

std::vector<Sprite> MakeSprites(int count, int size)
{
    std::vector<Sprite> out(count);
    for (Sprite& s : out) {
        s.x = static_cast<float>(NextRand() % (kWidth - size));
        s.y = static_cast<float>(NextRand() % (kHeight - size));
        s.angle = static_cast<float>(NextRand() % 3600) / 10.0f;
        s.cell = static_cast<int>(NextRand() % ((kAtlas / kCell) * (kAtlas / kCell)));
    }
    return out;
}

double NowMs()
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Corners of a sprite as the engine's batcher makes them: a transformed unit square, minus half
// a pixel so that texel centres fall on pixel centres.
void SpriteVertices(const Sprite& s, int size, bool rotate, Vertex* out)
{
    const float u0 = static_cast<float>((s.cell % (kAtlas / kCell)) * kCell) / kAtlas;
    const float v0 = static_cast<float>((s.cell / (kAtlas / kCell)) * kCell) / kAtlas;
    const float u1 = u0 + static_cast<float>(kCell) / kAtlas, v1 = v0 + static_cast<float>(kCell) / kAtlas;
    const float c = rotate ? std::cos(s.angle * 3.14159265f / 180.0f) : 1.0f;
    const float sn = rotate ? std::sin(s.angle * 3.14159265f / 180.0f) : 0.0f;
    const float half = size * 0.5f, cx = s.x + half, cy = s.y + half;
    const float corners[4][2] = {{-0.5f, 0.5f}, {0.5f, 0.5f}, {0.5f, -0.5f}, {-0.5f, -0.5f}};
    const float uv[4][2] = {{u0, v1}, {u1, v1}, {u1, v0}, {u0, v0}};
    for (int i = 0; i < 4; ++i) {
        const float lx = corners[i][0] * size, ly = corners[i][1] * size;
        out[i] = {
            cx + lx * c - ly * sn - 0.5f, cy + lx * sn + ly * c - 0.5f, 0.51f, 0.5f, 0xFFFFFFFFu, uv[i][0], uv[i][1]};
    }
}

struct DeviceScene {
    IDevice* device = nullptr;
    ITexture* atlas = nullptr;
    IVertexBuffer* vb = nullptr;
    IIndexBuffer* ib = nullptr;
    uint32_t written = 0; // vertices
    static constexpr uint32_t kCapacity = 4000;

    bool Init(IDirect3D* d3d, const std::vector<uint32_t>& atlasPixels)
    {
        PresentParameters pp;
        pp.backBufferWidth = kWidth;
        pp.backBufferHeight = kHeight;
        pp.backBufferFormat = FmtX8R8G8B8;
        pp.enableAutoDepthStencil = true;
        pp.autoDepthStencilFormat = FmtD16;
        if (Failed(d3d->CreateDevice(0, DevTypeHal, nullptr, CreateSoftwareVertexProcessing, &pp, &device))) {
            return false;
        }
        if (Failed(device->CreateTexture(kAtlas, kAtlas, 1, 0, FmtA8R8G8B8, PoolManaged, &atlas))) {
            return false;
        }
        LockedRect lr;
        atlas->LockRect(0, &lr, nullptr, 0);
        for (int y = 0; y < kAtlas; ++y) {
            std::memcpy(static_cast<uint8_t*>(lr.bits) + y * lr.pitch, &atlasPixels[y * kAtlas], kAtlas * 4);
        }
        atlas->UnlockRect(0);
        device->CreateVertexBuffer(kCapacity * sizeof(Vertex), UsageDynamic | UsageWriteOnly, kFvfSprite, PoolDefault,
                                   &vb);
        device->CreateIndexBuffer(kBatch * 6 * 2, UsageWriteOnly, FmtIndex16, PoolManaged, &ib);
        void* p = nullptr;
        ib->Lock(0, 0, &p, 0);
        auto* idx = static_cast<uint16_t*>(p);
        for (int q = 0; q < kBatch; ++q) {
            const uint16_t b = static_cast<uint16_t>(4 * q);
            const uint16_t six[6] = {b, static_cast<uint16_t>(b + 1), static_cast<uint16_t>(b + 2),
                                     b, static_cast<uint16_t>(b + 2), static_cast<uint16_t>(b + 3)};
            std::memcpy(idx + 6 * q, six, sizeof six);
        }
        ib->Unlock();
        device->SetRenderState(RsCullMode, CullNone);
        device->SetRenderState(RsLighting, 0);
        device->SetRenderState(RsZEnable, 0);
        device->SetRenderState(RsAlphaTestEnable, 1);
        device->SetRenderState(RsAlphaRef, 1);
        device->SetRenderState(RsAlphaFunc, CmpGreaterEqual);
        device->SetRenderState(RsAlphaBlendEnable, 1);
        device->SetRenderState(RsSrcBlend, BlendSrcAlpha);
        device->SetRenderState(RsDestBlend, BlendInvSrcAlpha);
        device->SetSamplerState(0, SampAddressU, AddressClamp);
        device->SetSamplerState(0, SampAddressV, AddressClamp);
        device->SetTextureStageState(0, TssColorOp, TopModulate);
        device->SetTextureStageState(0, TssColorArg1, TaTexture);
        device->SetTextureStageState(0, TssColorArg2, TaDiffuse);
        device->SetTextureStageState(0, TssAlphaOp, TopModulate);
        device->SetTextureStageState(0, TssAlphaArg1, TaTexture);
        device->SetTextureStageState(0, TssAlphaArg2, TaDiffuse);
        device->SetTexture(0, atlas);
        device->SetFVF(kFvfSprite);
        device->SetStreamSource(0, vb, 0, sizeof(Vertex));
        device->SetIndices(ib);
        return true;
    }

    void Frame(const std::vector<Sprite>& sprites, int size, bool rotate)
    {
        const uint32_t filter = rotate ? FilterLinear : FilterPoint;
        device->SetSamplerState(0, SampMagFilter, filter);
        device->SetSamplerState(0, SampMinFilter, filter);
        device->Clear(0, nullptr, ClearTarget | ClearZBuffer, 0xFF203040u, 1.0f, 0);
        device->BeginScene();
        for (size_t first = 0; first < sprites.size(); first += kBatch) {
            const uint32_t quads = static_cast<uint32_t>(std::min<size_t>(kBatch, sprites.size() - first));
            const uint32_t count = quads * 4;
            uint32_t flags = LockNoOverwrite;
            if (written + count > kCapacity) {
                written = 0;
                flags = LockDiscard;
            }
            void* p = nullptr;
            if (Failed(vb->Lock(written * sizeof(Vertex), count * sizeof(Vertex), &p, flags))) {
                break;
            }
            auto* v = static_cast<Vertex*>(p);
            for (uint32_t q = 0; q < quads; ++q) {
                SpriteVertices(sprites[first + q], size, rotate, v + 4 * q);
            }
            vb->Unlock();
            device->DrawIndexedPrimitive(PtTriangleList, static_cast<int32_t>(written), 0, count, 0, quads * 2);
            written += count;
        }
        device->EndScene();
    }

    void Shutdown()
    {
        if (device) {
            device->SetTexture(0, nullptr);
            device->SetStreamSource(0, nullptr, 0, 0);
            device->SetIndices(nullptr);
        }
        for (IUnknownLike* o : {static_cast<IUnknownLike*>(vb), static_cast<IUnknownLike*>(ib),
                                static_cast<IUnknownLike*>(atlas), static_cast<IUnknownLike*>(device)}) {
            if (o) {
                o->Release();
            }
        }
    }
};

struct SdlScene {
    SDL_Surface* target = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* atlas = nullptr;

    bool Init(std::vector<uint32_t>& atlasPixels)
    {
        target = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, SDL_PIXELFORMAT_ARGB8888);
        renderer = target ? SDL_CreateSoftwareRenderer(target) : nullptr;
        SDL_Surface* pic = SDL_CreateRGBSurfaceWithFormatFrom(atlasPixels.data(), kAtlas, kAtlas, 32, kAtlas * 4,
                                                              SDL_PIXELFORMAT_ARGB8888);
        atlas = renderer && pic ? SDL_CreateTextureFromSurface(renderer, pic) : nullptr;
        SDL_FreeSurface(pic);
        if (!atlas) {
            return false;
        }
        SDL_SetTextureBlendMode(atlas, SDL_BLENDMODE_BLEND);
        return true;
    }

    void Frame(const std::vector<Sprite>& sprites, int size, bool rotate)
    {
        SDL_SetTextureScaleMode(atlas, rotate ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
        SDL_SetRenderDrawColor(renderer, 0x20, 0x30, 0x40, 0xFF);
        SDL_RenderClear(renderer);
        for (const Sprite& s : sprites) {
            const SDL_Rect src{(s.cell % (kAtlas / kCell)) * kCell, (s.cell / (kAtlas / kCell)) * kCell, kCell, kCell};
            const SDL_Rect dst{static_cast<int>(s.x), static_cast<int>(s.y), size, size};
            if (rotate) {
                SDL_RenderCopyEx(renderer, atlas, &src, &dst, s.angle, nullptr, SDL_FLIP_NONE);
            } else {
                SDL_RenderCopy(renderer, atlas, &src, &dst);
            }
        }
        SDL_RenderFlush(renderer);
    }

    void Shutdown()
    {
        if (atlas) {
            SDL_DestroyTexture(atlas);
        }
        if (renderer) {
            SDL_DestroyRenderer(renderer);
        }
        if (target) {
            SDL_FreeSurface(target);
        }
    }
};

template <typename Fn> double TimeFrames(int warmup, int frames, Fn&& fn)
{
    for (int i = 0; i < warmup; ++i) {
        fn();
    }
    std::vector<double> times;
    for (int i = 0; i < frames; ++i) {
        const double t0 = NowMs();
        fn();
        times.push_back(NowMs() - t0);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2]; // median: robust against a scheduler hiccup
}

} // namespace

int main(int argc, char** argv)
{
    // "--soft-only": only the soft device's scenes, for profiling.
    const bool softOnly = argc > 1 && std::strcmp(argv[1], "--soft-only") == 0;
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    std::vector<uint32_t> atlasPixels = MakeAtlas();
    const std::vector<Sprite> spritesA = MakeSprites(kQuadsA, 16);
    const std::vector<Sprite> spritesB = MakeSprites(kQuadsB, 32);

    IDirect3D* d3d = Direct3DCreate(Backend::Soft);
    DeviceScene dev;
    SdlScene sdl;
    if (!d3d || !dev.Init(d3d, atlasPixels) || !sdl.Init(atlasPixels)) {
        std::fprintf(stderr, "bench_device: set-up failed (%s)\n", SDL_GetError());
        return 1;
    }
    const int frames = 40;
    const double quads = TimeFrames(3, frames, [&] { dev.Frame(spritesA, 16, false); });
    const double sdlQuads = softOnly ? 1.0 : TimeFrames(3, frames, [&] { sdl.Frame(spritesA, 16, false); });
    const double rot = TimeFrames(3, frames, [&] { dev.Frame(spritesB, 32, true); });
    const double sdlRot = softOnly ? 1.0 : TimeFrames(3, frames, [&] { sdl.Frame(spritesB, 32, true); });

    std::printf("scene a: %d alpha-blended 16x16 atlas quads, 800x600, point sampled\n", kQuadsA);
    std::printf("  soft device      %8.3f ms/frame\n", quads);
    std::printf("  SDL software     %8.3f ms/frame\n", sdlQuads);
    std::printf("scene b: %d rotated 32x32 quads, bilinear, magnified from 16x16\n", kQuadsB);
    std::printf("  soft device      %8.3f ms/frame\n", rot);
    std::printf("  SDL software     %8.3f ms/frame\n", sdlRot);
    std::printf("RESULT device quads_ms=%.3f sdl_quads_ms=%.3f ratio_quads=%.3f rot_ms=%.3f sdl_rot_ms=%.3f "
                "ratio_rot=%.3f\n",
                quads, sdlQuads, quads / sdlQuads, rot, sdlRot, rot / sdlRot);

    dev.Shutdown();
    sdl.Shutdown();
    d3d->Release();
    return 0;
}
