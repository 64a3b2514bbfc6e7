// Frames drawn only where they differ from the last one, on the software device presenting into
// memory: the area each frame clears, draws and presents, and its presented picture against the
// same frame drawn whole.

#include <gtest/gtest.h>

#include <vector>

#include "engine/graphics/scene/UserInterface.h"
#include "tests/graphics/render/TextureTestSupport.h"

using namespace QuillEngine;
using QuillTest::RectTransform;
using QuillTest::TargetPicture;

namespace {

constexpr uint32_t kBackground = 0xFF203040u;
constexpr uint32_t kPoison = 0xFFFF00FFu; // never drawn by the scenes here

// The scene: quads the overlay queues on top of an empty root, every frame.
struct QuadScene final : UserInterface::IOverlayDrawer {
    struct Quad {
        float x0, y0, x1, y1;
        uint32_t texture;
        uint32_t color = 0xFFFFFFFFu;
        bool filter = false;
    };
    QuadBatcher* batcher = nullptr;
    std::vector<Quad> quads;
    void LayOutOverlay() override {}
    void DrawOverlay() override
    {
        for (const Quad& q : quads)
            batcher->DrawQuad(RectTransform(q.x0, q.y0, q.x1, q.y1), {}, q.texture, q.color, QuadBatcher::kAlpha,
                              q.filter, false);
    }
};

class RenderPartialTest : public QuillTest::TextureRendererTest {
protected:
    void SetUp() override
    {
        TextureRendererTest::SetUp();
        ASSERT_TRUE(ui.CreateRoot());
        scene.batcher = &Batcher();
        ui.SetOverlayDrawer(&scene);
        renderer->SetClearColor(kBackground);
    }
    void TearDown() override
    {
        ui.SetOverlayDrawer(nullptr);
        TextureRendererTest::TearDown();
    }

    // Draws the scene as the next frame over a poisoned back buffer, so that every pixel the frame
    // did not draw shows, and checks it against the same frame drawn whole: the picture presented
    // is the whole frame's, and the frame touched nothing outside the area it reports. Returns
    // that area; the renderer then holds the scene as its last frame again.
    PixelBox CheckedFrame(const char* what)
    {
        SCOPED_TRACE(what);
        Device()->Clear(0, nullptr, QuillD3D::ClearTarget, kPoison, 1.0f, 0);
        renderer->RenderFrame(true);
        const PixelBox area = renderer->LastDrawnArea();
        const TargetPicture drawn = ReadTarget();
        const TargetPicture presented = QuillTest::ReadPresented(Device());

        renderer->SetPartialRedraw(false);
        renderer->RenderFrame(true);
        const TargetPicture whole = QuillTest::ReadPresented(Device());
        renderer->SetPartialRedraw(true);
        renderer->RenderFrame(true); // kept as the last frame to compare with

        for (const TargetPicture* picture : {&drawn, &presented, &whole})
            if (picture->argb.size() != 800u * 600u) {
                ADD_FAILURE() << "a picture could not be read back";
                return area;
            }
        size_t stale = 0, strayDrawn = 0, undrawn = 0;
        for (uint32_t y = 0; y < 600; ++y) {
            for (uint32_t x = 0; x < 800; ++x) {
                stale += presented.At(x, y) != whole.At(x, y);
                const bool inside = int32_t(x) >= area.left && int32_t(x) < area.right && int32_t(y) >= area.top &&
                                    int32_t(y) < area.bottom;
                const bool poisoned = drawn.At(x, y) == kPoison;
                undrawn += inside && poisoned;
                strayDrawn += !inside && !poisoned;
            }
        }
        EXPECT_EQ(stale, 0u) << "pixels presented that a whole frame draws differently";
        EXPECT_EQ(strayDrawn, 0u) << "pixels drawn outside the area";
        EXPECT_EQ(undrawn, 0u) << "pixels of the area not drawn";
        return area;
    }

    static void ExpectArea(const PixelBox& area, int32_t left, int32_t top, int32_t right, int32_t bottom)
    {
        EXPECT_EQ(area.left, left);
        EXPECT_EQ(area.top, top);
        EXPECT_EQ(area.right, right);
        EXPECT_EQ(area.bottom, bottom);
    }

    UserInterface ui;
    QuadScene scene;
};

TEST_F(RenderPartialTest, AFrameDrawsAndPresentsOnlyWhereItsQuadsDifferWithAWholeFramesPixels)
{
    const uint32_t tile = SolidTexture(8, 8, 0xFFE0A030u, 0xFF30A0E0u);
    const uint32_t plain = SolidTexture(8, 8, 0xFF80FF80u, 0xFF80FF80u);
    ASSERT_NE(tile, 0u);
    // Side by side: drawing one must not spill onto the other.
    scene.quads = {{40, 30, 120, 90, tile}, {300, 40, 360, 100, plain}};
    renderer->RenderFrame(true); // nothing to compare with: whole
    ExpectArea(renderer->LastDrawnArea(), 0, 0, 800, 600);

    EXPECT_TRUE(CheckedFrame("nothing changed").Empty());

    scene.quads[1].x0 = 310;
    scene.quads[1].x1 = 370.5f;
    ExpectArea(CheckedFrame("moved"), 299, 39, 372, 101); // where it was and where it is, a pixel around

    scene.quads[0].color = 0x80FFFFFFu; // fades: the tile shows the background through it
    ExpectArea(CheckedFrame("faded"), 39, 29, 121, 91);

    scene.quads.pop_back(); // gone: the background where it was
    ExpectArea(CheckedFrame("gone"), 309, 39, 372, 101);
}

TEST_F(RenderPartialTest, WhatTheQuadsAloneDoNotShowIsRedrawnToo)
{
    // Two colours side by side, stretched: bilinear filtering blends them where point sampling
    // does not.
    const uint32_t tile = SolidTexture(4, 4, 0xFFFF0000u, 0xFF0000FFu);
    ASSERT_NE(tile, 0u);
    scene.quads = {{100, 100, 300, 200, tile}, {500, 100, 520, 120, SolidTexture(4, 4, 0xFFFFFFFFu, 0xFFFFFFFFu)}};
    renderer->RenderFrame(true);
    ASSERT_TRUE(CheckedFrame("at rest").Empty());

    scene.quads[0].filter = true; // the filter alone: the run, nothing else
    ExpectArea(CheckedFrame("filtered"), 99, 99, 301, 201);

    // The texture's pixels rewritten under the same quads: the whole picture.
    QuillD3D::ITexture* texture = Texture(tile, true)->GetTexture();
    QuillD3D::LockedRect locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), QuillD3D::kOk);
    static_cast<uint32_t*>(locked.bits)[0] = 0xFF00FF00u;
    texture->UnlockRect(0);
    ExpectArea(CheckedFrame("texture written"), 0, 0, 800, 600);

    // A new clear colour where no quad lies: the whole picture.
    renderer->SetClearColor(0xFF605040u);
    ExpectArea(CheckedFrame("new clear colour"), 0, 0, 800, 600);
    EXPECT_TRUE(CheckedFrame("at rest again").Empty());
}

} // namespace
