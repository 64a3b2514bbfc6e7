#include "engine/graphics/scene/Definition_Image.h"

#include <gtest/gtest.h>

#include "engine/core/xml/XmlNode.h"

using namespace QuillEngine;

namespace {

// Loads an image element with the given `bi` (none when null); false when the load fails.
bool LoadImage(const char* rect, Definition_Image& image)
{
    std::string xml = "<Definition type=\"image\" name=\"I\" src=\"Pictures\\Tile.tga\"";
    if (rect)
        xml += std::string(" bi=\"") + rect + "\"";
    auto doc = XmlNode::ParseDocument(xml + "/>", false);
    EXPECT_TRUE(doc);
    return doc && image.Load(*doc);
}

Vec2 Map(const Transform2D& m, float x, float y)
{
    Vec2 out;
    TransformPoint(out, Vec2{x, y}, m);
    return out;
}

} // namespace

TEST(DefinitionImageTest, AtlasNumbersAreReadInTheirOrder)
{
    Definition_Image image(nullptr);
    ASSERT_TRUE(LoadImage(" 10 20  30\t40 5 6 7 0x8 ", image));
    EXPECT_EQ(image.GetType(), Definition_Base::Type_Image);
    EXPECT_EQ(image.GetSource(), u"Pictures\\Tile.tga");
    EXPECT_TRUE(image.HasAtlasRect());
    EXPECT_EQ(image.GetInstanceWidth(), 10u);
    EXPECT_EQ(image.GetInstanceHeight(), 20u);
    EXPECT_EQ(image.GetSourceWidth(), 30u);
    EXPECT_EQ(image.GetSourceHeight(), 40u);
    EXPECT_EQ(image.GetSourceX(), 5u);
    EXPECT_EQ(image.GetSourceY(), 6u);
    EXPECT_EQ(image.GetOffsetX(), 7u);
    EXPECT_EQ(image.GetOffsetY(), 8u);

    Definition_Image whole(nullptr);
    ASSERT_TRUE(LoadImage(nullptr, whole));
    EXPECT_FALSE(whole.HasAtlasRect());
    EXPECT_EQ(whole.GetSourceWidth() + whole.GetSourceX() + whole.GetOffsetY() + whole.GetInstanceHeight(), 0u);

    for (const char* bad : {"10 20 30 40 5 6 7", "10 20 30 40 5 6 7 8 9", "", "10 20 30 40 5 6 7 8px",
                            "10,20,30,40,5,6,7,8", "10 20 30 40 5 6 7 x"}) {
        Definition_Image refused(nullptr);
        EXPECT_FALSE(LoadImage(bad, refused)) << bad;
    }
    auto doc = XmlNode::ParseDocument("<Definition type=\"image\" name=\"I\"/>", false);
    Definition_Image noSource(nullptr);
    EXPECT_FALSE(noSource.Load(*doc));
}

TEST(DefinitionImageTest, AnAtlasRectangleIsPlacedAtItsOffset)
{
    Definition_Image image(nullptr);
    ASSERT_TRUE(LoadImage("10 20 30 40 5 6 7 8", image));
    ImagePlacement placement;
    ASSERT_TRUE(image.ComputePlacement(50, 60, 64, 128, placement));
    EXPECT_EQ(placement.width, 10);
    EXPECT_EQ(placement.height, 20);
    const Vec2 topLeft = Map(placement.quadMatrix, -0.5f, -0.5f);
    const Vec2 bottomRight = Map(placement.quadMatrix, 0.5f, 0.5f);
    EXPECT_FLOAT_EQ(topLeft.x, 7.0f);
    EXPECT_FLOAT_EQ(topLeft.y, 8.0f);
    EXPECT_FLOAT_EQ(bottomRight.x, 37.0f);
    EXPECT_FLOAT_EQ(bottomRight.y, 48.0f);
    EXPECT_FLOAT_EQ(placement.left, 5.0f / 64);
    EXPECT_FLOAT_EQ(placement.top, 6.0f / 128);
    EXPECT_FLOAT_EQ(placement.right, 35.0f / 64);
    EXPECT_FLOAT_EQ(placement.bottom, 46.0f / 128);
}

