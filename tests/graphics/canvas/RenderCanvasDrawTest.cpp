// Render canvases drawn on the software device: shapes and textured rectangles reach the target
// under the given transform, in the shared buffers, and a clear-after-render canvas draws once.

#include <gtest/gtest.h>

#include <memory>

#include "engine/graphics/text/FontManager.h"
#include "engine/graphics/canvas/RenderCanvasManager.h"
#include "engine/graphics/text/TextRenderer.h"
#include "tests/graphics/text/FontTestSupport.h"
#include "tests/graphics/render/TextureTestSupport.h"

using namespace QuillEngine;

namespace {

constexpr uint32_t kBackground = 0xFF404040u;
constexpr uint32_t kRed = 0xFFFF0000u;
constexpr uint32_t kGreen = 0xFF00FF00u;

class RenderCanvasDrawTest : public QuillTest::TextureRendererTest {
protected:
    void SetUp() override
    {
        TextureRendererTest::SetUp();
        ASSERT_NE(renderer->GetCanvasManager(), nullptr);
        canvas = renderer->GetCanvasManager()->CreateCanvas();
    }
    void TearDown() override
    {
        canvas.reset();
        TextureRendererTest::TearDown();
    }

    QuillTest::TargetPicture DrawOnce(const Transform2D& transform, uint32_t list = 1)
    {
        BeginScene(kBackground);
        canvas->Render(transform, list);
        EndScene();
        return ReadTarget();
    }

    std::unique_ptr<CRenderCanvas> canvas;
};

TEST_F(RenderCanvasDrawTest, ShapesAndTexturesReachTheTargetUnderTheTransform)
{
    const uint32_t green = SolidTexture(4, 4, kGreen, kGreen);
    ASSERT_NE(green, 0u);
    canvas->DrawRect(10, 10, 20, 20, kRed, true);
    canvas->DrawTexturedRect(50, 10, 20, 20, 0xFFFFFFFFu, green, nullptr);
    canvas->DrawLine({10, 50}, {70, 50}, kRed);

    QuillTest::TargetPicture pic = DrawOnce(Transform2D::Identity());
    ASSERT_GT(pic.width, 100u);
    EXPECT_EQ(pic.At(20, 20), kRed);
    EXPECT_EQ(pic.At(60, 20), kGreen);
    EXPECT_EQ(pic.At(40, 50), kRed);
    EXPECT_EQ(pic.At(5, 5), kBackground);
    EXPECT_EQ(pic.At(40, 20), kBackground);

    // List 0 holds nothing; a translation moves everything.
    pic = DrawOnce(Transform2D::Identity(), 0);
    EXPECT_EQ(pic.At(20, 20), kBackground);
    pic = DrawOnce(Transform2D::Translation(100, 100));
    EXPECT_EQ(pic.At(120, 120), kRed);
    EXPECT_EQ(pic.At(160, 120), kGreen);
    EXPECT_EQ(pic.At(20, 20), kBackground);

    // An invisible canvas draws nothing but keeps its shapes.
    canvas->SetVisible(false);
    pic = DrawOnce(Transform2D::Identity());
    EXPECT_EQ(pic.At(20, 20), kBackground);
    EXPECT_FALSE(canvas->IsEmpty());
}

TEST_F(RenderCanvasDrawTest, AClearAfterRenderCanvasShowsItsShapesForOneRender)
{
    canvas->SetClearAfterRender(true);
    canvas->DrawCircle({40, 40}, 15, kRed, true, 24);
    EXPECT_EQ(DrawOnce(Transform2D::Identity()).At(40, 40), kRed);
    EXPECT_EQ(DrawOnce(Transform2D::Identity()).At(40, 40), kBackground);
}

TEST_F(RenderCanvasDrawTest, ReleasingTheDeviceObjectsClearsTheCanvases)
{
    canvas->DrawRect(10, 10, 20, 20, kRed, true);
    renderer->GetCanvasManager()->ReleaseDeviceObjects();
    EXPECT_TRUE(canvas->IsEmpty());
}

TEST_F(RenderCanvasDrawTest, TextUsesOneConsoleFontPerSizeAndDrawsItsRenderedString)
{
    QuillTest::WriteFontFolder(folder, "<fonts><file src=\"DejaVuSansMono.ttf\"/>"
                                       "<alias><from name=\"Lucida Console\"/><to name=\"DejaVu Sans Mono\"/></alias>"
                                       "</fonts>");
    TextRenderer& text = *renderer->GetTextRenderer();
    text.GetFontManager()->LoadConfiguration();
    CRenderCanvasManager& manager = *renderer->GetCanvasManager();

    const int32_t font = manager.GetConsoleFont(&text, 16);
    ASSERT_GE(font, 0);
    EXPECT_EQ(manager.GetConsoleFont(&text, 16), font);
    EXPECT_EQ(manager.GetConsoleFont(&text, 128), -1);
    EXPECT_EQ(manager.GetConsoleFont(&text, -1), -1);

    int32_t w = 0, h = 0;
    canvas->MeasureText(w, h, 16, u"WWWW");
    EXPECT_GT(w, 20);
    EXPECT_GT(h, 10);
    canvas->DrawText({100, 100}, 16, 0xFFFFFFFFu, u"WWWW");
    const auto& batches = canvas->GetList(1);
    ASSERT_EQ(batches.size(), 1u);
    EXPECT_NE(batches[0].texture, 0u);
    EXPECT_FLOAT_EQ(canvas->Vertices()[2].x, 100.0f + float(w));
    EXPECT_FLOAT_EQ(canvas->Vertices()[2].y, 100.0f + float(h));

    // Some texel inside the string's box is lit; outside it stays the background.
    const QuillTest::TargetPicture pic = DrawOnce(Transform2D::Identity());
    int lit = 0;
    for (int y = 100; y < 100 + h; ++y)
        for (int x = 100; x < 100 + w; ++x)
            lit += pic.At(x, y) != kBackground;
    EXPECT_GT(lit, 10);
    EXPECT_EQ(pic.At(90, 90), kBackground);
}

} // namespace
