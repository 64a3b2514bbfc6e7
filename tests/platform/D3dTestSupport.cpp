#include "tests/platform/D3dTestSupport.h"
#include "tests/support/TestEnvironment.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

using namespace QuillD3D;

namespace QuillTest {

namespace {

constexpr uint32_t kVertexCapacity = 4096;
constexpr uint32_t kQuadCapacity = kVertexCapacity / 4;

std::filesystem::path GoldenFolder()
{
    return QuillTest::SourceRoot() / "tests" / "platform" / "golden";
}

} // namespace

D3dPainter::~D3dPainter()
{
    if (device_) {
        device_->SetTexture(0, nullptr);
        device_->SetStreamSource(0, nullptr, 0, 0);
        device_->SetIndices(nullptr);
    }
    for (ITexture* t : textures_) {
        t->Release();
    }
    if (vb_) {
        vb_->Release();
    }
    if (ib_) {
        ib_->Release();
    }
    if (device_) {
        device_->Release();
    }
    if (d3d_) {
        d3d_->Release();
    }
}

bool D3dPainter::Open(Backend backend, int width, int height)
{
    d3d_ = Direct3DCreate(backend);
    if (!d3d_) {
        return false;
    }
    PresentParameters pp;
    pp.backBufferWidth = static_cast<uint32_t>(width);
    pp.backBufferHeight = static_cast<uint32_t>(height);
    pp.backBufferFormat = FmtX8R8G8B8;
    pp.enableAutoDepthStencil = true;
    pp.autoDepthStencilFormat = FmtD16;
    const Result r = d3d_->CreateDevice(0, DevTypeHal, nullptr, CreateSoftwareVertexProcessing, &pp, &device_);
    if (Failed(r)) {
        ADD_FAILURE() << "CreateDevice on " << BackendName(backend) << ": " << ResultName(r);
        return false;
    }
    EXPECT_EQ(device_->CreateVertexBuffer(kVertexCapacity * sizeof(D3dVertex), UsageDynamic | UsageWriteOnly,
                                          kFvfSprite, PoolDefault, &vb_),
              kOk);
    EXPECT_EQ(device_->CreateIndexBuffer(kQuadCapacity * 12, UsageWriteOnly, FmtIndex16, PoolManaged, &ib_), kOk);
    void* p = nullptr;
    EXPECT_EQ(ib_->Lock(0, 0, &p, 0), kOk);
    auto* idx = static_cast<uint16_t*>(p);
    for (uint32_t q = 0; q < kQuadCapacity; ++q) {
        const uint16_t b = static_cast<uint16_t>(4 * q);
        const uint16_t six[6] = {b, static_cast<uint16_t>(b + 1), static_cast<uint16_t>(b + 2),
                                 b, static_cast<uint16_t>(b + 2), static_cast<uint16_t>(b + 3)};
        std::memcpy(idx + 6 * q, six, sizeof six);
    }
    ib_->Unlock();
    device_->SetFVF(kFvfSprite);
    device_->SetStreamSource(0, vb_, 0, sizeof(D3dVertex));
    device_->SetIndices(ib_);
    device_->SetRenderState(RsCullMode, CullNone);
    device_->SetRenderState(RsLighting, 0);
    device_->SetRenderState(RsZEnable, 0);
    return true;
}

ITexture* D3dPainter::MakeTexture(int width, int height, const std::vector<uint32_t>& argb, Format format)
{
    ITexture* t = nullptr;
    EXPECT_EQ(device_->CreateTexture(static_cast<uint32_t>(width), static_cast<uint32_t>(height), 1, 0, format,
                                     PoolManaged, &t),
              kOk);
    if (!t) {
        return nullptr;
    }
    LockedRect lr;
    EXPECT_EQ(t->LockRect(0, &lr, nullptr, 0), kOk);
    for (int y = 0; y < height; ++y) {
        std::memcpy(static_cast<uint8_t*>(lr.bits) + y * lr.pitch, &argb[static_cast<size_t>(y) * width],
                    static_cast<size_t>(width) * 4);
    }
    t->UnlockRect(0);
    textures_.push_back(t);
    return t;
}

void D3dPainter::SpriteStates()
{
    IDevice* d = device_;
    d->SetRenderState(RsAlphaTestEnable, 1);
    d->SetRenderState(RsAlphaRef, 1);
    d->SetRenderState(RsAlphaFunc, CmpGreaterEqual);
    d->SetRenderState(RsAlphaBlendEnable, 1);
    d->SetRenderState(RsSrcBlend, BlendSrcAlpha);
    d->SetRenderState(RsDestBlend, BlendInvSrcAlpha);
    d->SetRenderState(RsZEnable, 0);
    d->SetRenderState(RsZWriteEnable, 0);
    for (uint32_t s : {SampMagFilter, SampMinFilter, SampMipFilter}) {
        d->SetSamplerState(0, s, FilterPoint);
    }
    d->SetSamplerState(0, SampAddressU, AddressClamp);
    d->SetSamplerState(0, SampAddressV, AddressClamp);
    d->SetTextureStageState(0, TssColorOp, TopModulate);
    d->SetTextureStageState(0, TssColorArg1, TaTexture);
    d->SetTextureStageState(0, TssColorArg2, TaDiffuse);
    d->SetTextureStageState(0, TssAlphaOp, TopModulate);
    d->SetTextureStageState(0, TssAlphaArg1, TaTexture);
    d->SetTextureStageState(0, TssAlphaArg2, TaDiffuse);
}

void D3dPainter::Append(const D3dVertex* v, uint32_t count, uint32_t* start)
{
    uint32_t flags = LockNoOverwrite;
    if (written_ + count > kVertexCapacity) {
        written_ = 0;
        flags = LockDiscard;
    }
    void* p = nullptr;
    ASSERT_EQ(vb_->Lock(written_ * sizeof(D3dVertex), count * sizeof(D3dVertex), &p, flags), kOk);
    std::memcpy(p, v, count * sizeof(D3dVertex));
    vb_->Unlock();
    *start = written_;
    written_ += count;
}

void D3dPainter::Quad(const D3dVertex (&corners)[4])
{
    uint32_t start = 0;
    Append(corners, 4, &start);
    device_->SetStreamSource(0, vb_, 0, sizeof(D3dVertex));
    device_->SetIndices(ib_);
    device_->SetFVF(kFvfSprite);
    EXPECT_EQ(device_->DrawIndexedPrimitive(PtTriangleList, static_cast<int32_t>(start), 0, 4, 0, 2), kOk);
}

void D3dPainter::Rect(float x0, float y0, float x1, float y1, uint32_t color, float z, float u0, float v0, float u1,
                      float v1)
{
    const D3dVertex q[4] = {{x0, y1, z, 0.5f, color, u0, v1},
                            {x1, y1, z, 0.5f, color, u1, v1},
                            {x1, y0, z, 0.5f, color, u1, v0},
                            {x0, y0, z, 0.5f, color, u0, v0}};
    Quad(q);
}

void D3dPainter::Lines(const std::vector<D3dVertex>& ends)
{
    uint32_t start = 0;
    Append(ends.data(), static_cast<uint32_t>(ends.size()), &start);
    device_->SetStreamSource(0, vb_, 0, sizeof(D3dVertex));
    device_->SetFVF(kFvfSprite);
    EXPECT_EQ(device_->DrawPrimitive(PtLineList, start, static_cast<uint32_t>(ends.size() / 2)), kOk);
}

Picture D3dPainter::Read(ISurface* target)
{
    Picture pic;
    ISurface* rt = target;
    if (!rt) {
        EXPECT_EQ(device_->GetRenderTarget(0, &rt), kOk);
    } else {
        rt->AddRef();
    }
    SurfaceDesc desc;
    rt->GetDesc(&desc);
    ISurface* copy = nullptr;
    EXPECT_EQ(device_->CreateOffscreenPlainSurface(desc.width, desc.height, desc.format, PoolSystemMem, &copy), kOk);
    EXPECT_EQ(device_->GetRenderTargetData(rt, copy), kOk);
    LockedRect lr;
    EXPECT_EQ(copy->LockRect(&lr, nullptr, LockReadOnly), kOk);
    pic.width = static_cast<int>(desc.width);
    pic.height = static_cast<int>(desc.height);
    pic.argb.resize(static_cast<size_t>(pic.width) * pic.height);
    for (int y = 0; y < pic.height; ++y) {
        std::memcpy(&pic.argb[static_cast<size_t>(y) * pic.width], static_cast<uint8_t*>(lr.bits) + y * lr.pitch,
                    static_cast<size_t>(pic.width) * 4);
    }
    copy->UnlockRect();
    copy->Release();
    rt->Release();
    return pic;
}

int MaxDifference(const Picture& a, const Picture& b, bool withAlpha, int* atX, int* atY)
{
    if (a.width != b.width || a.height != b.height) {
        return 256;
    }
    int worst = 0;
    for (int y = 0; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x) {
            const uint32_t p = a.At(x, y), q = b.At(x, y);
            for (int c = 0; c < (withAlpha ? 4 : 3); ++c) {
                const int d = std::abs(static_cast<int>((p >> (8 * c)) & 255) - static_cast<int>((q >> (8 * c)) & 255));
                if (d > worst) {
                    worst = d;
                    if (atX) {
                        *atX = x;
                    }
                    if (atY) {
                        *atY = y;
                    }
                }
            }
        }
    }
    return worst;
}

