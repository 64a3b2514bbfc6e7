// Image instances made from definitions and drawn by the tree through the quad batcher on the
// software device.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "engine/core/resources/ResourceCache.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/scene/Instance_Image.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/UserInterface.h"
#include "engine/graphics/canvas/RenderCanvas.h"
#include "tests/graphics/render/RenderTestFixture.h"

using namespace QuillEngine;

namespace {

constexpr uint32_t kGrey = 0xFF606060u;
constexpr uint32_t kRed = 0xFFFF0000u;
constexpr uint32_t kBlue = 0xFF0000FFu;
constexpr uint32_t kWhite = 0xFFFFFFFFu;

// An uncompressed 32-bit picture, rows top down, from ARGB texels.
std::string MakeTga(uint32_t w, uint32_t h, const std::vector<uint32_t>& argb)
{
    std::string file(18, '\0');
    file[2] = 2;
    file[12] = char(w & 0xFF);
    file[13] = char(w >> 8);
    file[14] = char(h & 0xFF);
    file[15] = char(h >> 8);
    file[16] = 32;
    for (uint32_t texel : argb)
        for (int shift = 0; shift < 32; shift += 8)
            file.push_back(char((texel >> shift) & 0xFF));
    return file;
}

// 8 x 8: the left half red, the right half blue.
std::vector<uint32_t> HalvesPicture()
{
    std::vector<uint32_t> texels(64);
    for (uint32_t i = 0; i < 64; ++i)
        texels[i] = (i % 8) < 4 ? kRed : kBlue;
    return texels;
}

bool Near(uint32_t a, uint32_t b, int tolerance)
{
    for (int shift = 0; shift < 24; shift += 8)
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance)
            return false;
    return true;
}

class InstanceImageTest : public QuillTest::RendererTest {
protected:
    void SetUp() override
    {
        RendererTest::SetUp();
        WriteData("halves.tga", MakeTga(8, 8, HalvesPicture()));
        WriteData("white.tga", MakeTga(4, 4, std::vector<uint32_t>(16, kWhite)));
        cache = std::make_unique<ResourceCache>();
        ui = std::make_unique<UserInterface>();
        ASSERT_TRUE(ui->CreateRoot());
        ui->SetScreenSize(800, 600);
        root = ui->GetRoot();
        DefinitionLibrary* library = ui->GetDefinitionLibrary();
        ASSERT_TRUE(library->AddImageDefinition(u"Halves", u"halves.tga"));
        ASSERT_TRUE(library->AddImageDefinition(u"White", u"white.tga"));
        ASSERT_TRUE(library->AddImageDefinition(u"Missing", u"nowhere.tga"));
        CRenderManager& r = MakeRenderer();
        r.SetDevicePreferences(true, false);
        r.SetClearColor(kGrey);
        ASSERT_TRUE(r.Init(nullptr, false));
    }
    void TearDown() override
    {
        ui.reset(); // images give their textures back to the cache
        cache.reset();
        RendererTest::TearDown();
    }

    uint32_t Pixel(int x, int y) { return PresentedPixel(renderer->GetDevice(), x, y); }
    void Frame() { renderer->RenderFrame(true); }

    Instance_Image* Image(const String& definition, Instance_Movie& parent, const String& name, float x, float y,
                          float scale)
    {
        Instance_Image* image = HandleEx::ResolveImage(parent.CreateChild(definition, name));
        EXPECT_NE(image, nullptr);
        if (image) {
            image->SetPosition(x, y);
            image->SetScale(scale, scale);
        }
        return image;
    }

    std::unique_ptr<ResourceCache> cache;
    std::unique_ptr<UserInterface> ui;
    Instance_Movie* root = nullptr;
};

} // namespace

TEST_F(InstanceImageTest, AnImageFromADefinitionDrawsItsPictureWhereItsTransformPutsIt)
{
    Instance_Image* image = Image(u"Halves", *root, u"h", 100, 100, 4);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->GetDefinitionName(), u"Halves");
    EXPECT_EQ(image->GetImageWidth(), 8);
    EXPECT_FLOAT_EQ(image->GetWidth(), 32);
    Frame();
    EXPECT_EQ(Pixel(100, 100), kRed);
    EXPECT_EQ(Pixel(110, 131), kRed); // scaled, so filtered: away from where the halves meet
    EXPECT_EQ(Pixel(122, 100), kBlue);
    EXPECT_EQ(Pixel(131, 131), kBlue);
    EXPECT_EQ(Pixel(99, 110), kGrey);
    EXPECT_EQ(Pixel(132, 110), kGrey);
    EXPECT_EQ(Pixel(110, 132), kGrey);

    // Turned half round about its centre: the halves swap sides.
    image->SetRegistrationPoint(4, 4);
    image->SetRotation(3.14159265f);
    image->SetPosition(116, 116);
    Frame();
    EXPECT_EQ(Pixel(102, 110), kBlue);
    EXPECT_EQ(Pixel(129, 110), kRed);

    // A hit on the image names the movie it belongs to.
    EXPECT_EQ(root->HitTestGlobal(110, 110, false, true, nullptr), ui->GetRootHandle());
    EXPECT_TRUE(root->HitTestGlobal(140, 110, false, true, nullptr).IsEmpty());
}

