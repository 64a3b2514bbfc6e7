// Where one frame's runs of quads differ from the last frame's: the area a partial frame draws.

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "engine/graphics/render/FrameRuns.h"

using namespace QuillEngine;

namespace {

// A run of axis-aligned quads, each given as {left, top, right, bottom} and a colour.
QuadRun QuadsRun(std::vector<std::pair<std::vector<float>, uint32_t>> quads, uint32_t mode = QuadBatcher::kAlpha)
{
    QuadRun run;
    run.mode = mode;
    for (const auto& [box, color] : quads) {
        const float l = box[0], t = box[1], r = box[2], b = box[3];
        for (const auto& [x, y] : {std::pair{l, b}, std::pair{r, b}, std::pair{r, t}, std::pair{l, t}})
            run.vertices.push_back({x, y, 0.51f, 0.5f, color, 0.0f, 0.0f});
    }
    return run;
}

std::vector<QuadRun> Frame(std::vector<QuadRun> runs)
{
    return runs;
}

void ExpectBox(const PixelBox& box, int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    EXPECT_EQ(box.left, left);
    EXPECT_EQ(box.top, top);
    EXPECT_EQ(box.right, right);
    EXPECT_EQ(box.bottom, bottom);
}

TEST(FrameRuns, TheSameFrameChangesNothingAndOneQuadChangesOnlyItsOwnBox)
{
    auto before = Frame({});
    before.push_back(QuadsRun({{{0, 0, 800, 600}, 0xFFFFFFFFu}}, QuadBatcher::kNoBlend));
    before.push_back(QuadsRun({{{10, 10, 20, 20}, 0xFFFFFFFFu}, {{100, 200, 150, 260}, 0xFFFFFFFFu}}));
    auto same = Frame({});
    same.push_back(QuadsRun({{{0, 0, 800, 600}, 0xFFFFFFFFu}}, QuadBatcher::kNoBlend));
    same.push_back(QuadsRun({{{10, 10, 20, 20}, 0xFFFFFFFFu}, {{100, 200, 150, 260}, 0xFFFFFFFFu}}));
    EXPECT_TRUE(ChangedArea(before, same, 800, 600).Empty());

    // The second quad fades (a glow): its box and a pixel around it, not the run's.
    same[1] = QuadsRun({{{10, 10, 20, 20}, 0xFFFFFFFFu}, {{100, 200, 150, 260}, 0x80FFFFFFu}});
    ExpectBox(ChangedArea(before, same, 800, 600), 99, 199, 151, 261);

    // The first one moves: where it was and where it is.
    same[1] = QuadsRun({{{10, 10, 20, 20}, 0xFFFFFFFFu}, {{100, 200, 150, 260}, 0xFFFFFFFFu}});
    same[1].vertices[0].x = same[1].vertices[3].x = 30;
    same[1].vertices[1].x = same[1].vertices[2].x = 40.5f;
    ExpectBox(ChangedArea(before, same, 800, 600), 9, 9, 42, 21);
}

TEST(FrameRuns, RunsThatDifferInStateOrLengthChangeTheirWholeBoxesClippedToThePicture)
{
    auto before = Frame({});
    before.push_back(QuadsRun({{{10, 10, 20, 20}, 0xFFFFFFFFu}, {{300, 300, 310, 310}, 0xFFFFFFFFu}}));
    auto now = Frame({});
    now.push_back(QuadsRun({{{10, 10, 20, 20}, 0xFFFFFFFFu}, {{300, 300, 310, 310}, 0xFFFFFFFFu}},
                      QuadBatcher::kAdditive));
    ExpectBox(ChangedArea(before, now, 800, 600), 9, 9, 311, 311);

    // A quad more: the run's whole box.
    now = Frame({});
    now.push_back(QuadsRun({{{10, 10, 20, 20}, 0xFFFFFFFFu}, {{300, 300, 310, 310}, 0xFFFFFFFFu}, {{5, 5, 6, 6}, 0xFFu}}));
    ExpectBox(ChangedArea(before, now, 800, 600), 4, 4, 311, 311);

    // A run gone, a run new; the box never leaves the picture.
    now = Frame({});
    now.push_back(QuadsRun({{{10, 10, 20, 20}, 0xFFFFFFFFu}, {{300, 300, 310, 310}, 0xFFFFFFFFu}}));
    now.push_back(QuadsRun({{{780, 590, 900, 700}, 0xFFFFFFFFu}}));
    ExpectBox(ChangedArea(before, now, 800, 600), 779, 589, 800, 600);
    ExpectBox(ChangedArea(now, before, 800, 600), 779, 589, 800, 600);

    // A different depth clear after a mask scope is a different run.
    auto masked = Frame({});
    masked.push_back(QuadsRun({{{10, 10, 20, 20}, 0xFFFFFFFFu}}, QuadBatcher::kAlpha | QuadBatcher::kEndMask));
    masked[0].depthClear = QuadRun::DepthClear::Rect;
    masked[0].depthRect = {9, 9, 21, 21};
    auto wider = Frame({});
    wider.push_back(QuadsRun({{{10, 10, 20, 20}, 0xFFFFFFFFu}}, QuadBatcher::kAlpha | QuadBatcher::kEndMask));
    wider[0].depthClear = QuadRun::DepthClear::Whole;
    EXPECT_FALSE(ChangedArea(masked, wider, 800, 600).Empty());
}

} // namespace
