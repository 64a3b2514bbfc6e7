// The device-state cache: which state changes reach the device.

#include <gtest/gtest.h>

#include "engine/graphics/render/RenderManagerContext.h"
#include "tests/graphics/render/RenderTestDevice.h"

using namespace QuillEngine;
using namespace QuillD3D;
using QuillTest::RecordingDevice;

namespace {

class RenderContextTest : public ::testing::Test {
protected:
    RecordingDevice device;
    CRenderManagerContext context{&device, false};
};

TEST_F(RenderContextTest, RedundantStatesAreDroppedUnlessForced)
{
    EXPECT_EQ(context.SetRenderState(RsZEnable, 0), kOk); // never set: always sent
    EXPECT_EQ(context.SetRenderState(RsZEnable, 0), kOk);
    EXPECT_EQ(device.Count("SetRenderState"), 1u);
    context.SetRenderState(RsZEnable, 1);
    EXPECT_EQ(device.Count("SetRenderState"), 2u);

    context.SetForce(true);
    context.SetRenderState(RsZEnable, 1);
    EXPECT_EQ(device.Count("SetRenderState"), 3u);
    context.SetForce(false);
    context.SetRenderState(RsZEnable, 1);
    EXPECT_EQ(device.Count("SetRenderState"), 3u);

    // Each table keys on all of its indices.
    context.SetSamplerState(0, SampMagFilter, FilterLinear);
    context.SetSamplerState(1, SampMagFilter, FilterLinear);
    context.SetSamplerState(0, SampMagFilter, FilterLinear);
    EXPECT_EQ(device.Count("SetSamplerState"), 2u);
    context.SetTextureStageState(0, TssColorOp, TopModulate);
    context.SetTextureStageState(0, TssColorArg1, TopModulate);
    context.SetTextureStageState(0, TssColorOp, TopModulate);
    EXPECT_EQ(device.Count("SetTextureStageState"), 2u);
    context.SetFVF(kFvfSprite);
    context.SetFVF(kFvfSprite);
    EXPECT_EQ(device.Count("SetFVF"), 1u);
}

TEST_F(RenderContextTest, BindingsAreComparedByEveryValue)
{
    auto* texture = reinterpret_cast<ITexture*>(0x1000);
    auto* buffer = reinterpret_cast<IVertexBuffer*>(0x2000);
    context.SetTexture(0, texture);
    context.SetTexture(0, texture);
    context.SetTexture(1, texture);
    context.SetTexture(0, nullptr);
    EXPECT_EQ(device.Count("SetTexture"), 3u);

    context.SetStreamSource(0, buffer, 0, 28);
    context.SetStreamSource(0, buffer, 0, 28);
    context.SetStreamSource(0, buffer, 28, 28);
    context.SetStreamSource(0, buffer, 28, 32);
    EXPECT_EQ(device.Count("SetStreamSource"), 3u);
}

TEST_F(RenderContextTest, AfterAResetEveryEntryIsUnknown)
{
    auto* texture = reinterpret_cast<ITexture*>(0x1000);
    context.SetTexture(0, texture);
    context.SetRenderState(RsAlphaBlendEnable, 1);
    const size_t before = device.calls.size();

    context.MarkAllUnknown();
    context.SetTexture(0, texture);
    context.SetRenderState(RsAlphaBlendEnable, 1);
    EXPECT_EQ(device.calls.size(), before + 2);
}

TEST_F(RenderContextTest, ARefusedSetIsNotRemembered)
{
    device.answer = kErrInvalidCall;
    EXPECT_EQ(context.SetRenderState(RsCullMode, CullNone), kErrInvalidCall);
    device.answer = kOk;
    context.SetRenderState(RsCullMode, CullNone);
    EXPECT_EQ(device.Count("SetRenderState"), 2u);
}

TEST_F(RenderContextTest, IndicesOutsideTheTablesGoToTheDeviceEveryTime)
{
    for (int i = 0; i < 2; ++i) {
        context.SetRenderState(CRenderManagerContext::kRenderStates, 1);
        context.SetSamplerState(CRenderManagerContext::kSamplers, SampMagFilter, 1);
        context.SetSamplerState(0, CRenderManagerContext::kSamplerStates, 1);
        context.SetTextureStageState(CRenderManagerContext::kStageStateStages, TssColorOp, 1);
        context.SetTexture(CRenderManagerContext::kTextureStages, nullptr);
        context.SetStreamSource(CRenderManagerContext::kStreams, nullptr, 0, 0);
    }
    EXPECT_EQ(device.Count("SetRenderState"), 2u);
    EXPECT_EQ(device.Count("SetSamplerState"), 4u);
    EXPECT_EQ(device.Count("SetTextureStageState"), 2u);
    EXPECT_EQ(device.Count("SetTexture"), 2u);
    EXPECT_EQ(device.Count("SetStreamSource"), 2u);
}

TEST_F(RenderContextTest, ConstantsAreComparedFloatByFloat)
{
    float regs[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    context.SetVertexShaderConstantF(10, regs, 2);
    context.SetVertexShaderConstantF(10, regs, 2);
    EXPECT_EQ(device.Count("SetVertexShaderConstantF"), 1u);

    regs[7] = 9; // only the eighth float differs
    context.SetVertexShaderConstantF(10, regs, 2);
    EXPECT_EQ(device.Count("SetVertexShaderConstantF"), 2u);
    context.SetVertexShaderConstantF(11, regs + 4, 1); // the cache took the new register
    EXPECT_EQ(device.Count("SetVertexShaderConstantF"), 2u);

    // A range past the cached registers is not cached.
    context.SetPixelShaderConstantF(31, regs, 2);
    context.SetPixelShaderConstantF(31, regs, 2);
    EXPECT_EQ(device.Count("SetPixelShaderConstantF"), 2u);
}

TEST_F(RenderContextTest, TransformSlotsAreCheckedAndNeverSent)
{
    const Transform2D moved = Transform2D::Translation(3, 4);
    Transform2D out = Transform2D::Scale(2, 2);
    EXPECT_EQ(context.SetTransform(1, &moved), kOk);
    EXPECT_EQ(context.GetTransform(1, &out), kOk);
    EXPECT_EQ(out.m31, 3.0f);
    EXPECT_EQ(out.m32, 4.0f);

    EXPECT_EQ(context.SetTransform(3, &moved), kErrInvalidCall);
    EXPECT_EQ(context.GetTransform(3, &out), kErrInvalidCall);
    EXPECT_EQ(context.GetTransform(1, nullptr), kErrInvalidCall);

    EXPECT_EQ(context.SetTransform(1, nullptr), kOk);
    EXPECT_EQ(context.GetTransform(1, &out), kOk);
    EXPECT_EQ(out.m31, 0.0f);
    EXPECT_EQ(out.m11, 1.0f);
    EXPECT_TRUE(device.calls.empty());
}

TEST_F(RenderContextTest, DrawsAndClearsAlwaysReachTheDevice)
{
    for (int i = 0; i < 2; ++i) {
        context.DrawPrimitive(PtTriangleList, 0, 2);
        context.DrawIndexedPrimitive(PtTriangleList, 0, 0, 4, 0, 2);
        context.Clear(0, nullptr, ClearTarget, 0xFF000000u, 1.0f, 0);
    }
    EXPECT_EQ(device.Count("DrawPrimitive"), 2u);
    EXPECT_EQ(device.Count("DrawIndexedPrimitive"), 2u);
    EXPECT_EQ(device.Count("Clear"), 2u);
}

} // namespace