TEST_F(InstanceImageTest, OpacityAndVisibilityAreInheritedAndTheColourTints)
{
    Instance_Movie* movie = HandleEx::ResolveMovie(root->CreateEmptyChild(u"m"));
    ASSERT_NE(movie, nullptr);
    Instance_Image* image = Image(u"White", *movie, u"w", 10, 10, 10);
    ASSERT_NE(image, nullptr);
    Frame();
    EXPECT_EQ(Pixel(20, 20), kWhite);

    movie->SetOpacity(0.5f);
    image->SetOpacity(0.5f);
    Frame();
    // A quarter of white over three quarters of grey.
    EXPECT_TRUE(Near(Pixel(20, 20), 0xFF888888u, 2)) << std::hex << Pixel(20, 20);

    movie->SetOpacity(1);
    image->SetOpacity(1);
    image->SetColorRGB(255, 0, 0);
    Frame();
    EXPECT_EQ(Pixel(20, 20), kRed);

    movie->SetVisible(false);
    Frame();
    EXPECT_EQ(Pixel(20, 20), kGrey);
    movie->SetVisible(true);
    image->SetVisible(false);
    Frame();
    EXPECT_EQ(Pixel(20, 20), kGrey);
    image->SetVisible(true);

    // An opacity beyond 1 stays opaque rather than wrapping round to transparent.
    image->SetOpacity(2.5f);
    Frame();
    EXPECT_EQ(Pixel(20, 20), kRed);
}

TEST_F(InstanceImageTest, LaterChildrenDrawOverEarlierOnesAndDrawOrderMovesChangeThat)
{
    Instance_Image* red = Image(u"White", *root, u"red", 0, 0, 10);
    Instance_Image* blue = Image(u"White", *root, u"blue", 20, 0, 10);
    red->SetColor(0xFF0000);
    blue->SetColor(0x0000FF);
    Frame();
    EXPECT_EQ(Pixel(30, 5), kBlue);
    EXPECT_EQ(Pixel(10, 5), kRed);
    red->MoveToFront();
    Frame();
    EXPECT_EQ(Pixel(30, 5), kRed);
    EXPECT_EQ(Pixel(50, 5), kBlue);
}

TEST_F(InstanceImageTest, AMovieDropShadowDrawsEachImageOnceMoreOffsetUnderneath)
{
    Instance_Movie* movie = HandleEx::ResolveMovie(root->CreateEmptyChild(u"m"));
    Instance_Image* image = Image(u"White", *movie, u"w", 100, 100, 10);
    ASSERT_NE(image, nullptr);
    image->SetDropShadow(8, 8, 0xFF000000u); // on the image alone: nothing on screen
    Frame();
    EXPECT_EQ(Pixel(145, 145), kGrey);

    movie->SetDropShadow(8, 8, 0xFF000000u);
    Frame();
    EXPECT_EQ(Pixel(145, 145), 0xFF000000u); // the shadow
    EXPECT_EQ(Pixel(135, 135), kWhite);      // the image over its shadow
    EXPECT_EQ(Pixel(103, 145), kGrey);
}

