// Texture resources on the software device: loading each kind of picture, refusals, sharing,
// idle unloading, device failures and device re-creation.

#include <gtest/gtest.h>

#include "tests/graphics/render/TextureTestSupport.h"

using namespace QuillEngine;
using namespace QuillD3D;

namespace {

class TextureResourceTest : public QuillTest::TextureRendererTest {
protected:
    uint32_t Texel(ResourceTexture* texture, uint32_t x, uint32_t y)
    {
        LockedRect locked{};
        ITexture* t = texture ? texture->GetTexture() : nullptr;
        if (!t || Failed(t->LockRect(0, &locked, nullptr, LockReadOnly)))
            return 0xDEADBEEF;
        const uint32_t texel =
            reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(locked.bits) + y * locked.pitch)[x];
        t->UnlockRect(0);
        return texel;
    }
    static uint32_t Alpha(uint32_t texel) { return texel >> 24; }

    ResourceTexture* Load(const char16_t* path)
    {
        const uint32_t id = TextureFactory::AcquireFileTexture(path, *cache);
        return id ? Texture(id) : nullptr;
    }
};

TEST_F(TextureResourceTest, PicturesOfEveryAcceptedKindLoadIntoPowerOfTwoTextures)
{
    uint32_t w = 0, h = 0;
    ResourceTexture* tile = Load(u"tile.tga");
    ASSERT_NE(tile, nullptr);
    ASSERT_TRUE(tile->IsLoaded());
    EXPECT_EQ(tile->GetType(), ResourceBase::kTypeTexture);
    EXPECT_EQ(tile->GetName(), u"tile.tga_dximg");
    tile->GetTextureSize(w, h);
    EXPECT_EQ(w, 64u);
    EXPECT_EQ(h, 32u);
    EXPECT_EQ(tile->GetMemorySize(), 64u * 32u * 4u);
    // Top-left texel of the tile: the dark check, see-through stripe (B, G, R, A as in the file).
    EXPECT_EQ(Texel(tile, 0, 0), 0x40283C5Au);
    EXPECT_EQ(Texel(tile, 8, 4), 0xFFDCD2B4u);

    ResourceTexture* badge = Load(u"badge.png");
    ASSERT_TRUE(badge && badge->IsLoaded());
    badge->GetTextureSize(w, h);
    EXPECT_EQ(w, 128u);
    EXPECT_EQ(h, 128u);
    badge->GetImageSize(w, h);
    EXPECT_EQ(w, 96u);
    EXPECT_EQ(h, 80u);
    // Beyond the picture the texture is transparent black, right of it and below it.
    EXPECT_EQ(Texel(badge, 100, 10), 0u);
    EXPECT_EQ(Texel(badge, 10, 100), 0u);
    EXPECT_EQ(Texel(badge, 127, 127), 0u);

    ResourceTexture* plain = Load(u"plain.jpg");
    ASSERT_TRUE(plain && plain->IsLoaded());
    EXPECT_EQ(Alpha(Texel(plain, 3, 3)), 255u);
}

TEST_F(TextureResourceTest, AJpegWithABmpAlphaLoadsAsOnePictureAndThePngIsNeverRead)
{
    // pair300.png has both siblings: the 300x200 JPEG and its 512x256 8-bit BMP mask.
    ResourceTexture* pair = Load(u"pair300.png");
    ASSERT_TRUE(pair && pair->IsLoaded());
    uint32_t w = 0, h = 0;
    pair->GetTextureSize(w, h);
    EXPECT_EQ(w, 512u);
    EXPECT_EQ(h, 256u);
    pair->GetImageSize(w, h);
    EXPECT_EQ(w, 300u);
    EXPECT_EQ(h, 200u);
    EXPECT_EQ(Alpha(Texel(pair, 150, 100)), 255u); // inside the mask's circle
    EXPECT_EQ(Alpha(Texel(pair, 5, 5)), 128u);     // the half-transparent top band
    EXPECT_EQ(Alpha(Texel(pair, 5, 150)), 0u);     // outside the circle
    EXPECT_EQ(Texel(pair, 400, 10), 0u);           // beyond the picture
    EXPECT_EQ(pictures->reads[u"pair300.png"], 0);
    EXPECT_EQ(pictures->reads[u"pair300.bmp"], 1);

    // The JPEG's own name finds the same pair; it is a resource of its own.
    ResourceTexture* byJpeg = Load(u"pair300.jpg");
    ASSERT_TRUE(byJpeg && byJpeg->IsLoaded());
    EXPECT_NE(byJpeg, pair);
    EXPECT_EQ(Alpha(Texel(byJpeg, 5, 150)), 0u);
}

