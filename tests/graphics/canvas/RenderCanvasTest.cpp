// Render canvases: batching of recorded shapes, circles and pies, hit areas, texture pins and
// clearing, and the manager's canvas list.

#include <gtest/gtest.h>

#include <memory>

#include "engine/core/resources/ResourceCache.h"
#include "engine/graphics/canvas/RenderCanvasManager.h"

using namespace QuillEngine;
using QuillD3D::PtLineList;
using QuillD3D::PtTriangleList;

namespace {

constexpr uint32_t kRed = 0xFFFF0000u, kGreen = 0x8000FF00u, kBlue = 0xFF0000FFu;

class CountingTexture : public ResourceBase {
public:
    explicit CountingTexture(const char16_t* name) { SetName(name); }
    uint32_t GetMemorySize() const override { return 4; }
    bool Load() override { return true; }
};

struct RenderCanvasTest : ::testing::Test {
    CRenderCanvasManager manager{nullptr};
    std::unique_ptr<CRenderCanvas> canvas = manager.CreateCanvas();
};

TEST_F(RenderCanvasTest, LikeShapesShareABatchAndAChangeStartsANewOne)
{
    canvas->DrawLine({0, 0}, {10, 0}, kRed);
    canvas->DrawLine({0, 5}, {10, 5}, kBlue);
    canvas->DrawRect(0, 0, 10, 10, kRed, true);
    const auto& list = canvas->GetList(1); // list 1 is the default target
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].type, PtLineList);
    EXPECT_EQ(list[0].primitives, 2u);
    EXPECT_EQ(list[0].vertexCount, 4u);
    EXPECT_EQ(list[1].type, PtTriangleList);
    EXPECT_EQ(list[1].primitives, 2u);
    EXPECT_EQ(list[1].firstVertex, 4u);
    // Indices are relative to their batch.
    const auto& idx = canvas->Indices();
    ASSERT_EQ(idx.size(), 10u);
    EXPECT_EQ(idx[2], 2u);
    EXPECT_EQ(idx[3], 3u);
    EXPECT_EQ(idx[4], 0u);
    EXPECT_TRUE(canvas->IsListEmpty(0));

    // A new blend mode breaks the run; so does another target list.
    canvas->SetBlendMode(QuadBatcher::kAdditive);
    canvas->DrawRect(0, 0, 5, 5, kRed, true);
    EXPECT_EQ(canvas->GetList(1).size(), 3u);
    canvas->SetBlendMode(QuadBatcher::kMaskLayer);
    canvas->SetTargetList(0);
    canvas->DrawTriangle({0, 0}, {1, 0}, {0, 1}, kRed, false);
    ASSERT_EQ(canvas->GetList(0).size(), 1u);
    EXPECT_EQ(canvas->GetList(0)[0].primitives, 3u);
    EXPECT_FLOAT_EQ(canvas->Vertices().back().z, CRenderCanvas::kMaskDepth);
    EXPECT_FLOAT_EQ(canvas->Vertices().front().z, CRenderCanvas::kDepth);
    EXPECT_FLOAT_EQ(canvas->Vertices().front().rhw, 0.5f);
}

TEST_F(RenderCanvasTest, CirclesPolylinesAndTexturedRects)
{
    canvas->DrawCircle({50, 50}, 10, kRed, false, 2);
    const Vec2 one[1] = {{1, 1}};
    canvas->DrawPolyline(1, one, kRed);
    EXPECT_TRUE(canvas->IsEmpty());

    canvas->DrawCircle({50, 50}, 10, kRed, false, 4);
    ASSERT_EQ(canvas->GetList(1).size(), 1u);
    EXPECT_EQ(canvas->GetList(1)[0].primitives, 4u);
    EXPECT_NEAR(canvas->Vertices()[1].x, 50.0f, 0.001f); // a quarter turn: straight down
    EXPECT_NEAR(canvas->Vertices()[1].y, 60.0f, 0.001f);
    EXPECT_EQ(canvas->Indices()[7], 0u); // the ring closes

    canvas->Clear();
    canvas->DrawCircle({0, 0}, 5, kRed, true, 6);
    EXPECT_EQ(canvas->GetList(1)[0].primitives, 6u);
    EXPECT_EQ(canvas->Vertices().size(), 7u);
    EXPECT_EQ(canvas->Indices().back(), 0u); // every triangle ends at the centre

    canvas->Clear();
    const Vec2 points[3] = {{0, 0}, {5, 0}, {5, 5}};
    const uint32_t colors[3] = {kRed, kGreen, kBlue};
    canvas->DrawPolyline(3, points, colors);
    EXPECT_EQ(canvas->GetList(1)[0].primitives, 2u);
    EXPECT_EQ(canvas->Vertices()[2].color, kBlue);

    canvas->Clear();
    const QuadTexRect rect{0.25f, 0.5f, 0.75f, 1.0f};
    canvas->DrawTexturedRect(10, 20, 30, 40, kRed, 0, &rect);
    const auto& v = canvas->Vertices();
    ASSERT_EQ(v.size(), 4u);
    EXPECT_FLOAT_EQ(v[0].x, 9.5f);
    EXPECT_FLOAT_EQ(v[2].y, 59.5f);
    EXPECT_FLOAT_EQ(v[1].u, 0.75f);
    EXPECT_FLOAT_EQ(v[3].v, 1.0f);
}

