// Dynamic vertex and index buffers: the ring, its lock flags and its failures.

#include <gtest/gtest.h>

#include <vector>

#include "engine/graphics/render/DynamicBuffers.h"
#include "engine/graphics/render/RenderManagerContext.h"
#include "tests/graphics/render/RenderTestDevice.h"

using namespace QuillEngine;
using namespace QuillD3D;
using QuillTest::RecordingIndexBuffer;
using QuillTest::RecordingVertexBuffer;

namespace {

struct Vertex {
    float x, y, z, rhw;
    uint32_t color;
    float u, v;
};
static_assert(sizeof(Vertex) == 28);

std::vector<Vertex> Vertices(uint32_t count)
{
    std::vector<Vertex> v(count);
    for (uint32_t i = 0; i < count; ++i)
        v[i] = {static_cast<float>(i), 10.0f + i, 0.5f, 1.0f, 0xFF000000u | i, 0.25f, 0.75f};
    return v;
}

class DynamicVertexBufferTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        device = new RecordingVertexBuffer(4000 * 28);
        buffer.SetDeviceBuffer(device);
    }
    CDynamicVertexBuffer buffer{4000, 28, kFvfSprite};
    RecordingVertexBuffer* device = nullptr; // released (not deleted) by the buffer object

public:
    ~DynamicVertexBufferTest() override
    {
        buffer.ReleaseDeviceBuffer();
        delete device;
    }
};

TEST_F(DynamicVertexBufferTest, AnAppendThatDoesNotFitRestartsAtZeroDiscarding)
{
    const auto big = Vertices(3995);
    EXPECT_EQ(buffer.Append(3995, big.data(), nullptr), 0u);
    const auto ten = Vertices(10);
    EXPECT_EQ(buffer.Append(10, ten.data(), nullptr), 0u);
    ASSERT_EQ(device->locks.size(), 2u);
    EXPECT_EQ(device->locks[1].flags, LockDiscard);
    EXPECT_EQ(device->locks[1].offset, 0u);
    EXPECT_EQ(device->locks[1].size, 280u);

    EXPECT_EQ(buffer.Append(10, ten.data(), nullptr), 10u);
    EXPECT_EQ(device->locks[2].flags, LockNoOverwrite);
    EXPECT_EQ(device->locks[2].offset, 280u);
    EXPECT_EQ(buffer.GetUsed(), 20u);
    EXPECT_EQ(device->unlocks, 3);
}

TEST_F(DynamicVertexBufferTest, AnExactFitDoesNotWrap)
{
    const auto big = Vertices(3990);
    const auto ten = Vertices(10);
    buffer.Append(3990, big.data(), nullptr);
    EXPECT_EQ(buffer.Append(10, ten.data(), nullptr), 3990u);
    EXPECT_EQ(device->locks.back().flags, LockNoOverwrite);
    EXPECT_EQ(buffer.GetUsed(), 4000u);
    const auto* written = reinterpret_cast<const Vertex*>(device->Bytes()) + 3990;
    EXPECT_EQ(written[9].color, ten[9].color);
}

TEST_F(DynamicVertexBufferTest, FailuresWriteNothingAndReportFailure)
{
    const auto v = Vertices(8);
    buffer.Append(4, v.data(), nullptr);

    device->refuseLocks = true;
    EXPECT_EQ(buffer.Append(4, v.data(), nullptr), kAppendFailed);
    EXPECT_EQ(buffer.GetUsed(), 4u); // the position did not move
    device->refuseLocks = false;

    const size_t locks = device->locks.size();
    const auto tooMany = Vertices(4001);
    EXPECT_EQ(buffer.Append(4001, tooMany.data(), nullptr), kAppendFailed);
    EXPECT_EQ(buffer.Append(0, v.data(), nullptr), kAppendFailed);
    EXPECT_EQ(device->locks.size(), locks);
    EXPECT_EQ(buffer.GetUsed(), 4u);

    buffer.ReleaseDeviceBuffer();
    EXPECT_EQ(buffer.Append(4, v.data(), nullptr), kAppendFailed);
    buffer.SetDeviceBuffer(device); // (for the fixture's clean-up)
}

