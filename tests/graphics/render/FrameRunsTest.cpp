// Where one frame's runs of quads differ from the last frame's: the area a partial frame draws.

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "engine/graphics/render/FrameRuns.h"

using namespace QuillEngine;

namespace {

using Quad = std::pair<std::vector<float>, uint32_t>; // {left, top, right, bottom} and a colour

// Appends a run of axis-aligned quads to `frame`; returns its index.
size_t AddRun(FrameRecord& frame, const std::vector<Quad>& quads, uint32_t mode = QuadBatcher::kAlpha)
{
    QuadRun& run = frame.runs.emplace_back();
    run.mode = mode;
    run.first = static_cast<uint32_t>(frame.vertices.size());
    for (const auto& [box, color] : quads) {
        const float l = box[0], t = box[1], r = box[2], b = box[3];
        for (const auto& [x, y] : {std::pair{l, b}, std::pair{r, b}, std::pair{r, t}, std::pair{l, t}})
            frame.vertices.push_back({x, y, 0.51f, 0.5f, color, 0.0f, 0.0f});
    }
    run.count = static_cast<uint32_t>(frame.vertices.size()) - run.first;
    return frame.runs.size() - 1;
}

void ExpectBox(const PixelBox& box, int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    EXPECT_EQ(box.left, left);
    EXPECT_EQ(box.top, top);
    EXPECT_EQ(box.right, right);
    EXPECT_EQ(box.bottom, bottom);
}

const std::vector<Quad> kTwoQuads = {{{10, 10, 20, 20}, 0xFFFFFFFFu}, {{100, 200, 150, 260}, 0xFFFFFFFFu}};

TEST(FrameRuns, TheSameFrameChangesNothingAndOneQuadChangesOnlyItsOwnBox)
{
    FrameRecord before, now;
    for (FrameRecord* f : {&before, &now}) {
        AddRun(*f, {{{0, 0, 800, 600}, 0xFFFFFFFFu}}, QuadBatcher::kNoBlend);
        AddRun(*f, kTwoQuads);
    }
    EXPECT_TRUE(ChangedArea(before, now, 800, 600).Empty());

    // The second quad fades (a glow): its box and a pixel around it, not the run's.
    QuadVertex* second = &now.vertices[now.runs[1].first + 4];
    for (int i = 0; i < 4; ++i)
        second[i].color = 0x80FFFFFFu;
    ExpectBox(ChangedArea(before, now, 800, 600), 99, 199, 151, 261);

    // The first one moves instead: where it was and where it is.
    for (int i = 0; i < 4; ++i)
        second[i].color = 0xFFFFFFFFu;
    QuadVertex* first = &now.vertices[now.runs[1].first];
    first[0].x = first[3].x = 30;
    first[1].x = first[2].x = 40.5f;
    ExpectBox(ChangedArea(before, now, 800, 600), 9, 9, 42, 21);

    // Emptied, a record keeps nothing to compare.
    now.Clear();
    EXPECT_TRUE(now.runs.empty());
    EXPECT_TRUE(now.vertices.empty());
}

TEST(FrameRuns, RunsThatDifferInStateOrLengthChangeTheirWholeBoxesClippedToThePicture)
{
    FrameRecord before;
    AddRun(before, {{{10, 10, 20, 20}, 0xFFFFFFFFu}, {{300, 300, 310, 310}, 0xFFFFFFFFu}});
    FrameRecord additive;
    AddRun(additive, {{{10, 10, 20, 20}, 0xFFFFFFFFu}, {{300, 300, 310, 310}, 0xFFFFFFFFu}}, QuadBatcher::kAdditive);
    ExpectBox(ChangedArea(before, additive, 800, 600), 9, 9, 311, 311);
    // The filter alone (point or bilinear sampling) as well.
    FrameRecord filtered;
    AddRun(filtered, {{{10, 10, 20, 20}, 0xFFFFFFFFu}, {{300, 300, 310, 310}, 0xFFFFFFFFu}});
    filtered.runs[0].filter = true;
    ExpectBox(ChangedArea(before, filtered, 800, 600), 9, 9, 311, 311);

    // A quad more: the run's whole box.
    FrameRecord longer;
    AddRun(longer, {{{10, 10, 20, 20}, 0xFFFFFFFFu}, {{300, 300, 310, 310}, 0xFFFFFFFFu}, {{5, 5, 6, 6}, 0xFFu}});
    ExpectBox(ChangedArea(before, longer, 800, 600), 4, 4, 311, 311);

    // A run gone, a run new; the box never leaves the picture.
    FrameRecord more;
    AddRun(more, {{{10, 10, 20, 20}, 0xFFFFFFFFu}, {{300, 300, 310, 310}, 0xFFFFFFFFu}});
    AddRun(more, {{{780, 590, 900, 700}, 0xFFFFFFFFu}});
    ExpectBox(ChangedArea(before, more, 800, 600), 779, 589, 800, 600);
    ExpectBox(ChangedArea(more, before, 800, 600), 779, 589, 800, 600);

    // A different depth clear after a mask scope is a different run.
    FrameRecord masked, wider;
    AddRun(masked, {{{10, 10, 20, 20}, 0xFFFFFFFFu}}, QuadBatcher::kAlpha | QuadBatcher::kEndMask);
    masked.runs[0].depthClear = QuadRun::DepthClear::Rect;
    masked.runs[0].depthRect = {9, 9, 21, 21};
    AddRun(wider, {{{10, 10, 20, 20}, 0xFFFFFFFFu}}, QuadBatcher::kAlpha | QuadBatcher::kEndMask);
    wider.runs[0].depthClear = QuadRun::DepthClear::Whole;
    EXPECT_FALSE(ChangedArea(masked, wider, 800, 600).Empty());
}

// Records frames as the renderer does, two records taking turns: each frame is recorded into the
// record the frame before last used, which is emptied for it with ClearFor the last frame's size.
struct TwoRecords {
    FrameRecord last, next;
    void Record(size_t runs, size_t quadsPerRun)
    {
        for (size_t r = 0; r < runs; ++r)
            AddRun(next, std::vector<Quad>(quadsPerRun, Quad{{1, 1, 2, 2}, 0xFFFFFFFFu}));
        std::swap(last, next);
        next.ClearFor(last.runs.size(), last.vertices.size());
    }
    size_t HeldVertices() const { return last.vertices.capacity() + next.vertices.capacity(); }
    size_t HeldRuns() const { return last.runs.capacity() + next.runs.capacity(); }
};

TEST(FrameRuns, RecordsKeepTheirStorageFrameAfterFrameButNotABusyScreensOnceItIsGone)
{
    TwoRecords records;
    // A busy board's frames allocate once, then reuse the storage.
    for (int i = 0; i < 3; ++i)
        records.Record(600, 10);
    const QuadVertex* storage = records.next.vertices.data();
    const size_t busy = records.HeldVertices();
    EXPECT_GE(busy, 2u * 600 * 10 * 4);
    for (int i = 0; i < 5; ++i)
        records.Record(600, 10);
    EXPECT_EQ(records.HeldVertices(), busy);
    EXPECT_TRUE(records.next.vertices.data() == storage || records.last.vertices.data() == storage);

    // Many boards of different sizes, each left for a plain screen: after two plain frames the
    // storage is no more than a small frame's, whatever the largest board was.
    for (size_t load = 0; load < 100; ++load) {
        const size_t runs = 50 + (load * 37) % 900;
        for (int i = 0; i < 3; ++i)
            records.Record(runs, 1 + load % 13);
        for (int i = 0; i < 2; ++i)
            records.Record(4, 2);
        ASSERT_LE(records.HeldVertices(), 2u * 4096) << "after board " << load;
        ASSERT_LE(records.HeldRuns(), 2u * 256) << "after board " << load;
    }

    // A frame a little smaller than the last keeps the storage.
    records.Record(600, 10);
    records.Record(600, 10);
    const size_t held = records.HeldVertices();
    records.Record(400, 10);
    records.Record(400, 10);
    EXPECT_EQ(records.HeldVertices(), held);
}

} // namespace