TEST_F(RenderCanvasTest, APieFillsItsLeftoverStepsInBlackWithTheLastAlpha)
{
    canvas->DrawPie({0, 0}, 10, {});
    EXPECT_TRUE(canvas->IsEmpty());

    canvas->DrawPie({0, 0}, 10, {{kRed, 30}, {kGreen, 50}});
    const auto& batch = canvas->GetList(1).at(0);
    EXPECT_EQ(batch.primitives, 100u);
    EXPECT_EQ(batch.indexCount, 300u);
    const auto& v = canvas->Vertices();
    const auto& idx = canvas->Indices();
    ASSERT_EQ(v.size(), 3u + 200u);
    auto stepColor = [&](int step) { return v[idx[step * 3]].color; };
    auto stepCentre = [&](int step) { return v[idx[step * 3 + 2]].color; };
    EXPECT_EQ(stepColor(0), kRed);
    EXPECT_EQ(stepColor(29), kRed);
    EXPECT_EQ(stepColor(30), kGreen);
    EXPECT_EQ(stepCentre(79), kGreen);
    EXPECT_EQ(stepColor(80), 0x80000000u);
    EXPECT_EQ(stepCentre(99), 0x80000000u);

    // Counts past 100 in all stop at 100 steps.
    canvas->Clear();
    canvas->DrawPie({0, 0}, 10, {{kRed, 90}, {kBlue, 90}});
    const auto& w = canvas->Vertices();
    EXPECT_EQ(w[canvas->Indices()[99 * 3]].color, kBlue);
    EXPECT_EQ(canvas->GetList(1)[0].primitives, 100u);
}

TEST_F(RenderCanvasTest, HitAreasTestTrianglesThenCirclesThenRectanglesFirstAddedWins)
{
    uint32_t a[2] = {}, b[2] = {};
    EXPECT_FALSE(canvas->HitTest({5, 5}, a, b));
    const uint32_t left[4] = {1, 2, 3, 4}, right[4] = {5, 6, 7, 8}, round[4] = {9, 9, 9, 9}, tri[4] = {7, 7, 7, 7};
    canvas->AddHitRect({0, 0}, {10, 10}, left);
    canvas->AddHitRect({10, 0}, {20, 10}, right);
    ASSERT_TRUE(canvas->HitTest({10, 5}, a, b)); // the shared edge belongs to the first
    EXPECT_EQ(a[0], 1u);
    EXPECT_EQ(a[1], 2u);
    EXPECT_EQ(b[0], 3u);
    EXPECT_EQ(b[1], 4u);
    ASSERT_TRUE(canvas->HitTest({15, 5}, a, b));
    EXPECT_EQ(a[0], 5u);
    EXPECT_FALSE(canvas->HitTest({25, 5}, a, b));

    canvas->AddHitCircle({15, 5}, 3, round); // added later, tested before the rectangles
    ASSERT_TRUE(canvas->HitTest({15, 5}, a, b));
    EXPECT_EQ(a[0], 9u);
    canvas->AddHitTriangle({10, 0}, {20, 0}, {10, 10}, tri);
    ASSERT_TRUE(canvas->HitTest({12, 2}, a, b));
    EXPECT_EQ(a[0], 7u);
    ASSERT_TRUE(canvas->HitTest({17, 6}, a, b)); // outside the triangle, inside the circle
    EXPECT_EQ(a[0], 9u);

    canvas->Clear();
    EXPECT_FALSE(canvas->HitTest({5, 5}, a, b));

    // Alone, the triangle covers what lies inside all three of its edges: a point just across
    // any one edge is outside, whichever way round its corners are given.
    for (bool reversed : {false, true}) {
        canvas->Clear();
        if (reversed)
            canvas->AddHitTriangle({10, 10}, {20, 0}, {10, 0}, tri);
        else
            canvas->AddHitTriangle({10, 0}, {20, 0}, {10, 10}, tri);
        EXPECT_TRUE(canvas->HitTest({12, 2}, a, b)) << reversed;
        EXPECT_FALSE(canvas->HitTest({12, -1}, a, b)) << "across the top edge " << reversed;
        EXPECT_FALSE(canvas->HitTest({16, 6}, a, b)) << "across the long side " << reversed;
        EXPECT_FALSE(canvas->HitTest({9, 2}, a, b)) << "across the left edge " << reversed;
    }
    canvas->Clear();

    // Triangles without area cover nothing, wherever the point is.
    canvas->AddHitTriangle({4, 4}, {4, 4}, {4, 4}, tri);
    canvas->AddHitTriangle({0, 0}, {5, 5}, {10, 10}, tri);
    EXPECT_FALSE(canvas->HitTest({100, -40}, a, b));
    EXPECT_FALSE(canvas->HitTest({4, 4}, a, b));
}