TEST_F(TextureResourceTest, RefusedAndDamagedPicturesFailWithoutEndingTheProcess)
{
    for (const char16_t* path : {u"shouty.TGA", u"flat24.tga", u"wide300.tga", u"grey.jpg", u"truncated.jpg",
                                 u"corrupt.png", u"deep16.png", u"opaque24.png", u"missing.png", u"pair300.bmp"}) {
        const uint32_t id = TextureFactory::AcquireFileTexture(path, *cache);
        ASSERT_NE(id, 0u) << ToUtf8(path); // registered: it loads on first use
        ResourceTexture* t = Texture(id);
        ASSERT_NE(t, nullptr);
        EXPECT_FALSE(t->IsLoaded()) << ToUtf8(path);
        EXPECT_EQ(t->GetTexture(), nullptr);
    }
    EXPECT_EQ(renderer->GetDeviceState(), CRenderManager::kStateReady);
    EXPECT_FALSE(renderer->SkipSceneFlush());
    // A good picture still loads after all of them.
    ResourceTexture* tile = Load(u"tile.tga");
    EXPECT_TRUE(tile && tile->IsLoaded());
}

TEST_F(TextureResourceTest, UsersOfOnePathShareOneResourceAndRunTimeTexturesGetKeysOfTheirOwn)
{
    const uint32_t first = TextureFactory::AcquireFileTexture(u"tile.tga", *cache);
    const uint32_t second = TextureFactory::AcquireFileTexture(u"tile.tga", *cache);
    ASSERT_NE(first, 0u);
    EXPECT_EQ(first, second);
    EXPECT_EQ(Texture(first, true)->GetUseCount(), 2u);
    EXPECT_FALSE(Texture(first, true)->IsLoaded()); // nobody drew it yet
    cache->Release(first);
    EXPECT_EQ(cache->Find(u"tile.tga_dximg"), first);
    cache->Release(first);
    EXPECT_EQ(cache->Find(u"tile.tga_dximg"), 0u);

    const uint32_t countBefore = TextureFactory::DynamicTextureCount();
    const uint32_t a = SolidTexture(8, 8, 0xFF102030u, 0xFF102030u);
    const uint32_t b = SolidTexture(8, 8, 0xFF102030u, 0xFF102030u);
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    EXPECT_NE(a, b);
    EXPECT_EQ(Texture(a)->GetName(), u"dyn_" + Widen(std::to_string(countBefore)) + u"_dxtex");
    EXPECT_EQ(Texture(b)->GetName(), u"dyn_" + Widen(std::to_string(countBefore + 1)) + u"_dxtex");
    EXPECT_EQ(Texture(a)->GetType(), ResourceBase::kTypeDynamicTexture);

    // The resource owns its texture: releasing the last use releases the texture too.
    ITexture* texture = Texture(a)->GetTexture();
    texture->AddRef();
    cache->Release(a);
    EXPECT_EQ(texture->Release(), 0u);
    EXPECT_EQ(TextureFactory::CreateDynamicTexture(nullptr, 8, 8, *cache), 0u);
}

TEST_F(TextureResourceTest, AnIdleTextureUnloadsAfterItsKeepTimeAndLoadsAgainOnUse)
{
    const uint32_t id = TextureFactory::AcquireFileTexture(u"tile.tga", *cache);
    const uint32_t dyn = SolidTexture(4, 4, 0xFFFFFFFFu, 0xFFFFFFFFu);
    frame = 100;
    ASSERT_TRUE(Texture(id)->IsLoaded());
    Texture(dyn);
    frame = 135;
    cache->UnloadIdle();
    EXPECT_TRUE(Texture(id, true)->IsLoaded());
    EXPECT_EQ(Texture(id, true)->GetLastUsedFrame(), 100u); // a peek is no use
    frame = 136;
    cache->UnloadIdle();
    EXPECT_FALSE(Texture(id, true)->IsLoaded());
    EXPECT_EQ(cache->Find(u"tile.tga_dximg"), id); // the resource stays, only its texture went
    EXPECT_TRUE(Texture(dyn, true)->IsLoaded());   // run-time textures never idle out

    EXPECT_TRUE(Texture(id)->IsLoaded());
    EXPECT_EQ(pictures->reads[u"tile.tga"], 2);
    frame = 1000;
    cache->UnloadIdle();
    EXPECT_TRUE(Texture(dyn, true)->IsLoaded());
}

