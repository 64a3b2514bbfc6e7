// The quad batcher on the software device: runs and draw calls, every blend preset and the mask
// flags read back from the target, missing textures, and the pending run across frames.

#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/graphics/render/RenderManagerContext.h"
#include "engine/graphics/scene/UserInterface.h"
#include "tests/graphics/render/TextureTestSupport.h"

using namespace QuillEngine;
using namespace QuillD3D;
using QuillTest::RectTransform;

namespace {

// Passes every call on to the renderer's context and records the draws and depth clears.
class WatchingContext final : public IRenderManagerContext {
public:
    explicit WatchingContext(IRenderManagerContext& inner) : inner_(inner) {}

    struct Draw {
        int32_t baseVertex;
        uint32_t vertexCount, primitiveCount;
    };
    std::vector<Draw> draws;
    std::vector<uint32_t> clears;
    std::vector<Rect> clearRects;

    void SetForce(bool force) override { inner_.SetForce(force); }
    Result SetFVF(uint32_t fvf) override { return inner_.SetFVF(fvf); }
    Result SetIndices(IIndexBuffer* b) override { return inner_.SetIndices(b); }
    Result SetStreamSource(uint32_t s, IVertexBuffer* b, uint32_t o, uint32_t st) override
    {
        return inner_.SetStreamSource(s, b, o, st);
    }
    Result SetPixelShader(IPixelShader* s) override { return inner_.SetPixelShader(s); }
    Result SetPixelShaderConstantF(uint32_t f, const float* d, uint32_t n) override
    {
        return inner_.SetPixelShaderConstantF(f, d, n);
    }
    Result SetVertexShader(IVertexShader* s) override { return inner_.SetVertexShader(s); }
    Result SetVertexShaderConstantF(uint32_t f, const float* d, uint32_t n) override
    {
        return inner_.SetVertexShaderConstantF(f, d, n);
    }
    Result SetRenderState(uint32_t s, uint32_t v) override { return inner_.SetRenderState(s, v); }
    Result SetSamplerState(uint32_t s, uint32_t t, uint32_t v) override { return inner_.SetSamplerState(s, t, v); }
    Result SetTexture(uint32_t stage, ITexture* t) override { return inner_.SetTexture(stage, t); }
    Result SetTextureStageState(uint32_t s, uint32_t t, uint32_t v) override
    {
        return inner_.SetTextureStageState(s, t, v);
    }
    Result SetTransform(uint32_t slot, const Transform2D* m) override { return inner_.SetTransform(slot, m); }
    Result GetTransform(uint32_t slot, Transform2D* m) const override { return inner_.GetTransform(slot, m); }
    Result DrawPrimitive(PrimitiveType type, uint32_t start, uint32_t count) override
    {
        return inner_.DrawPrimitive(type, start, count);
    }
    Result DrawIndexedPrimitive(PrimitiveType type, int32_t base, uint32_t minIndex, uint32_t vertexCount,
                                uint32_t startIndex, uint32_t primitiveCount) override
    {
        draws.push_back({base, vertexCount, primitiveCount});
        return inner_.DrawIndexedPrimitive(type, base, minIndex, vertexCount, startIndex, primitiveCount);
    }
    Result Clear(uint32_t n, const Rect* rects, uint32_t flags, uint32_t color, float z, uint32_t stencil) override
    {
        clears.push_back(flags);
        clearRects.push_back(n ? rects[0] : Rect{0, 0, 0, 0}); // none: the whole target
        return inner_.Clear(n, rects, flags, color, z, stencil);
    }

private:
    IRenderManagerContext& inner_;
};

constexpr uint32_t kBackground = 0xFF404040u;

int Channel(uint32_t argb, int shift)
{
    return int((argb >> shift) & 0xFF);
}

// Whether two colours agree within `tolerance` on red, green and blue.
bool Close(uint32_t a, uint32_t b, int tolerance = 1)
{
    for (int shift : {0, 8, 16}) {
        if (std::abs(Channel(a, shift) - Channel(b, shift)) > tolerance)
            return false;
    }
    return true;
}

class QuadBatcherTest : public QuillTest::TextureRendererTest {
protected:
    void SetUp() override
    {
        TextureRendererTest::SetUp();
        watch = std::make_unique<WatchingContext>(*renderer->GetContext());
        Batcher().SetContext(watch.get());
    }
    void TearDown() override
    {
        if (renderer && renderer->GetBatcher())
            Batcher().SetContext(nullptr);
        TextureRendererTest::TearDown();
    }

