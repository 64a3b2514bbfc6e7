#include "engine/graphics/image/PictureLoader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "engine/core/files/FSCompressedSource.h"
#include "engine/core/files/FSLooseFiles.h"
#include "engine/core/files/FileManager.h"
#include "tests/graphics/image/PictureTestFiles.h"
#include "tests/support/MemoryFileSource.h"
#include "tests/support/TestEnvironment.h"

using namespace QuillEngine;
using namespace PictureTest;

namespace {

constexpr uint32_t kMax = 4096;

struct PictureLoaderTest : ::testing::Test {
    FileManager files;
    QuillTest::MemoryFileSource* source = new QuillTest::MemoryFileSource;

    void SetUp() override { ASSERT_TRUE(files.AddSource(source)); }
    void Put(const char* name, const char* file)
    {
        const std::vector<uint8_t> bytes = ReadPicture(file);
        source->Put(Widen(name), std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }
};

TEST(PictureFormatTest, LastThreeCharactersExactly)
{
    EXPECT_EQ(PictureFormatOf(u"Pictures\\Tile.tga"), PictureFormat::Tga);
    EXPECT_EQ(PictureFormatOf(u"a.png"), PictureFormat::Png);
    EXPECT_EQ(PictureFormatOf(u"a.jpg"), PictureFormat::Jpeg);
    EXPECT_EQ(PictureFormatOf(u"a.TGA"), PictureFormat::Unknown);
    EXPECT_EQ(PictureFormatOf(u"a.Png"), PictureFormat::Unknown);
    EXPECT_EQ(PictureFormatOf(u"a.jpeg"), PictureFormat::Unknown);
    EXPECT_EQ(PictureFormatOf(u"pg"), PictureFormat::Unknown);
    EXPECT_EQ(AlphaPairBase(u"Pictures\\Lamp.png"), u"Pictures\\Lamp");
    EXPECT_EQ(AlphaPairBase(u"art.v2\\Lamp.png"), u"art");
    EXPECT_EQ(AlphaPairBase(u"NoDot"), u"NoDot");
}

TEST_F(PictureLoaderTest, UpperCaseTgaIsRefusedEvenThoughTheFileIsFine)
{
    Put("tile.tga", "tile.tga");
    Put("tile.TGA", "tile.tga");
    Image image;
    EXPECT_TRUE(LoadPicture(files, u"tile.tga", kMax, image));
    EXPECT_EQ(image.width, 64u);
    EXPECT_FALSE(LoadPicture(files, u"tile.TGA", kMax, image));
    EXPECT_TRUE(image.Empty());
    EXPECT_EQ(source->reads[u"tile.TGA"], 0);
    EXPECT_FALSE(LoadPicture(files, u"missing.tga", kMax, image));
}

TEST_F(PictureLoaderTest, PngRequestLoadsTheAlphaPairWithoutReadingThePng)
{
    Put("Pictures\\Lamp.png", "pair300.png");
    Put("Pictures\\Lamp.jpg", "pair300.jpg");
    Put("Pictures\\Lamp.bmp", "pair300.bmp");
    Image image;
    ASSERT_TRUE(LoadPicture(files, u"Pictures\\Lamp.png", kMax, image));
    EXPECT_EQ(image.width, 300u);
    EXPECT_EQ(image.height, 200u);
    EXPECT_TRUE(image.hasAlpha);
    EXPECT_EQ(image.Pixel(150, 100) >> 24, 255u);
    EXPECT_EQ(image.Pixel(2, 2) >> 24, 128u);
    EXPECT_EQ(source->reads[u"Pictures\\Lamp.png"], 0);

    // A ".jpg" request takes the same pair.
    ASSERT_TRUE(LoadPicture(files, u"Pictures\\Lamp.jpg", kMax, image));
    EXPECT_EQ(image.Pixel(2, 150) >> 24, 0u);
}

TEST_F(PictureLoaderTest, FallsBackToThePlainLoaderWhenThePairIsMissingOrBad)
{
    // A dot in the folder name cuts the pair's base there: "art" + ".jpg" does not exist.
    Put("art.v2\\Lamp.png", "pair300.png");
    Put("art.v2\\Lamp.jpg", "pair300.jpg");
    Put("art.v2\\Lamp.bmp", "pair300.bmp");
    Image image;
    ASSERT_TRUE(LoadPicture(files, u"art.v2\\Lamp.png", kMax, image));
    EXPECT_EQ(image.width, 16u) << "the PNG itself";
    EXPECT_EQ(image.Pixel(3, 3), 0xFFFF0000u);
    ASSERT_TRUE(LoadPicture(files, u"art.v2\\Lamp.jpg", kMax, image));
    EXPECT_EQ(image.width, 300u);
    EXPECT_FALSE(image.hasAlpha);

    // A mask of the wrong size: the pair fails, the plain loaders run.
    Put("Sign.jpg", "plain.jpg");
    Put("Sign.bmp", "pair300.bmp");
    Put("Sign.png", "badge.png");
    ASSERT_TRUE(LoadPicture(files, u"Sign.jpg", kMax, image));
    EXPECT_EQ(image.width, 64u);
    EXPECT_FALSE(image.hasAlpha);
    ASSERT_TRUE(LoadPicture(files, u"Sign.png", kMax, image));
    EXPECT_EQ(image.width, 96u);

    // A lone BMP without its JPEG is no pair.
    Put("Solo.bmp", "pair300.bmp");
    EXPECT_FALSE(LoadPicture(files, u"Solo.png", kMax, image));
}

TEST(PictureSetTest, TestPicturesLoadOrFailAsIntended)
{
    FileManager files;
    ASSERT_TRUE(files.AddSource(new FSLooseFiles(FromUtf8(PictureDir().string() + "/"), u"test")));
    struct Case {
        const char* name;
        bool loads;
        uint32_t width, height;
    };
    const Case cases[] = {
        {"tile.tga", true, 64, 32},     {"badge.png", true, 96, 80},     {"badge_adam7.png", true, 96, 80},
        {"plain.jpg", true, 64, 48},    {"pair300.png", true, 300, 200}, {"pair300.jpg", true, 300, 200},
        {"shouty.TGA", false, 0, 0},    {"flat24.tga", false, 0, 0},     {"wide300.tga", false, 0, 0},
        {"grey.jpg", false, 0, 0},      {"opaque24.png", false, 0, 0},   {"deep16.png", false, 0, 0},
        {"truncated.jpg", false, 0, 0}, {"corrupt.png", false, 0, 0},    {"pair300.bmp", false, 0, 0},
    };
    for (const Case& c : cases) {
        Image image;
        EXPECT_EQ(LoadPicture(files, Widen(c.name), kMax, image), c.loads) << c.name;
        EXPECT_EQ(image.width, c.width) << c.name;
        EXPECT_EQ(image.height, c.height) << c.name;
    }
}

TEST(PictureSetTest, GamePicturesLoadAndRefusedOnesFail)
{
    namespace fs = std::filesystem;
    const fs::path root = QuillTest::SourceRoot() / "data" / "input";
    FileManager files;
    ASSERT_TRUE(files.AddSource(new FSLooseFiles(FromUtf8(root.string() + "/"), u"data")));
    int loaded = 0, refused = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root / "Pictures")) {
        if (!entry.is_regular_file() || entry.path().extension() == ".bmp")
            continue;
        const std::string name = fs::relative(entry.path(), root).string();
        const bool shouldLoad = name.find("Refused") == std::string::npos;
        Image image;
        EXPECT_EQ(LoadPicture(files, FromUtf8(name), kMax, image), shouldLoad) << name;
        (shouldLoad ? loaded : refused)++;
    }
    EXPECT_GE(loaded, 6);
    EXPECT_GE(refused, 6);
}

// The packed game data, looked up the way data files name pictures (backslashes, any case).
TEST(PictureSetTest, PicturesLoadFromTheDataArchive)
{
    const auto bin = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    if (!std::filesystem::exists(bin / "data.dat"))
        GTEST_SKIP() << "the data archives are not built (target quill_data)";
    FileManager files;
    ASSERT_TRUE(files.AddSource(new FSCompressedSource(FromUtf8((bin / "data.dat").string()), u"data")));
    Image image;
    ASSERT_TRUE(LoadPicture(files, u"pictures\\lantern.png", kMax, image)) << "the pair, found ignoring case";
    EXPECT_EQ(image.width, 120u);
    EXPECT_EQ(image.height, 90u);
    EXPECT_EQ(image.Pixel(60, 45) >> 24, 255u);
    EXPECT_EQ(image.Pixel(5, 5) >> 24, 128u);
    EXPECT_EQ(image.Pixel(5, 60) >> 24, 0u);
    ASSERT_TRUE(LoadPicture(files, u"Pictures\\Tile.tga", kMax, image));
    EXPECT_EQ(image.width, 64u);
    EXPECT_FALSE(LoadPicture(files, u"Pictures\\Refused\\Shouty.TGA", kMax, image));
}

} // namespace