// A child's canvas draws under the child (list 0) and over it (list 1), under its transform.
TEST_F(InstanceImageTest, ACanvasDrawsUnderAndOverItsInstance)
{
    Instance_Movie* movie = HandleEx::ResolveMovie(root->CreateEmptyChild(u"m"));
    ASSERT_NE(movie, nullptr);
    movie->SetPosition(100, 100);
    ASSERT_NE(Image(u"White", *movie, u"w", 0, 0, 10), nullptr); // 100..140
    Image(u"White", *root, u"later", 300, 300, 1);                // quads after the canvas: order kept
    CRenderCanvas* canvas = movie->GetCanvas(true);
    ASSERT_NE(canvas, nullptr);
    EXPECT_EQ(movie->GetCanvas(false), canvas);
    canvas->SetTargetList(0);
    canvas->DrawRect(-10, -10, 60, 60, 0xFF00FF00u, true);
    canvas->SetTargetList(1);
    canvas->DrawRect(0, 0, 20, 20, kBlue, true);
    Frame();
    EXPECT_EQ(Pixel(95, 95), 0xFF00FF00u) << "under the movie, around its picture";
    EXPECT_EQ(Pixel(130, 130), kWhite) << "the picture over list 0";
    EXPECT_EQ(Pixel(110, 110), kBlue) << "list 1 over the picture";
    EXPECT_EQ(Pixel(301, 301), kWhite);
    movie->SetVisible(false);
    Frame();
    EXPECT_EQ(Pixel(95, 95), kGrey) << "a hidden instance hides its canvas";
}

TEST_F(InstanceImageTest, MoviesWhollyOffTheScreenAreSkippedAndOthersDrawn)
{
    Instance_Movie* off = HandleEx::ResolveMovie(root->CreateEmptyChild(u"off"));
    Image(u"White", *off, u"w", 0, 0, 10);
    off->SetPosition(-100, 0);
    Instance_Movie* edge = HandleEx::ResolveMovie(root->CreateEmptyChild(u"edge"));
    Image(u"White", *edge, u"w", 0, 0, 10);
    edge->SetPosition(-20, 50);
    QuadBatcher* batcher = renderer->GetBatcher();
    batcher->DropPending();
    root->Render(Transform2D::Identity(), 1.0f);
    EXPECT_EQ(batcher->PendingVertices(), 4u); // one quad reached the batcher
    batcher->DropPending();
    Frame();
    EXPECT_EQ(Pixel(10, 60), kWhite);
    EXPECT_EQ(Pixel(10, 5), kGrey);
}

TEST_F(InstanceImageTest, ReadPixelsCopiesThePictureOrTheAtlasRectangle)
{
    Instance_Image* image = Image(u"Halves", *root, u"h", 0, 0, 1);
    uint32_t w = 0, h = 0;
    auto pixels = image->ReadPixels(w, h);
    ASSERT_TRUE(pixels);
    EXPECT_EQ(w, 8u);
    EXPECT_EQ(h, 8u);
    EXPECT_EQ(pixels[0], kRed);
    EXPECT_EQ(pixels[7 * 8 + 7], kBlue);

    // An atlas rectangle: the 4 x 4 blue half, placed at (1, 1) in a 6 x 6 image.
    auto doc = XmlNode::ParseDocument(
        "<Library><Definition type=\"image\" name=\"Atlas\" src=\"halves.tga\" bi=\"6 6 4 4 4 0 1 1\"/></Library>",
        false);
    ASSERT_TRUE(doc);
    int32_t added = 0, existing = 0;
    ASSERT_TRUE(ui->GetDefinitionLibrary()->ImportLibrary(*doc, nullptr, added, existing));
    Instance_Image* atlas = Image(u"Atlas", *root, u"a", 200, 200, 1);
    ASSERT_NE(atlas, nullptr);
    EXPECT_EQ(atlas->GetImageWidth(), 6);
    auto cut = atlas->ReadPixels(w, h);
    ASSERT_TRUE(cut);
    EXPECT_EQ(w, 6u);
    EXPECT_EQ(cut[0], 0u);
    EXPECT_EQ(cut[1 * 6 + 1], kBlue);
    EXPECT_EQ(cut[4 * 6 + 4], kBlue);
    EXPECT_EQ(cut[5 * 6 + 5], 0u);
    Frame();
    EXPECT_EQ(Pixel(201, 201), kBlue);
    EXPECT_EQ(Pixel(204, 204), kBlue);
    EXPECT_EQ(Pixel(200, 200), kGrey);
    EXPECT_EQ(Pixel(205, 205), kGrey);

    // Once the texture is gone from the cache there is nothing to read.
    cache->UnloadAll();
    EXPECT_FALSE(image->ReadPixels(w, h));
}

TEST_F(InstanceImageTest, AMissingPictureGivesAnEmptyImageThatDrawsNothing)
{
    Instance_Image* image = Image(u"Missing", *root, u"x", 10, 10, 1);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->GetImageWidth(), 0);
    uint32_t w = 0, h = 0;
    EXPECT_FALSE(image->ReadPixels(w, h));
    Frame();
    EXPECT_EQ(Pixel(10, 10), kGrey);
    EXPECT_TRUE(root->CreateChild(u"NoSuchDefinition", u"y").IsEmpty());
}