TEST_F(RenderCanvasTest, TexturesArePinnedOnceAndReleasedByClear)
{
    ResourceCache cache;
    ASSERT_TRUE(cache.Init());
    uint32_t id = 0, kept = 0;
    ASSERT_TRUE(cache.Register(std::make_unique<CountingTexture>(u"canvas-tex"), id));
    ASSERT_TRUE(cache.Register(std::make_unique<CountingTexture>(u"kept-tex"), kept));
    cache.Acquire(kept)->SetKeep(true);

    canvas->DrawTexturedRect(0, 0, 8, 8, kRed, id, nullptr);
    canvas->DrawLine({0, 0}, {1, 1}, kRed);
    canvas->DrawTexturedRect(0, 0, 8, 8, kRed, id, nullptr);   // a new batch, the same pin
    canvas->DrawTexturedRect(0, 0, 8, 8, kRed, kept, nullptr); // kept by someone else: not ours
    EXPECT_EQ(canvas->GetList(1).size(), 4u);
    ASSERT_EQ(canvas->PinnedTextures().size(), 1u);
    EXPECT_TRUE(cache.Acquire(id, true)->IsKept());

    canvas->Clear();
    EXPECT_TRUE(canvas->PinnedTextures().empty());
    EXPECT_TRUE(canvas->IsEmpty());
    // Unpinned, the idle unloader may take the texture again; the other keeps its pin.
    if (ResourceBase* texture = cache.Acquire(id, true)) {
        EXPECT_FALSE(texture->IsKept());
    }
    ASSERT_NE(cache.Acquire(kept, true), nullptr);
    EXPECT_TRUE(cache.Acquire(kept, true)->IsKept());
}

// Two canvases drawing one texture: the first to let go must not unpin what the other draws.
TEST_F(RenderCanvasTest, ATextureSharedByTwoCanvasesStaysPinnedUntilBothLetGo)
{
    ResourceCache cache;
    ASSERT_TRUE(cache.Init());
    uint32_t id = 0;
    ASSERT_TRUE(cache.Register(std::make_unique<CountingTexture>(u"shared-tex"), id));
    auto other = manager.CreateCanvas();
    canvas->DrawTexturedRect(0, 0, 8, 8, kRed, id, nullptr);
    other->DrawTexturedRect(0, 0, 8, 8, kRed, id, nullptr);
    EXPECT_EQ(other->PinnedTextures().size(), 1u);

    canvas->Clear();
    ASSERT_NE(cache.Acquire(id, true), nullptr);
    EXPECT_TRUE(cache.Acquire(id, true)->IsKept()) << "the second canvas still draws it";
    other->Clear();
    if (ResourceBase* texture = cache.Acquire(id, true)) {
        EXPECT_FALSE(texture->IsKept());
    }
}

TEST_F(RenderCanvasTest, ClearAfterRenderKeepsShapesForOneRenderAndTheManagerClearsEveryCanvas)
{
    canvas->DrawLine({0, 0}, {1, 1}, kRed);
    canvas->Render(Transform2D::Identity(), 1);
    EXPECT_FALSE(canvas->IsEmpty());
    canvas->SetClearAfterRender(true);
    canvas->SetVisible(false); // cleared even when not drawn
    canvas->Render(Transform2D::Identity(), 1);
    EXPECT_TRUE(canvas->IsEmpty());

    auto second = manager.CreateCanvas();
    EXPECT_EQ(manager.CanvasCount(), 2u);
    canvas->DrawLine({0, 0}, {1, 1}, kRed);
    second->DrawRect(0, 0, 1, 1, kRed, true);
    manager.ReleaseDeviceObjects();
    EXPECT_TRUE(canvas->IsEmpty());
    EXPECT_TRUE(second->IsEmpty());
    second.reset();
    EXPECT_EQ(manager.CanvasCount(), 1u);
}

TEST(RenderCanvasManagerTest, ACanvasOutlivingItsManagerNoLongerReachesIt)
{
    std::unique_ptr<CRenderCanvas> canvas;
    {
        CRenderCanvasManager manager(nullptr);
        canvas = manager.CreateCanvas();
        EXPECT_EQ(canvas->GetManager(), &manager);
    }
    EXPECT_EQ(canvas->GetManager(), nullptr);
    canvas->DrawLine({0, 0}, {1, 1}, kRed);
    canvas->Render(Transform2D::Identity(), 1); // nothing to draw with, and no crash
    EXPECT_FALSE(canvas->IsEmpty());
}

TEST_F(RenderCanvasTest, ABatchNeverOutgrowsWhatOneDrawCanAppend)
{
    for (int i = 0; i < 5000; ++i)
        canvas->DrawRect(0, 0, 1, 1, kRed, true); // 20000 vertices in all
    const auto& list = canvas->GetList(1);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_LE(list[0].vertexCount, CRenderCanvasManager::kVertexCapacity);
    EXPECT_LE(list[0].indexCount, CRenderCanvasManager::kIndexCapacity);
    EXPECT_EQ(list[0].primitives + list[1].primitives, 10000u);
}

} // namespace