TEST(DefinitionImageTest, AWholePictureFillsItsPartOfTheTexture)
{
    Definition_Image image(nullptr);
    ASSERT_TRUE(LoadImage(nullptr, image));
    ImagePlacement placement;
    ASSERT_TRUE(image.ComputePlacement(40, 30, 64, 32, placement));
    EXPECT_EQ(placement.width, 40);
    EXPECT_EQ(placement.height, 30);
    const Vec2 topLeft = Map(placement.quadMatrix, -0.5f, -0.5f);
    const Vec2 bottomRight = Map(placement.quadMatrix, 0.5f, 0.5f);
    EXPECT_FLOAT_EQ(topLeft.x, 0.0f);
    EXPECT_FLOAT_EQ(topLeft.y, 0.0f);
    EXPECT_FLOAT_EQ(bottomRight.x, 40.0f);
    EXPECT_FLOAT_EQ(bottomRight.y, 30.0f);
    EXPECT_FLOAT_EQ(placement.left, 0.0f);
    EXPECT_FLOAT_EQ(placement.right, 40.0f / 64);
    EXPECT_FLOAT_EQ(placement.bottom, 30.0f / 32);

    EXPECT_FALSE(image.ComputePlacement(40, 30, 0, 32, placement)) << "no division by a zero texture size";

    // An atlas entry with a zero instance width counts as the whole picture.
    Definition_Image zeroWidth(nullptr);
    ASSERT_TRUE(LoadImage("0 20 30 40 5 6 7 8", zeroWidth));
    ASSERT_TRUE(zeroWidth.ComputePlacement(40, 30, 64, 32, placement));
    EXPECT_EQ(placement.width, 40);
    EXPECT_FLOAT_EQ(placement.left, 0.0f);
}

// Pixel readback copies rows of the texture into a buffer of the instance's size; numbers from
// the file must never make it read outside the texture or write outside the buffer.
TEST(DefinitionImageTest, PixelCopiesStayInsideTextureAndBuffer)
{
    Definition_Image image(nullptr);
    ASSERT_TRUE(LoadImage("40 50 30 40 5 6 7 8", image));
    ImagePixelCopy copy = image.ComputePixelCopy(64, 64, 40, 50);
    EXPECT_EQ(copy.sourceX, 5u);
    EXPECT_EQ(copy.sourceY, 6u);
    EXPECT_EQ(copy.destX, 7u);
    EXPECT_EQ(copy.destY, 8u);
    EXPECT_EQ(copy.width, 30u);
    EXPECT_EQ(copy.height, 40u);

    copy = image.ComputePixelCopy(20, 64, 40, 50);
    EXPECT_EQ(copy.width, 15u) << "the rectangle is cut at the texture's right edge";
    copy = image.ComputePixelCopy(64, 64, 20, 30);
    EXPECT_EQ(copy.width, 13u) << "and at the buffer's right edge";
    EXPECT_EQ(copy.height, 22u);

    Definition_Image outside(nullptr);
    ASSERT_TRUE(LoadImage("40 50 0xFFFFFFFF 0xFFFFFFFF 0xFFFFFFF0 6 7 8", outside));
    copy = outside.ComputePixelCopy(64, 64, 40, 50);
    EXPECT_EQ(copy.width, 0u);
    EXPECT_EQ(copy.height, 0u);
    Definition_Image huge(nullptr);
    ASSERT_TRUE(LoadImage("40 50 0xFFFFFFFF 0xFFFFFFFF 1 1 0 0", huge));
    copy = huge.ComputePixelCopy(64, 64, 40, 50);
    EXPECT_EQ(copy.width, 40u);
    EXPECT_EQ(copy.height, 50u);

    Definition_Image whole(nullptr);
    ASSERT_TRUE(LoadImage(nullptr, whole));
    copy = whole.ComputePixelCopy(64, 32, 40, 50);
    EXPECT_EQ(copy.width, 40u);
    EXPECT_EQ(copy.height, 32u);
}