TEST_F(DynamicVertexBufferTest, ATransformMovesTheCopiesAboveTheThreshold)
{
    const auto v = Vertices(3);
    const Transform2D nearlyStill = Transform2D::Translation(0.0005f, 0);
    uint32_t start = buffer.Append(3, v.data(), &nearlyStill);
    const auto* out = reinterpret_cast<const Vertex*>(device->Bytes()) + start;
    EXPECT_EQ(out[2].x, 2.0f);
    EXPECT_EQ(out[2].y, 12.0f);

    const Transform2D half = Transform2D::Translation(0.5f, 0);
    start = buffer.Append(3, v.data(), &half);
    out = reinterpret_cast<const Vertex*>(device->Bytes()) + start;
    EXPECT_EQ(out[2].x, 2.5f);
    EXPECT_EQ(out[2].y, 12.0f);
    EXPECT_EQ(out[2].color, v[2].color);
    EXPECT_EQ(out[2].u, 0.25f);

    // Rows are x' = x·m11 + y·m21 + m31, y' = x·m12 + y·m22 + m32; the source stays as it was.
    Transform2D m;
    m.m11 = 0;
    m.m12 = 1;
    m.m21 = -1;
    m.m22 = 0;
    m.m31 = 100;
    start = buffer.Append(3, v.data(), &m);
    out = reinterpret_cast<const Vertex*>(device->Bytes()) + start;
    EXPECT_EQ(out[1].x, 100.0f - 11.0f);
    EXPECT_EQ(out[1].y, 1.0f);
    EXPECT_EQ(v[1].x, 1.0f);
}

TEST_F(DynamicVertexBufferTest, BindSetsTheLayoutAndTheStream)
{
    QuillTest::RecordingDevice recorder;
    CRenderManagerContext context(&recorder, false);
    EXPECT_EQ(buffer.Bind(context, 0), kOk);
    ASSERT_EQ(recorder.calls.size(), 2u);
    EXPECT_EQ(recorder.calls[0].name, "SetFVF");
    EXPECT_EQ(recorder.calls[0].a, kFvfSprite);
    EXPECT_EQ(recorder.calls[1].name, "SetStreamSource");
    EXPECT_EQ(recorder.calls[1].p, device);
    EXPECT_EQ(recorder.calls[1].c, 28u);
}

TEST(DynamicIndexBuffer, WrapsAndFailsLikeTheVertexRing)
{
    CDynamicIndexBuffer buffer(100);
    std::vector<uint16_t> indices(60, 7);
    EXPECT_EQ(buffer.Append(60, indices.data()), kAppendFailed); // no device buffer yet

    RecordingIndexBuffer device(200);
    buffer.SetDeviceBuffer(&device);
    EXPECT_EQ(buffer.Append(60, indices.data()), 0u);
    EXPECT_EQ(buffer.Append(40, indices.data()), 60u);
    EXPECT_EQ(device.locks.back().flags, LockNoOverwrite);
    EXPECT_EQ(device.locks.back().offset, 120u);
    EXPECT_EQ(buffer.Append(1, indices.data()), 0u);
    EXPECT_EQ(device.locks.back().flags, LockDiscard);
    device.refuseLocks = true;
    EXPECT_EQ(buffer.Append(1, indices.data()), kAppendFailed);
    EXPECT_EQ(buffer.GetUsed(), 1u);
    buffer.ReleaseDeviceBuffer();
    EXPECT_EQ(device.refs, 0);
}

TEST(DynamicBufferList, ObjectsUnlinkThemselves)
{
    CDynamicVertexBuffer head(0, 0, 0);
    auto a = std::make_unique<CDynamicVertexBuffer>(10, 28, kFvfSprite);
    auto b = std::make_unique<CDynamicVertexBuffer>(20, 28, kFvfSprite);
    a->LinkAfter(head);
    b->LinkAfter(head);
    EXPECT_EQ(head.Next(), b.get());
    EXPECT_EQ(b->Next(), a.get());
    b.reset();
    EXPECT_EQ(head.Next(), a.get());
    a.reset();
    EXPECT_EQ(head.Next(), nullptr);
}

} // namespace