bool ReadPng(const std::string& path, Picture* out)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        return false;
    }
    image.format = PNG_FORMAT_BGRA; // little-endian ARGB words
    out->width = static_cast<int>(image.width);
    out->height = static_cast<int>(image.height);
    out->argb.resize(static_cast<size_t>(image.width) * image.height);
    const bool ok = png_image_finish_read(&image, nullptr, out->argb.data(), 0, nullptr) != 0;
    png_image_free(&image);
    return ok;
}

bool WritePng(const std::string& path, const Picture& picture)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.width);
    image.height = static_cast<png_uint_32>(picture.height);
    image.format = PNG_FORMAT_BGRA;
    return png_image_write_to_file(&image, path.c_str(), 0, picture.argb.data(), 0, nullptr) != 0;
}

void ExpectGolden(const Picture& picture, const std::string& name, int tolerance, bool withAlpha)
{
    const std::filesystem::path path = GoldenFolder() / (name + ".png");
    Picture stored = picture;
    if (!withAlpha) {
        for (uint32_t& p : stored.argb) {
            p |= 0xFF000000u;
        }
    }
    const char* update = std::getenv("QUILL_UPDATE_GOLDEN");
    if (update && std::strcmp(update, "1") == 0) {
        std::filesystem::create_directories(path.parent_path());
        ASSERT_TRUE(WritePng(path.string(), stored)) << path;
        return;
    }
    Picture golden;
    ASSERT_TRUE(ReadPng(path.string(), &golden))
        << "missing golden " << path << " (run with QUILL_UPDATE_GOLDEN=1 to make it)";
    int x = 0, y = 0;
    const int diff = MaxDifference(stored, golden, withAlpha, &x, &y);
    EXPECT_LE(diff, tolerance) << name << ": differs by " << diff << " at (" << x << ", " << y << "): got 0x"
                               << std::hex << stored.At(x, y) << ", golden 0x" << golden.At(x, y);
}

} // namespace QuillTest