    void Quad(float x0, float y0, float x1, float y1, uint32_t texture, uint32_t color, uint32_t mode,
              bool filter = false, bool halfPixel = false)
    {
        Batcher().DrawQuad(RectTransform(x0, y0, x1, y1), {}, texture, color, mode, filter, halfPixel);
    }

    std::unique_ptr<WatchingContext> watch;
};

TEST_F(QuadBatcherTest, RunsOfOneStateShareADrawOfAtMostAThousandQuads)
{
    const uint32_t white = SolidTexture(4, 4, 0xFFFFFFFFu, 0xFFFFFFFFu);
    const uint32_t red = SolidTexture(4, 4, 0xFFFF0000u, 0xFFFF0000u);
    BeginScene(kBackground);
    for (int i = 0; i < 1001; ++i)
        Quad(float(i % 40), 0, float(i % 40) + 2, 2, white, 0xFFFFFFFFu, QuadBatcher::kAlpha);
    EndScene();
    ASSERT_EQ(watch->draws.size(), 2u);
    EXPECT_EQ(watch->draws[0].primitiveCount, 2000u);
    EXPECT_EQ(watch->draws[0].vertexCount, 4000u);
    EXPECT_EQ(watch->draws[1].primitiveCount, 2u);
    EXPECT_EQ(Batcher().PendingVertices(), 0u);
    // The CPU array grew in steps of 32 quads up to what one run holds, and keeps its size.
    EXPECT_EQ(Batcher().VertexArrayCapacity(), 64u + 128u * 31u);

    watch->draws.clear();
    BeginScene(kBackground);
    for (int i = 0; i < 10; ++i)
        Quad(0, 0, 2, 2, i % 2 ? red : white, 0xFFFFFFFFu, QuadBatcher::kAlpha);
    EndScene();
    EXPECT_EQ(watch->draws.size(), 10u);

    // A change of filter or of mode flags also starts a run; the same state joins it.
    watch->draws.clear();
    BeginScene(kBackground);
    Quad(0, 0, 2, 2, white, 0xFFFFFFFFu, QuadBatcher::kAlpha);
    Quad(0, 0, 2, 2, white, 0xFF00FF00u, QuadBatcher::kAlpha); // colour is per vertex: same run
    Quad(0, 0, 2, 2, white, 0xFFFFFFFFu, QuadBatcher::kAlpha, true);
    Quad(0, 0, 2, 2, white, 0xFFFFFFFFu, QuadBatcher::kAlpha | QuadBatcher::kMaskedOut, true);
    EndScene();
    ASSERT_EQ(watch->draws.size(), 3u);
    EXPECT_EQ(watch->draws[0].primitiveCount, 4u);
}

TEST_F(QuadBatcherTest, EveryBlendPresetBlendsAsItsTableSays)
{
    // Left half: red at alpha 0x80; right half: green with alpha 0.
    const uint32_t tex = SolidTexture(4, 4, 0x80FF0000u, 0x0000FF00u);
    BeginScene(kBackground);
    // Quads 20 px high in rows; the texture's halves split each quad at x = 10 + 20.
    Quad(10, 0, 50, 20, tex, 0xFFFFFFFFu, QuadBatcher::kNoBlend);
    Quad(10, 20, 50, 40, tex, 0xFFFFFFFFu, QuadBatcher::kAlpha);
    Quad(10, 40, 50, 60, tex, 0xFFFFFFFFu, QuadBatcher::kAdditive);
    Quad(10, 60, 50, 80, tex, 0x800000FFu, QuadBatcher::kNoTexture); // the texture is ignored
    Quad(10, 80, 50, 100, tex, 0xFFFFFFFFu, QuadBatcher::kMaskLayer);
    Quad(10, 100, 50, 120, tex, 0xFFFFFFFFu, QuadBatcher::kDebug);
    Quad(10, 120, 50, 140, tex, 0x80FFFFFFu, QuadBatcher::kAlpha); // vertex alpha modulates
    EndScene();
    const auto pic = ReadTarget();
    const uint32_t half = 0x40 + (0xFF - 0x40) * 0x80 / 0xFF; // 0x80 of 0xFF over 0x40

    // NoBlend: texel colours as they are, even the fully transparent ones.
    EXPECT_TRUE(Close(pic.At(20, 10), 0xFFFF0000u)) << std::hex << pic.At(20, 10);
    EXPECT_TRUE(Close(pic.At(40, 10), 0xFF00FF00u)) << std::hex << pic.At(40, 10);
    // Alpha: half red over grey; the transparent half fails the alpha test.
    EXPECT_TRUE(Close(pic.At(20, 30), 0xFF000000u | half << 16 | 0x20 << 8 | 0x20)) << std::hex << pic.At(20, 30);
    EXPECT_EQ(pic.At(40, 30), kBackground);
    // Additive: grey plus half red.
    EXPECT_TRUE(Close(pic.At(20, 50), 0xFFC04040u)) << std::hex << pic.At(20, 50);
    EXPECT_EQ(pic.At(40, 50), kBackground);
    // NoTexture: the vertex colour alone, blended by its own alpha, over both halves.
    EXPECT_TRUE(Close(pic.At(20, 70), 0xFF20209Fu)) << std::hex << pic.At(20, 70);
    EXPECT_EQ(pic.At(20, 70), pic.At(40, 70));
    // MaskLayer: the colour stays as it was.
    EXPECT_EQ(pic.At(20, 90), kBackground);
    EXPECT_EQ(pic.At(40, 90), kBackground);
    // Debug: white at alpha 0x20 over the whole quad, whatever the texture.
    const int debug = 0x40 + (0xFF - 0x40) * 0x20 / 0xFF;
    EXPECT_TRUE(Close(pic.At(20, 110), 0xFF000000u | uint32_t(debug) * 0x010101u)) << std::hex << pic.At(20, 110);
    EXPECT_EQ(pic.At(20, 110), pic.At(40, 110));
    // Texel alpha 0x80 times vertex alpha 0x80: a quarter of red.
    EXPECT_TRUE(Close(pic.At(20, 130), 0xFF000000u | uint32_t(0x40 + (0xFF - 0x40) * 0x40 / 0xFF) << 16 | 0x3030, 2))
        << std::hex << pic.At(20, 130);
    // Outside every quad.
    EXPECT_EQ(pic.At(5, 10), kBackground);
}

TEST_F(QuadBatcherTest, MaskLayersLimitMaskedQuadsUntilTheScopeEnds)
{
    // The mask's left half is opaque, its right half transparent.
    const uint32_t mask = SolidTexture(4, 4, 0xFFFFFFFFu, 0x00FFFFFFu);
    const uint32_t solid = SolidTexture(4, 4, 0xFFFFFFFFu, 0xFFFFFFFFu);
    BeginScene(kBackground);
    Quad(0, 0, 40, 20, mask, 0xFFFFFFFFu, QuadBatcher::kMaskLayer);
    Quad(0, 0, 40, 10, solid, 0xFFFF0000u, QuadBatcher::kAlpha | QuadBatcher::kMaskedIn);
    Quad(0, 10, 40, 20, solid, 0xFF00FF00u, QuadBatcher::kAlpha | QuadBatcher::kMaskedOut | QuadBatcher::kEndMask);
    // The scope has ended: masked-in quads show nowhere, masked-out ones everywhere.
    Quad(0, 20, 40, 30, solid, 0xFFFF0000u, QuadBatcher::kAlpha | QuadBatcher::kMaskedIn);
    Quad(0, 30, 40, 40, solid, 0xFF0000FFu, QuadBatcher::kAlpha | QuadBatcher::kMaskedOut);
    // Quads without flags ignore the mask.
    Quad(0, 40, 40, 50, solid, 0xFFFFFF00u, QuadBatcher::kAlpha);
    EndScene();
    const auto pic = ReadTarget();

    EXPECT_EQ(pic.At(10, 5), 0xFFFF0000u);  // masked in, inside the mask
    EXPECT_EQ(pic.At(30, 5), kBackground);  // masked in, outside
    EXPECT_EQ(pic.At(10, 15), kBackground); // masked out, inside
    EXPECT_EQ(pic.At(30, 15), 0xFF00FF00u); // masked out, outside
    EXPECT_EQ(pic.At(10, 25), kBackground); // after the scope: masked in shows nowhere
    EXPECT_EQ(pic.At(30, 25), kBackground);
    EXPECT_EQ(pic.At(10, 35), 0xFF0000FFu); // masked out everywhere
    EXPECT_EQ(pic.At(30, 35), 0xFF0000FFu);
    EXPECT_EQ(pic.At(10, 45), 0xFFFFFF00u);
    EXPECT_EQ(pic.At(30, 45), 0xFFFFFF00u);
    ASSERT_EQ(watch->clears.size(), 1u);
    EXPECT_EQ(watch->clears[0], uint32_t(ClearZBuffer));
    // Only what the masking layer covered, a pixel beyond on each side.
    EXPECT_EQ(watch->clearRects[0].left, -1);
    EXPECT_EQ(watch->clearRects[0].top, -1);
    EXPECT_EQ(watch->clearRects[0].right, 41);
    EXPECT_EQ(watch->clearRects[0].bottom, 21);
}

TEST_F(QuadBatcherTest, AScopeClearsWhatItsMaskingLayersCoveredAndNothingWithoutOne)
{
    const uint32_t solid = SolidTexture(4, 4, 0xFFFFFFFFu, 0xFFFFFFFFu);
    BeginScene(kBackground);
    // Two masking layers apart: the clear spans both.
    Quad(10, 10, 20, 20, solid, 0xFFFFFFFFu, QuadBatcher::kMaskLayer);
    Quad(50, 30, 60, 35, solid, 0xFFFFFFFFu, QuadBatcher::kMaskLayer);
    Quad(0, 0, 80, 40, solid, 0xFFFF0000u, QuadBatcher::kAlpha | QuadBatcher::kMaskedIn | QuadBatcher::kEndMask);
    // A scope with no masking layer has no depth to clear.
    Quad(0, 50, 80, 60, solid, 0xFF00FF00u, QuadBatcher::kAlpha | QuadBatcher::kMaskedOut | QuadBatcher::kEndMask);
    // Depth a canvas wrote is out of sight: the next scope clears everything.
    Batcher().NoteUnknownMaskArea();
    Quad(0, 60, 80, 70, solid, 0xFF0000FFu, QuadBatcher::kAlpha | QuadBatcher::kMaskedIn | QuadBatcher::kEndMask);
    EndScene();
    ASSERT_EQ(watch->clearRects.size(), 2u);
    EXPECT_EQ(watch->clearRects[0].left, 9);
    EXPECT_EQ(watch->clearRects[0].top, 9);
    EXPECT_EQ(watch->clearRects[0].right, 61);
    EXPECT_EQ(watch->clearRects[0].bottom, 36);
    EXPECT_EQ(watch->clearRects[1].right, 0) << "the whole target";
    // After the first scope's clear no depth is left: masked-out quads show everywhere.
    const auto pic = ReadTarget();
    EXPECT_EQ(pic.At(15, 15), 0xFFFF0000u);
    EXPECT_EQ(pic.At(30, 15), kBackground);
    EXPECT_EQ(pic.At(15, 55), 0xFF00FF00u);
    EXPECT_EQ(pic.At(55, 55), 0xFF00FF00u);
}

TEST_F(QuadBatcherTest, AStaleHandleDrawsAnOpaqueMagentaQuadOfTheSameShape)
{
    const uint32_t tex = SolidTexture(4, 4, 0x00000000u, 0x00000000u);
    const uint32_t stale = tex + 1000;
    Transform2D turned = Transform2D::Rotation(0.7853982f); // 45 degrees
    turned.m11 *= 40;
    turned.m12 *= 40;
    turned.m21 *= 40;
    turned.m22 *= 40;
    turned.m31 = 50;
    turned.m32 = 50;
    BeginScene(kBackground);
    Batcher().DrawQuad(turned, {}, stale, 0x10203040u, QuadBatcher::kAdditive | QuadBatcher::kMaskedIn, true, false);
    EndScene();
    const auto pic = ReadTarget();
    EXPECT_EQ(pic.At(50, 50), QuadBatcher::kMissingTextureColor);
    EXPECT_EQ(pic.At(50, 25), QuadBatcher::kMissingTextureColor); // a diamond: its top point is at y = 21.7
    EXPECT_EQ(pic.At(25, 25), kBackground);                       // the square's corner is outside
    EXPECT_EQ(pic.At(50, 20), kBackground);
}

TEST_F(QuadBatcherTest, HalfPixelAndFilterFlags)
{
    const uint32_t white = SolidTexture(4, 4, 0xFFFFFFFFu, 0xFFFFFFFFu);
    BeginScene(0xFF000000u);
    // (10.5, 0.5)-(20.5, 4.5) moved by half a pixel covers the centres 10..19; unmoved, 11..20.
    Quad(10.5f, 0.5f, 20.5f, 4.5f, white, 0xFFFFFFFFu, QuadBatcher::kAlpha, false, true);
    Quad(10.5f, 10.5f, 20.5f, 14.5f, white, 0xFFFFFFFFu, QuadBatcher::kAlpha, false, false);
    EndScene();
    auto pic = ReadTarget();
    EXPECT_EQ(pic.At(10, 2), 0xFFFFFFFFu);
    EXPECT_EQ(pic.At(19, 2), 0xFFFFFFFFu);
    EXPECT_EQ(pic.At(20, 2), 0xFF000000u);
    EXPECT_EQ(pic.At(10, 12), 0xFF000000u);
    EXPECT_EQ(pic.At(20, 12), 0xFFFFFFFFu);

    // A texture black on the left, white on the right, stretched over 64 pixels: point sampling
    // keeps two colours, bilinear filtering ramps between them.
    const uint32_t split = SolidTexture(2, 2, 0xFF000000u, 0xFFFFFFFFu);
    BeginScene(0xFF000000u);
    Quad(0, 0, 64, 4, split, 0xFFFFFFFFu, QuadBatcher::kNoBlend, false);
    Quad(0, 10, 64, 14, split, 0xFFFFFFFFu, QuadBatcher::kNoBlend, true);
    EndScene();
    pic = ReadTarget();
    EXPECT_EQ(pic.At(31, 2), 0xFF000000u);
    EXPECT_EQ(pic.At(32, 2), 0xFFFFFFFFu);
    const int ramp = Channel(pic.At(32, 12), 0);
    EXPECT_GT(ramp, 0x40);
    EXPECT_LT(ramp, 0xC0);
}

TEST_F(QuadBatcherTest, PendingQuadsHoldTheirTextureAndAreDroppedWhenNotFlushed)
{
    const uint32_t red = SolidTexture(4, 4, 0xFFFF0000u, 0xFFFF0000u);
    ITexture* texture = Texture(red)->GetTexture();
    texture->AddRef();
    const uint32_t refs = texture->AddRef() - 1;
    texture->Release();

    BeginScene(kBackground);
    Quad(0, 0, 20, 20, red, 0xFFFFFFFFu, QuadBatcher::kAlpha);
    EXPECT_EQ(texture->AddRef() - 1, refs + 1); // the pending run holds one
    texture->Release();
    // The resource goes while its quad waits; the quad still draws its texture.
    cache->Release(red);
    EndScene();
    EXPECT_EQ(ReadTarget().At(10, 10), 0xFFFF0000u);

    // Quads queued in a frame that skipped its flush do not reach the next one, and their
    // texture is given back.
    const uint32_t green = SolidTexture(4, 4, 0xFF00FF00u, 0xFF00FF00u);
    watch->draws.clear();
    Quad(0, 0, 20, 20, green, 0xFFFFFFFFu, QuadBatcher::kAlpha);
    EXPECT_EQ(Batcher().PendingVertices(), 4u);
    renderer->RenderFrame(true);
    EXPECT_EQ(Batcher().PendingVertices(), 0u);
    EXPECT_TRUE(watch->draws.empty());
    EXPECT_EQ(PresentedPixel(Device(), 10, 10), 0xFF000000u);

    Batcher().DrawQuad(RectTransform(0, 0, 20, 20), {}, green, 0xFFFFFFFFu, QuadBatcher::kAlpha, false, false);
    Batcher().DropPending();
    Batcher().Flush();
    EXPECT_TRUE(watch->draws.empty());
    // Only our own reference is left on the first texture: the batcher gave its one back.
    EXPECT_EQ(texture->Release(), 0u);
}

TEST_F(QuadBatcherTest, AFlushWhoseVerticesCannotBeWrittenDrawsNothing)
{
    const uint32_t white = SolidTexture(4, 4, 0xFFFFFFFFu, 0xFFFFFFFFu);
    BeginScene(kBackground);
    Quad(0, 0, 20, 20, white, 0xFFFFFFFFu, QuadBatcher::kMaskLayer); // drawn as the next run begins
    Quad(0, 0, 20, 20, white, 0xFFFFFFFFu, QuadBatcher::kAlpha | QuadBatcher::kEndMask);
    Batcher().VertexBuffer()->ReleaseDeviceBuffer(); // as while the device is being rebuilt
    EndScene();
    EXPECT_EQ(watch->draws.size(), 1u); // the masking layer alone
    EXPECT_EQ(Batcher().PendingVertices(), 0u);
    EXPECT_EQ(ReadTarget().At(10, 10), kBackground);
    EXPECT_EQ(watch->clears.size(), 1u); // the mask scope still ends
}

// The same scene of every preset and mask on the software device and on OpenGL.
class QuadBatcherBackendTest : public QuillTest::RendererTest {};

TEST_F(QuadBatcherBackendTest, SoftAndGlDrawTheSameBatchedScene)
{
    if (!IsBackendAvailable(Backend::Gl))
        GTEST_SKIP() << "no OpenGL 3.3 context can be made here";
    constexpr uint32_t kWidth = 400, kHeight = 240;
    std::vector<uint32_t> pictures[2];
    for (int pass = 0; pass < 2; ++pass) {
        ResourceCache cache;
        CRenderManager& r = MakeRenderer();
        const Backend backend = pass == 0 ? Backend::Soft : Backend::Gl;
        r.SetBackends(backend, backend);
        r.SetDevicePreferences(false, false);
        ASSERT_TRUE(r.Init(nullptr, false));
        ASSERT_EQ(DeviceBackend(r.GetDevice()), backend);
        QuadBatcher& b = *r.GetBatcher();

        auto make = [&](uint32_t w, uint32_t h, auto texel) {
            uint32_t tw = 0, th = 0;
            ITexture* t = TextureFactory::CreateTexture(w, h, tw, th);
            LockedRect locked{};
            t->LockRect(0, &locked, nullptr, 0);
            for (uint32_t y = 0; y < th; ++y)
                for (uint32_t x = 0; x < tw; ++x)
                    reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.bits) + y * locked.pitch)[x] = texel(x, y);
            t->UnlockRect(0);
            return TextureFactory::CreateDynamicTexture(t, tw, th, cache);
        };
        const uint32_t gradient = make(16, 16, [](uint32_t x, uint32_t y) {
            return (x * 16) << 24 | (255 - y * 16) << 16 | (x * 16) << 8 | 0x80;
        });
        const uint32_t ring = make(32, 32, [](uint32_t x, uint32_t y) {
            const int dx = int(x) - 16, dy = int(y) - 16;
            return dx * dx + dy * dy < 144 ? 0xFFFFFFFFu : 0x00000000u;
        });

