// The same scenes on the gl and soft back ends agree within one step per channel.

#include <gtest/gtest.h>

#include "tests/platform/D3dTestSupport.h"

using namespace QuillD3D;
using namespace QuillTest;

namespace {

class D3dCrossBackendTest : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override { ResetFaults(); }
};

TEST_P(D3dCrossBackendTest, GlMatchesSoft)
{
    if (!IsBackendAvailable(Backend::Gl)) {
        GTEST_SKIP() << "no OpenGL 3.3 core context can be made here";
    }
    const std::string scene = GetParam();
    int w = 0, h = 0;
    SceneSize(scene, &w, &h);
    Picture soft, gl;
    {
        D3dPainter painter;
        ASSERT_TRUE(painter.Open(Backend::Soft, w, h));
        DrawScene(scene, painter);
        soft = painter.Read();
    }
    {
        D3dPainter painter;
        ASSERT_TRUE(painter.Open(Backend::Gl, w, h));
        DrawScene(scene, painter);
        gl = painter.Read();
    }
    int x = 0, y = 0;
    const int diff = MaxDifference(soft, gl, false, &x, &y);
    EXPECT_LE(diff, 1) << scene << " differs by " << diff << " at (" << x << ", " << y << "): soft 0x" << std::hex
                       << soft.At(x, y) << ", gl 0x" << gl.At(x, y);
    if (diff > 1 && std::getenv("QUILL_DUMP_CROSS")) {
        WritePng("/tmp/cross_" + scene + "_soft.png", soft);
        WritePng("/tmp/cross_" + scene + "_gl.png", gl);
    }
}

INSTANTIATE_TEST_SUITE_P(Scenes, D3dCrossBackendTest, ::testing::ValuesIn(SceneNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

} // namespace