namespace QuillTest {

namespace {

std::vector<uint32_t> Pattern(int w, int h, uint32_t (*fn)(int, int))
{
    std::vector<uint32_t> px(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            px[static_cast<size_t>(y) * w + x] = fn(x, y);
        }
    }
    return px;
}

void Begin(D3dPainter& p, uint32_t clearColor)
{
    IDevice* d = p.Device();
    ASSERT_EQ(d->Clear(0, nullptr, ClearTarget | ClearZBuffer, clearColor, 1.0f, 0), kOk);
    ASSERT_EQ(d->BeginScene(), kOk);
    p.SpriteStates();
}

void BlendModes(D3dPainter& p)
{
    // 8x8 texture: red to yellow across, alpha rising across (0, 36, .. 252).
    ITexture* tex = p.MakeTexture(8, 8, Pattern(8, 8, [](int x, int y) {
                                      return Argb(static_cast<uint32_t>(x * 36), 255, static_cast<uint32_t>(x * 32),
                                                  static_cast<uint32_t>(y * 20));
                                  }));
    Begin(p, Argb(255, 0x33, 0x66, 0x99));
    IDevice* d = p.Device();
    d->SetTexture(0, tex);
    // Row 1: no blending (alpha ignored), alpha blending, additive.
    d->SetRenderState(RsAlphaTestEnable, 0);
    d->SetRenderState(RsAlphaBlendEnable, 0);
    p.Rect(-0.5f, -0.5f, 31.5f, 31.5f, 0xFFFFFFFF);
    d->SetRenderState(RsAlphaTestEnable, 1);
    d->SetRenderState(RsAlphaBlendEnable, 1);
    p.Rect(31.5f, -0.5f, 63.5f, 31.5f, 0xFFFFFFFF);
    d->SetRenderState(RsDestBlend, BlendOne);
    p.Rect(63.5f, -0.5f, 95.5f, 31.5f, 0xFFFFFFFF);
    d->SetRenderState(RsDestBlend, BlendInvSrcAlpha);
    // Row 2: vertex colours only (Gouraud), texture factor only, texture × a coloured diffuse.
    d->SetTextureStageState(0, TssColorOp, TopSelectArg2);
    d->SetTextureStageState(0, TssAlphaOp, TopSelectArg2);
    const D3dVertex shaded[4] = {{-0.5f, 63.5f, 0.5f, 0.5f, 0xFF0000FF, 0, 1},
                                 {31.5f, 63.5f, 0.5f, 0.5f, 0xFF00FF00, 1, 1},
                                 {31.5f, 31.5f, 0.5f, 0.5f, 0x80FF0000, 1, 0},
                                 {-0.5f, 31.5f, 0.5f, 0.5f, 0xFFFFFFFF, 0, 0}};
    p.Quad(shaded);
    d->SetTextureStageState(0, TssColorOp, TopSelectArg1);
    d->SetTextureStageState(0, TssColorArg1, TaTFactor);
    d->SetTextureStageState(0, TssAlphaOp, TopSelectArg1);
    d->SetTextureStageState(0, TssAlphaArg1, TaTFactor);
    d->SetRenderState(RsTextureFactor, 0x80FF8000);
    p.Rect(31.5f, 31.5f, 63.5f, 63.5f, 0xFFFFFFFF);
    p.SpriteStates();
    p.Rect(63.5f, 31.5f, 95.5f, 63.5f, 0xC0FF8040);
    d->SetTexture(0, nullptr);
    d->EndScene();
}

void AlphaTest(D3dPainter& p)
{
    ITexture* tex = p.MakeTexture(
        16, 1, Pattern(16, 1, [](int x, int) { return Argb(static_cast<uint32_t>(x * 17), 255, 255, 255); }));
    Begin(p, Argb(255, 0, 0, 0));
    IDevice* d = p.Device();
    d->SetTexture(0, tex);
    d->SetRenderState(RsAlphaBlendEnable, 0);
    d->SetRenderState(RsAlphaRef, 0x80);
    p.Rect(-0.5f, -0.5f, 63.5f, 15.5f, 0xFFFFFFFF); // 4 pixels per texel
    d->SetRenderState(RsAlphaFunc, CmpLess);
    p.Rect(-0.5f, 15.5f, 63.5f, 31.5f, 0xFF00FF00);
    // Only alpha 0 turned away, under additive blending: the white of the transparent texels
    // must not be added.
    d->SetRenderState(RsAlphaRef, 1);
    d->SetRenderState(RsAlphaFunc, CmpGreaterEqual);
    d->SetRenderState(RsAlphaBlendEnable, 1);
    d->SetRenderState(RsSrcBlend, BlendOne);
    d->SetRenderState(RsDestBlend, BlendOne);
    p.Rect(-0.5f, 31.5f, 63.5f, 47.5f, 0xFF204060);
    d->SetTexture(0, nullptr);
    d->EndScene();
}

void ZMasks(D3dPainter& p)
{
    // A disc of opaque texels on a transparent field.
    ITexture* disc =
        p.MakeTexture(16, 16, Pattern(16, 16, [](int x, int y) {
                          const int dx = 2 * x - 15, dy = 2 * y - 15;
                          return dx * dx + dy * dy <= 196 ? Argb(255, 255, 255, 255) : Argb(0, 255, 255, 255);
                      }));
    Begin(p, Argb(255, 0x20, 0x20, 0x20));
    IDevice* d = p.Device();
    // Masking layer: depth 0.4 where its texels are opaque, colour untouched.
    d->SetTexture(0, disc);
    d->SetRenderState(RsSrcBlend, BlendZero);
    d->SetRenderState(RsDestBlend, BlendOne);
    d->SetRenderState(RsZEnable, 1);
    d->SetRenderState(RsZWriteEnable, 1);
    d->SetRenderState(RsZFunc, CmpAlways);
    p.Rect(-0.5f, -0.5f, 63.5f, 63.5f, 0xFFFFFFFF, 0.4f);
    d->SetTexture(0, nullptr);
    d->SetRenderState(RsSrcBlend, BlendSrcAlpha);
    d->SetRenderState(RsDestBlend, BlendInvSrcAlpha);
    d->SetRenderState(RsZWriteEnable, 0);
    d->SetTextureStageState(0, TssColorOp, TopSelectArg2);
    d->SetTextureStageState(0, TssAlphaOp, TopSelectArg2);
    // Masked in (GREATER): only over the disc. Masked out (LESS): only outside it.
    d->SetRenderState(RsZFunc, CmpGreater);
    p.Rect(-0.5f, -0.5f, 31.5f, 63.5f, 0xFFFF0000);
    d->SetRenderState(RsZFunc, CmpLess);
    p.Rect(31.5f, -0.5f, 63.5f, 63.5f, 0xFF00FF00);
    // After a depth clear a masked-in quad shows nowhere.
    d->Clear(0, nullptr, ClearZBuffer, 0, 1.0f, 0);
    d->SetRenderState(RsZFunc, CmpGreater);
    p.Rect(-0.5f, 36.5f, 63.5f, 46.5f, 0xFF0000FF);
    // A mask drawn as a sprite (blended, alpha test on) writes depth only where its texels show.
    d->SetTexture(0, disc);
    d->SetTextureStageState(0, TssColorOp, TopModulate);
    d->SetTextureStageState(0, TssAlphaOp, TopModulate);
    d->SetRenderState(RsZWriteEnable, 1);
    d->SetRenderState(RsZFunc, CmpAlways);
    p.Rect(-0.5f, 47.5f, 63.5f, 63.5f, 0xFFFFFFFF, 0.4f);
    d->SetTexture(0, nullptr);
    d->SetTextureStageState(0, TssColorOp, TopSelectArg2);
    d->SetTextureStageState(0, TssAlphaOp, TopSelectArg2);
    d->SetRenderState(RsZWriteEnable, 0);
    d->SetRenderState(RsZFunc, CmpGreater);
    p.Rect(-0.5f, 47.5f, 63.5f, 63.5f, 0xFF0000FF);
    d->EndScene();
}

// Depth clears made while another target is bound, and clears of parts of the depth buffer one
// after another, hold for the masked quads drawn after them (the depth buffer is shared).
void ZClearsAcrossTargets(D3dPainter& p)
{
    Begin(p, Argb(255, 0x20, 0x20, 0x20));
    IDevice* d = p.Device();
    ITexture* target = nullptr;
    ISurface* level = nullptr;
    ISurface* back = nullptr;
    ASSERT_EQ(d->CreateTexture(64, 64, 1, UsageRenderTarget, FmtA8R8G8B8, PoolDefault, &target), kOk);
    ASSERT_EQ(target->GetSurfaceLevel(0, &level), kOk);
    ASSERT_EQ(d->GetBackBuffer(0, 0, BackBufferMono, &back), kOk);
    d->SetTextureStageState(0, TssColorOp, TopSelectArg2);
    d->SetTextureStageState(0, TssAlphaOp, TopSelectArg2);
    d->SetRenderState(RsZEnable, 1);
    d->SetRenderState(RsZWriteEnable, 0);
    d->SetRenderState(RsZFunc, CmpGreater);
    // Depth 0 everywhere, cleared with the texture bound: a quad at 0.5 shows on the back buffer.
    d->SetRenderTarget(0, level);
    d->Clear(0, nullptr, ClearZBuffer, 0, 0.0f, 0);
    d->SetRenderTarget(0, back);
    p.Rect(-0.5f, -0.5f, 31.5f, 63.5f, 0xFFFF0000, 0.5f);
    // The top half back to 1, then the left half to 0: a quad over the right half shows only below.
    const QuillD3D::Rect top{0, 0, 64, 32}, left{0, 0, 32, 64};
    d->Clear(1, &top, ClearZBuffer, 0, 1.0f, 0);
    d->Clear(1, &left, ClearZBuffer, 0, 0.0f, 0);
    p.Rect(31.5f, -0.5f, 63.5f, 63.5f, 0xFF0000FF, 0.5f);
    d->EndScene();
    back->Release();
    level->Release();
    target->Release();
}

void HalfPixelEdges(D3dPainter& p)
{
    Begin(p, Argb(255, 0, 0, 0));
    IDevice* d = p.Device();
    d->SetTextureStageState(0, TssColorOp, TopSelectArg2);
    d->SetTextureStageState(0, TssAlphaOp, TopSelectArg2);
    // The batcher's half-pixel quad over (0, 0)-(100, 100): corners at -0.5 and 99.5.
    p.Rect(-0.5f, -0.5f, 99.5f, 99.5f, 0xFFFFFFFF);
    // Edges through pixel centres: the left and top ones count, the right and bottom ones do not.
    p.Rect(102.0f, 10.0f, 110.0f, 20.0f, 0xFFFF0000);
    p.Rect(110.0f, 20.0f, 118.0f, 30.0f, 0xFF00FF00);
    // A quad rotated by 45 degrees whose corners lie on pixel centres.
    const D3dVertex diamond[4] = {{110.0f, 40.0f, 0.5f, 0.5f, 0xFF0000FF, 0, 0},
                                  {118.0f, 48.0f, 0.5f, 0.5f, 0xFF0000FF, 0, 0},
                                  {110.0f, 56.0f, 0.5f, 0.5f, 0xFF0000FF, 0, 0},
                                  {102.0f, 48.0f, 0.5f, 0.5f, 0xFF0000FF, 0, 0}};
    p.Quad(diamond);
    d->EndScene();
}

void LineList(D3dPainter& p)
{
    Begin(p, Argb(255, 0, 0, 0));
    IDevice* d = p.Device();
    d->SetTextureStageState(0, TssColorOp, TopSelectArg2);
    d->SetTextureStageState(0, TssAlphaOp, TopSelectArg2);
    p.Lines({{2, 2, 0.5f, 0.5f, 0xFFFFFFFF, 0, 0},
             {60, 2, 0.5f, 0.5f, 0xFFFFFFFF, 0, 0},
             {2, 6, 0.5f, 0.5f, 0xFFFF0000, 0, 0},
             {2, 60, 0.5f, 0.5f, 0xFF0000FF, 0, 0},
             {6, 6, 0.5f, 0.5f, 0xFF00FF00, 0, 0},
             {58, 30, 0.5f, 0.5f, 0xFF00FF00, 0, 0},
             {60, 60, 0.5f, 0.5f, 0xFFFFFF00, 0, 0},
             {10, 40, 0.5f, 0.5f, 0xFFFFFF00, 0, 0}});
    d->EndScene();
}

void RotatedBilinear(D3dPainter& p)
{
    ITexture* tex = p.MakeTexture(16, 16, Pattern(16, 16, [](int x, int y) {
                                      const bool on = ((x / 4) + (y / 4)) % 2 == 0;
                                      return on ? Argb(255, 240, static_cast<uint32_t>(x * 15), 40)
                                                : Argb(255, 20, 60, static_cast<uint32_t>(y * 15));
                                  }));
    Begin(p, Argb(255, 0x10, 0x30, 0x10));
    IDevice* d = p.Device();
    d->SetTexture(0, tex);
    for (uint32_t s : {SampMagFilter, SampMinFilter}) {
        d->SetSamplerState(0, s, FilterLinear);
    }
    const float c = 0.8660254f, sn = 0.5f, half = 20.0f, cx = 32.0f, cy = 32.0f;
    const float corners[4][2] = {{-1, 1}, {1, 1}, {1, -1}, {-1, -1}};
    const float uv[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
    D3dVertex q[4];
    for (int i = 0; i < 4; ++i) {
        const float lx = corners[i][0] * half, ly = corners[i][1] * half;
        q[i] = {cx + lx * c - ly * sn + 0.3f, cy + lx * sn + ly * c + 0.2f, 0.5f, 0.5f, 0xC0FFFFFF, uv[i][0], uv[i][1]};
    }
    p.Quad(q);
    d->SetTexture(0, nullptr);
    d->EndScene();
}

void CullingAndStrips(D3dPainter& p)
{
    Begin(p, Argb(255, 0, 0, 0));
    IDevice* d = p.Device();
    d->SetTextureStageState(0, TssColorOp, TopSelectArg2);
    d->SetTextureStageState(0, TssAlphaOp, TopSelectArg2);
    // Clockwise on screen (y down): (4, 4) -> (28, 4) -> (4, 28); the others run counter-clockwise.
    const D3dVertex cw[3] = {{4, 4, 0.5f, 0.5f, 0xFFFF0000, 0, 0},
                             {28, 4, 0.5f, 0.5f, 0xFFFF0000, 0, 0},
                             {4, 28, 0.5f, 0.5f, 0xFFFF0000, 0, 0}};
    const D3dVertex ccw[3] = {{36, 4, 0.5f, 0.5f, 0xFF00FF00, 0, 0},
                              {36, 28, 0.5f, 0.5f, 0xFF00FF00, 0, 0},
                              {60, 4, 0.5f, 0.5f, 0xFF00FF00, 0, 0}};
    IVertexBuffer* vb = nullptr;
    ASSERT_EQ(d->CreateVertexBuffer(16 * sizeof(D3dVertex), UsageWriteOnly, kFvfSprite, PoolManaged, &vb), kOk);
    void* data = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &data, 0), kOk);
    auto* v = static_cast<D3dVertex*>(data);
    std::memcpy(v, cw, sizeof cw);
    std::memcpy(v + 3, ccw, sizeof ccw);
    // A strip of two triangles and a fan of two in the lower half.
    const D3dVertex strip[4] = {{4, 36, 0.5f, 0.5f, 0xFF0000FF, 0, 0},
                                {4, 60, 0.5f, 0.5f, 0xFFFFFFFF, 0, 0},
                                {28, 36, 0.5f, 0.5f, 0xFF0000FF, 0, 0},
                                {28, 60, 0.5f, 0.5f, 0xFFFFFFFF, 0, 0}};
    const D3dVertex fan[4] = {{48, 48, 0.5f, 0.5f, 0xFFFFFF00, 0, 0},
                              {36, 36, 0.5f, 0.5f, 0xFF00FFFF, 0, 0},
                              {60, 36, 0.5f, 0.5f, 0xFF00FFFF, 0, 0},
                              {60, 60, 0.5f, 0.5f, 0xFF00FFFF, 0, 0}};
    std::memcpy(v + 6, strip, sizeof strip);
    std::memcpy(v + 10, fan, sizeof fan);
    vb->Unlock();
    d->SetStreamSource(0, vb, 0, sizeof(D3dVertex));
    d->SetFVF(kFvfSprite);
    d->SetRenderState(RsCullMode, CullCcw); // the red one stays
    EXPECT_EQ(d->DrawPrimitive(PtTriangleList, 0, 2), kOk);
    d->SetRenderState(RsCullMode, CullNone);
    EXPECT_EQ(d->DrawPrimitive(PtTriangleStrip, 6, 2), kOk);
    EXPECT_EQ(d->DrawPrimitive(PtTriangleFan, 10, 2), kOk);
    d->SetRenderState(RsCullMode, CullCw); // culls the red one, keeps the green one, over it in white
    for (int i = 0; i < 6; ++i) {
        v[i].color = 0xFFFFFFFF;
    }
    ASSERT_EQ(vb->Lock(0, 6 * sizeof(D3dVertex), &data, 0), kOk);
    auto* w = static_cast<D3dVertex*>(data);
    std::memcpy(w, cw, sizeof cw);
    std::memcpy(w + 3, ccw, sizeof ccw);
    for (int i = 0; i < 6; ++i) {
        w[i].color = 0xFF808080;
        w[i].y += 2;
    }
    vb->Unlock();
    EXPECT_EQ(d->DrawPrimitive(PtTriangleList, 0, 2), kOk);
    d->SetStreamSource(0, nullptr, 0, 0);
    vb->Release();
    d->SetRenderState(RsCullMode, CullNone);
    d->EndScene();
}