        IDevice* device = r.GetDevice();
        ASSERT_EQ(device->BeginScene(), kOk);
        b.BeginScene();
        r.GetContext()->Clear(0, nullptr, ClearTarget | ClearZBuffer, 0xFF203040u, 1.0f, 0);
        const uint32_t presets[] = {QuadBatcher::kNoBlend, QuadBatcher::kAlpha, QuadBatcher::kAdditive,
                                    QuadBatcher::kNoTexture, QuadBatcher::kDebug};
        for (int i = 0; i < 5; ++i) {
            for (int filter = 0; filter < 2; ++filter) {
                // 4 pixels per texel: no pixel centre falls on a texel edge, where point sampling
                // may round either way.
                const float x = 8.0f + 72.0f * float(i), y = 8.0f + 72.0f * float(filter);
                b.DrawQuad(RectTransform(x, y, x + 64, y + 64), {0, 0, 1, 1}, gradient, 0xC0FFE0C0u, presets[i],
                           filter != 0, true);
            }
        }
        b.DrawQuad(RectTransform(10, 160, 74, 224), {}, ring, 0xFFFFFFFFu, QuadBatcher::kMaskLayer, false, true);
        b.DrawQuad(RectTransform(10, 160, 74, 192), {}, gradient, 0xFFFFFFFFu,
                   QuadBatcher::kAlpha | QuadBatcher::kMaskedIn, true, true);
        b.DrawQuad(RectTransform(10, 192, 74, 224), {}, 0, 0xFF00C0FFu,
                   QuadBatcher::kNoTexture | QuadBatcher::kMaskedOut | QuadBatcher::kEndMask, false, true);
        b.DrawQuad(RectTransform(100, 160, 160, 220), {}, 12345, 0, QuadBatcher::kAlpha, false, true);
        Transform2D turned = Transform2D::Rotation(0.5f);
        MultiplyTransform(turned, Transform2D::Scale(50, 30), turned);
        MultiplyTransform(turned, turned, Transform2D::Translation(230, 190));
        b.DrawQuad(turned, {0.1f, 0.1f, 0.9f, 0.9f}, gradient, 0xFFFFFFFFu, QuadBatcher::kAlpha, true, true);
        b.Flush();
        device->EndScene();
        const QuillTest::TargetPicture pic = QuillTest::ReadRenderTarget(device);
        ASSERT_GE(pic.width, kWidth);
        for (uint32_t y = 0; y < kHeight; ++y)
            for (uint32_t x = 0; x < kWidth; ++x)
                pictures[pass].push_back(pic.At(x, y));
        renderer.reset();
    }
    int worst = 0, atX = 0, atY = 0;
    for (size_t i = 0; i < pictures[0].size(); ++i) {
        for (int shift : {0, 8, 16}) {
            const int d = std::abs(Channel(pictures[0][i], shift) - Channel(pictures[1][i], shift));
            if (d > worst) {
                worst = d;
                atX = int(i % kWidth);
                atY = int(i / kWidth);
            }
        }
    }
    EXPECT_LE(worst, 1) << "at " << atX << "," << atY << std::hex << ": soft "
                        << pictures[0][size_t(atY) * kWidth + atX] << " gl " << pictures[1][size_t(atY) * kWidth + atX];
    // The scene drew something of each kind.
    EXPECT_NE(pictures[0][size_t(40) * kWidth + 40], 0xFF203040u);
    EXPECT_EQ(pictures[0][size_t(190) * kWidth + 130], QuadBatcher::kMissingTextureColor);
}

} // namespace