TEST_F(TextureResourceTest, ExhaustedVideoMemoryAndALostDeviceReachTheRenderer)
{
    Faults(Backend::Soft).textureFailures = 1;
    Faults(Backend::Soft).textureFailure = kErrOutOfVideoMemory;
    const uint32_t tile = TextureFactory::AcquireFileTexture(u"tile.tga", *cache);
    EXPECT_FALSE(Texture(tile)->IsLoaded());
    EXPECT_EQ(renderer->GetDeviceState(), CRenderManager::kStateOutOfVideoMemory);
    EXPECT_TRUE(renderer->SkipSceneFlush());

    renderer->SetDeviceState(CRenderManager::kStateReady);
    Faults(Backend::Soft).textureFailures = 1;
    Faults(Backend::Soft).textureFailure = kErrDeviceLost;
    const uint32_t badge = TextureFactory::AcquireFileTexture(u"badge.png", *cache);
    const uint32_t corrupt = TextureFactory::AcquireFileTexture(u"corrupt.png", *cache);
    EXPECT_FALSE(Texture(badge)->IsLoaded());
    EXPECT_FALSE(Texture(corrupt)->IsLoaded());
    EXPECT_EQ(renderer->GetDeviceState(), CRenderManager::kStateDeviceLost);
    EXPECT_TRUE(TextureFactory::HasDeviceFailure());
    // Until the device is back the failure is remembered: no new attempt each use.
    EXPECT_FALSE(Texture(badge)->IsLoaded());
    EXPECT_EQ(pictures->reads[u"badge.png"], 1);

    renderer->RenderFrame(true); // the device answers again: objects restored, ready
    EXPECT_EQ(renderer->GetDeviceState(), CRenderManager::kStateReady);
    EXPECT_FALSE(TextureFactory::HasDeviceFailure());
    EXPECT_TRUE(Texture(badge)->IsLoaded());
    EXPECT_TRUE(Texture(tile)->IsLoaded());
    // A picture that is itself broken gets one more try with the device back, and no more.
    EXPECT_FALSE(Texture(corrupt)->IsLoaded());
    EXPECT_FALSE(Texture(corrupt)->IsLoaded());
    EXPECT_EQ(pictures->reads[u"corrupt.png"], 2);
}

TEST_F(TextureResourceTest, TexturesSurviveADeviceMadeAnewAndLoadAgainAtTheirNextUse)
{
    const uint32_t id = TextureFactory::AcquireFileTexture(u"badge.png", *cache);
    ASSERT_TRUE(Texture(id)->IsLoaded());
    renderer->SetDeviceState(CRenderManager::kStateResetNeeded);
    renderer->RenderFrame(true);
    ASSERT_EQ(renderer->GetDeviceState(), CRenderManager::kStateReady);
    EXPECT_EQ(cache->ReloadQueueSize(), 0u);
    // The old device's texture went with it; the resource and its handle stay.
    EXPECT_FALSE(Texture(id, true)->IsLoaded());
    ResourceTexture* again = Texture(id);
    ASSERT_TRUE(again->IsLoaded());
    uint32_t w = 0, h = 0;
    again->GetImageSize(w, h);
    EXPECT_EQ(w, 96u);

    // Drawn on the new device, it shows.
    BeginScene(0xFF000000u);
    Batcher().DrawQuad(QuillTest::RectTransform(0, 0, 96, 80), {0, 0, 96.0f / 128, 80.0f / 128}, id, 0xFFFFFFFFu,
                       QuadBatcher::kAlpha, false, false);
    EndScene();
    EXPECT_NE(ReadTarget().At(48, 40), 0xFF000000u);
}

TEST_F(TextureResourceTest, APictureThatFailedIsNotDecodedAgainEveryFrame)
{
    const uint32_t id = TextureFactory::AcquireFileTexture(u"corrupt.png", *cache);
    for (uint32_t f = 0; f < 5; ++f) {
        frame = f;
        BeginScene(0xFF000000u);
        Batcher().DrawQuad(QuillTest::RectTransform(0, 0, 20, 20), {}, id, 0xFFFFFFFFu, QuadBatcher::kAlpha, false,
                           false);
        EndScene();
        EXPECT_EQ(ReadTarget().At(10, 10), QuadBatcher::kMissingTextureColor);
    }
    EXPECT_EQ(pictures->reads[u"corrupt.png"], 1);
    // Telling the cache the data may have changed lets it try once more.
    cache->ForgetLoadFailures();
    Texture(id);
    EXPECT_EQ(pictures->reads[u"corrupt.png"], 2);
}

} // namespace