void TextureUpdates(D3dPainter& p)
{
    // Never locked: reads as zero. Locked in part: the rest reads as zero. Changed in part after
    // a draw: the draw before keeps the old texels, the draw after shows the new ones.
    IDevice* d = p.Device();
    ITexture* blank = nullptr;
    ITexture* part = nullptr;
    ASSERT_EQ(d->CreateTexture(8, 8, 1, 0, FmtA8R8G8B8, PoolManaged, &blank), kOk);
    ASSERT_EQ(d->CreateTexture(8, 8, 1, 0, FmtA8R8G8B8, PoolManaged, &part), kOk);
    const auto fill = [](ITexture* t, const Rect& r, uint32_t argb) {
        LockedRect lr;
        ASSERT_EQ(t->LockRect(0, &lr, &r, 0), kOk);
        for (int y = 0; y < r.bottom - r.top; ++y) {
            for (int x = 0; x < r.right - r.left; ++x) {
                reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(lr.bits) + y * lr.pitch)[x] = argb;
            }
        }
        t->UnlockRect(0);
    };
    fill(part, Rect{2, 2, 6, 6}, 0xFFFFFFFF);
    ITexture* changed =
        p.MakeTexture(8, 8, Pattern(8, 8, [](int x, int y) {
                          return Argb(255, 0, static_cast<uint32_t>(x * 32), static_cast<uint32_t>(y * 32));
                      }));
    Begin(p, Argb(255, 0x33, 0x66, 0x99));
    d->SetRenderState(RsAlphaTestEnable, 0);
    d->SetRenderState(RsAlphaBlendEnable, 0);
    d->SetTexture(0, blank);
    p.Rect(-0.5f, -0.5f, 31.5f, 31.5f, 0xFFFFFFFF);
    d->SetTexture(0, part);
    p.Rect(31.5f, -0.5f, 63.5f, 31.5f, 0xFFFFFFFF);
    d->SetTexture(0, changed);
    p.Rect(-0.5f, 31.5f, 31.5f, 63.5f, 0xFFFFFFFF);
    fill(changed, Rect{0, 0, 4, 4}, 0xFFFF0000);
    p.Rect(31.5f, 31.5f, 63.5f, 63.5f, 0xFFFFFFFF);
    d->SetTexture(0, nullptr);
    d->EndScene();
    blank->Release();
    part->Release();
}

} // namespace

const std::vector<std::string>& SceneNames()
{
    static const std::vector<std::string> names = {"blend_modes",      "alpha_test",      "z_masks",
                                                   "half_pixel_edges", "line_list",       "rotated_bilinear",
                                                   "culling_strips",   "texture_updates", "z_clears_across_targets"};
    return names;
}

void SceneSize(const std::string& name, int* width, int* height)
{
    *width = 64;
    *height = 64;
    if (name == "blend_modes") {
        *width = 96;
    } else if (name == "alpha_test") {
        *height = 48;
    } else if (name == "half_pixel_edges") {
        *width = *height = 128;
    }
}

void DrawScene(const std::string& name, D3dPainter& painter)
{
    if (name == "blend_modes") {
        BlendModes(painter);
    } else if (name == "alpha_test") {
        AlphaTest(painter);
    } else if (name == "z_masks") {
        ZMasks(painter);
    } else if (name == "z_clears_across_targets") {
        ZClearsAcrossTargets(painter);
    } else if (name == "half_pixel_edges") {
        HalfPixelEdges(painter);
    } else if (name == "line_list") {
        LineList(painter);
    } else if (name == "rotated_bilinear") {
        RotatedBilinear(painter);
    } else if (name == "culling_strips") {
        CullingAndStrips(painter);
    } else if (name == "texture_updates") {
        TextureUpdates(painter);
    } else {
        ADD_FAILURE() << "no scene " << name;
    }
}

} // namespace QuillTest
