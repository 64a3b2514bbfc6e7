// The packed content as the board and the panel use it: every scene the catalogue names mounts from
// its own archive, its board movie holds a picture for every item of its item file, each item
// shows enough of itself to be found while many are partly hidden among decoys, each scene can
// fill the find lists its photos ask for, and the interface pictures keep the sizes their
// definitions are written against.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <filesystem>
#include <map>
#include <set>

#include "engine/core/files/FSCompressedSource.h"
#include "engine/core/files/FileManager.h"
#include "engine/core/strings/EngineString.h"
#include "engine/core/strings/StringUtil.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/image/PictureLoader.h"
#include "engine/graphics/scene/DefinitionLibrary.h"
#include "engine/graphics/scene/Definition_Image.h"
#include "engine/graphics/scene/Definition_Movie.h"

using namespace QuillEngine;

namespace {

constexpr uint32_t kMax = 4096;

std::filesystem::path BinDir()
{
    return std::filesystem::read_symlink("/proc/self/exe").parent_path();
}

String Attribute(const XmlNode& node, StringView name)
{
    String value;
    node.GetAttribute(name, value);
    return value;
}

// Loads the picture of a library track that must be an image.
bool LoadTrackPicture(FileManager& files, const Definition_Movie& movie, int32_t track, Image& image)
{
    const Definition_Base* definition = movie.ResolveTrackDefinition(track);
    if (!definition || definition->GetType() != Definition_Base::Type_Image)
        return false;
    const auto* picture = static_cast<const Definition_Image*>(definition);
    return LoadPicture(files, picture->GetSource(), kMax, image);
}

// The board counts a click on an item where the item's alpha is above this; a pixel drawn above it
// hides it (from the eye and from the pointer) from the second on.
constexpr uint32_t kHitAlpha = 60, kOpaqueAlpha = 200;

struct AlphaCounts {
    size_t clear = 0, hit = 0, opaque = 0, total = 0;
};

AlphaCounts CountAlpha(const Image& image)
{
    AlphaCounts counts;
    for (uint32_t y = 0; y < image.height; ++y)
        for (uint32_t x = 0; x < image.width; ++x) {
            const uint32_t alpha = image.Pixel(x, y) >> 24;
            counts.clear += alpha == 0;
            counts.hit += alpha > kHitAlpha;
            counts.opaque += alpha == 255;
            ++counts.total;
        }
    return counts;
}

struct Photo {
    String package, scene, sound;
    int32_t items = 0;
    float difficulty = 0;
};

// A picture the board movie draws, in screen space.
struct Placed {
    String id;
    Image picture;
    int32_t left = 0, top = 0;
    bool Hit(int32_t x, int32_t y) const
    {
        x -= left;
        y -= top;
        return x >= 0 && y >= 0 && uint32_t(x) < picture.width && uint32_t(y) < picture.height &&
               (picture.Pixel(uint32_t(x), uint32_t(y)) >> 24) > kHitAlpha;
    }
    bool Opaque(int32_t x, int32_t y) const
    {
        x -= left;
        y -= top;
        return x >= 0 && y >= 0 && uint32_t(x) < picture.width && uint32_t(y) < picture.height &&
               (picture.Pixel(uint32_t(x), uint32_t(y)) >> 24) >= kOpaqueAlpha;
    }
};

// How much of a drawn item the pictures drawn after it hide. Its solid pixels are those a click
// counts, inside the board and right of the panel; a solid pixel is hidden when a later picture
// (an item, a cover, the foreground) is opaque there: a see-through veil or shadow hides nothing.
struct Coverage {
    int32_t solid = 0, hidden = 0;
    bool patch = false; // a 12 x 12 square, at least half of it item, with nothing of it hidden
    int32_t Seen() const { return solid - hidden; }
    double HiddenShare() const { return solid ? double(hidden) / solid : 1.0; }
};

constexpr int32_t kPatch = 12;
// An item is partly hidden from this share of its solid pixels covered; none is hidden beyond the
// second.
constexpr double kPartlyHidden = 0.10, kMostHidden = 0.60;

Coverage CoverageOf(const std::vector<Placed>& drawn, size_t item)
{
    const Placed& own = drawn[item];
    const int32_t w = int32_t(own.picture.width), h = int32_t(own.picture.height);
    // Summed-area tables of the seen and hidden pixels, one row and column larger than the picture.
    std::vector<int32_t> seen(size_t(w + 1) * size_t(h + 1)), hidden(seen.size());
    const auto at = [w](int32_t x, int32_t y) { return size_t(y) * size_t(w + 1) + size_t(x); };
    Coverage coverage;
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            const int32_t sx = own.left + x, sy = own.top + y;
            int32_t isSeen = 0, isHidden = 0;
            if (own.Hit(sx, sy) && sx > 150 && sx < 800 && sy >= 0 && sy < 600) {
                bool covered = false;
                for (size_t later = item + 1; later < drawn.size() && !covered; ++later)
                    covered = drawn[later].Opaque(sx, sy);
                ++coverage.solid;
                (covered ? isHidden : isSeen) = 1;
            }
            coverage.hidden += isHidden;
            seen[at(x + 1, y + 1)] = isSeen + seen[at(x, y + 1)] + seen[at(x + 1, y)] - seen[at(x, y)];
            hidden[at(x + 1, y + 1)] = isHidden + hidden[at(x, y + 1)] + hidden[at(x + 1, y)] - hidden[at(x, y)];
        }
    }
    const auto window = [&](const std::vector<int32_t>& sums, int32_t x, int32_t y) {
        return sums[at(x + kPatch, y + kPatch)] - sums[at(x, y + kPatch)] - sums[at(x + kPatch, y)] + sums[at(x, y)];
    };
    for (int32_t y = 0; y + kPatch <= h && !coverage.patch; ++y)
        for (int32_t x = 0; x + kPatch <= w && !coverage.patch; ++x)
            coverage.patch = window(hidden, x, y) == 0 && window(seen, x, y) >= kPatch * kPatch / 2;
    return coverage;
}

// Loads what a board track draws: a picture, or an item movie's first picture, and where its
// top-left corner lands.
bool LoadDrawn(FileManager& files, const Definition_Movie& board, int32_t track, Placed& out)
{
    const InstanceTrack& placement = board.GetTracks()[size_t(track)];
    if (placement.keys.empty())
        return false;
    out.id = placement.instanceName;
    float left = placement.keys[0].x - placement.regX, top = placement.keys[0].y - placement.regY;
    const Definition_Base* definition = board.ResolveTrackDefinition(track);
    if (definition && definition->GetType() == Definition_Base::Type_Movie) {
        const auto* movie = static_cast<const Definition_Movie*>(definition);
        if (movie->GetTracks().empty() || movie->GetTracks()[0].keys.empty())
            return false;
        const InstanceTrack& inner = movie->GetTracks()[0];
        left += inner.keys[0].x - inner.regX;
        top += inner.keys[0].y - inner.regY;
        if (!LoadTrackPicture(files, *movie, 0, out.picture))
            return false;
    } else if (!LoadTrackPicture(files, board, track, out.picture)) {
        return false;
    }
    out.left = static_cast<int32_t>(std::lround(left));
    out.top = static_cast<int32_t>(std::lround(top));
    return true;
}

std::vector<Photo> CataloguedScenes(FileManager& data)
{
    XmlCache cache(&data);
    std::vector<Photo> photos;
    const XmlNode* levels = cache.Get(u"Levels\\levels.xml");
    if (!levels)
        return photos;
    for (const auto& level : levels->Children())
        for (const auto& photo : level->Children()) {
            if (photo->GetName() != u"PHOTO" || !Attribute(*photo, u"bonus").empty())
                continue;
            photos.push_back({Attribute(*photo, u"package"), Attribute(*photo, u"scene"), Attribute(*photo, u"sound"),
                              ToInt(Attribute(*photo, u"items")),
                              static_cast<float>(ToDouble(Attribute(*photo, u"difficulty")))});
        }
    return photos;
}

TEST(ScenePackageData, EveryCataloguedSceneMountsWithAPictureForEveryItem)
{
    const auto bin = BinDir();
    if (!std::filesystem::exists(bin / "data.dat"))
        GTEST_SKIP() << "the data archives are not built (target quill_data)";
    FileManager data;
    ASSERT_TRUE(data.AddSource(new FSCompressedSource(FromUtf8((bin / "data.dat").string()), u"data")));
    std::set<String> declaredSounds;
    {
        XmlCache cache(&data);
        const XmlNode* audio = cache.Get(u"Audio\\Audio.xml");
        ASSERT_NE(audio, nullptr);
        for (const auto& sound : audio->Children())
            declaredSounds.insert(Attribute(*sound, u"name"));
    }
    const std::vector<Photo> photos = CataloguedScenes(data);
    ASSERT_FALSE(photos.empty()) << "the catalogue names no scene";
    std::set<String> reported;

    for (const Photo& photo : photos) {
        SCOPED_TRACE(ToUtf8(photo.scene));
        EXPECT_TRUE(declaredSounds.count(photo.sound)) << "ambient sound " << ToUtf8(photo.sound);
        FileManager files;
        ASSERT_TRUE(files.AddSource(
            new FSCompressedSource(FromUtf8((bin / ToUtf8(photo.package + u".dat")).string()), photo.package)));
        XmlCache cache(&files);
        const XmlNode* libraries = cache.Get(u"libraries.xml");
        ASSERT_NE(libraries, nullptr);
        DefinitionLibrary library;
        ASSERT_TRUE(library.ImportLibraries(cache, *libraries, nullptr));
        const Definition_Base* boardDefinition = library.GetDefinition(photo.scene, -1);
        ASSERT_NE(boardDefinition, nullptr);
        ASSERT_EQ(boardDefinition->GetType(), Definition_Base::Type_Movie);
        const auto* board = static_cast<const Definition_Movie*>(boardDefinition);

        // The background covers the whole board, so a miss anywhere reaches it.
        Image background;
        ASSERT_TRUE(LoadTrackPicture(files, *board, 0, background));
        EXPECT_EQ(background.width, 800u);
        EXPECT_EQ(background.height, 600u);
        EXPECT_EQ(CountAlpha(background).opaque, size_t(800 * 600));

        std::map<String, int32_t> trackOf;
        for (size_t i = 0; i < board->GetTracks().size(); ++i)
            trackOf[board->GetTracks()[i].instanceName] = static_cast<int32_t>(i);

        const XmlNode* itemFile = cache.Get(u"Levels\\" + photo.scene + u".xml");
        ASSERT_NE(itemFile, nullptr);
        int32_t findable = 0, easy = 0, next = 0, bluebirds = 0;
        std::set<int32_t> difficulties;
        std::set<String> listed;
        for (const auto& item : itemFile->Children()) {
            const String id = Attribute(*item, u"id");
            SCOPED_TRACE(ToUtf8(id));
            const String name = Attribute(*item, u"name");
            const int32_t difficulty = ToInt(Attribute(*item, u"difficulty"));
            if (name.find(u"Bluebird") != String::npos) {
                ++bluebirds;
            } else {
                ++findable;
                easy += difficulty == 1;
                next += difficulty == 2;
                difficulties.insert(difficulty);
            }
            if (!Attribute(*item, u"group").empty()) {
                EXPECT_FALSE(Attribute(*item, u"plural").empty()) << "a group without a plural never matches";
            }

            ASSERT_TRUE(trackOf.count(id)) << "no child of the board has this id";
            const InstanceTrack& track = board->GetTracks()[trackOf[id]];
            ASSERT_FALSE(track.keys.empty());
            EXPECT_GT(track.keys[0].x, 144.0f) << "the panel covers the left strip";
            const Definition_Base* itemDefinition = board->ResolveTrackDefinition(trackOf[id]);
            ASSERT_NE(itemDefinition, nullptr);
            ASSERT_EQ(itemDefinition->GetType(), Definition_Base::Type_Movie) << "each item is a movie";
            const auto* movie = static_cast<const Definition_Movie*>(itemDefinition);
            ASSERT_FALSE(movie->GetTracks().empty());
            const InstanceTrack& pictureTrack = movie->GetTracks()[0];
            Image picture;
            ASSERT_TRUE(LoadTrackPicture(files, *movie, 0, picture));
            // Centre-registered and unscaled: the picture's centre sits at the item's position.
            EXPECT_FLOAT_EQ(pictureTrack.regX * 2, float(picture.width));
            EXPECT_FLOAT_EQ(pictureTrack.regY * 2, float(picture.height));
            ASSERT_FALSE(pictureTrack.keys.empty());
            EXPECT_FLOAT_EQ(pictureTrack.keys[0].scaleX, 1.0f);
            EXPECT_FLOAT_EQ(pictureTrack.keys[0].scaleY, 1.0f);
            EXPECT_GE(std::min(picture.width, picture.height), 36u) << "too small to recognise";
            // Wholly on the board, so no part of an item is cut off by the screen's edge.
            EXPECT_GE(track.keys[0].x - pictureTrack.regX, 0.0f);
            EXPECT_GE(track.keys[0].y - pictureTrack.regY, 0.0f);
            EXPECT_LE(track.keys[0].x + pictureTrack.regX, 800.0f);
            EXPECT_LE(track.keys[0].y + pictureTrack.regY, 600.0f);
            // A cut-out shape: clear around it and hittable inside, so hits follow the outline.
            const AlphaCounts alpha = CountAlpha(picture);
            EXPECT_GT(alpha.clear, alpha.total / 10);
            EXPECT_GT(alpha.hit, alpha.total / 10);
            listed.insert(id);
        }

        // What hides the items: every picture drawn after one (a later item, a cover, the
        // foreground). Most scenes' items are partly behind something, none too far to find.
        std::vector<Placed> drawn(board->GetTracks().size());
        for (size_t i = 1; i < drawn.size(); ++i)
            ASSERT_TRUE(LoadDrawn(files, *board, int32_t(i), drawn[i])) << "track " << i;
        int32_t partly = 0, decoys = 0;
        size_t firstItem = drawn.size(), lastDecoy = 0;
        for (size_t i = 1; i < drawn.size(); ++i) {
            const std::string name = ToUtf8(drawn[i].id);
            if (listed.count(drawn[i].id)) {
                firstItem = std::min(firstItem, i);
                const Coverage coverage = CoverageOf(drawn, i);
                EXPECT_LE(coverage.HiddenShare(), kMostHidden) << name << " is mostly hidden";
                EXPECT_TRUE(coverage.patch) << name << " shows no whole 12 x 12 patch of itself";
                EXPECT_GE(coverage.Seen(), 150) << name << " is too well hidden to find";
                partly += coverage.HiddenShare() >= kPartlyHidden && coverage.HiddenShare() <= kMostHidden;
            } else if (StartsWith(drawn[i].id, u"Decoy_")) {
                ++decoys;
                lastDecoy = i;
                EXPECT_GT(drawn[i].left + int32_t(drawn[i].picture.width), 150) << name << " lies under the panel";
            }
        }
        // Under every item, a decoy can never hide one, so a click on a decoy finds no item.
        EXPECT_LT(lastDecoy, firstItem) << "a decoy is drawn over an item";
        EXPECT_GE(partly * 10, int32_t(listed.size()) * 4) << "too few items are partly hidden";
        EXPECT_GE(decoys, 25) << "too few things on no list";
        if (reported.insert(photo.scene).second) // several photos may share a scene
            std::cout << ToUtf8(photo.scene) << ": " << partly << " of " << listed.size()
                      << " items partly hidden, " << decoys << " decoys\n";
        EXPECT_GE(findable, photo.items);
        // The board splits the items it wants between difficulty 1 and 2 by the photo's mix; with
        // too few of either it lists only the easy ones, and the chapter could never be completed.
        const int32_t secondary = static_cast<int32_t>((1.0f - photo.difficulty) * static_cast<float>(photo.items));
        EXPECT_GE(easy, photo.items - secondary) << "too few items of difficulty 1";
        EXPECT_GE(next, secondary) << "too few items of difficulty 2";
        EXPECT_TRUE(difficulties.count(2) && difficulties.count(4));
        EXPECT_GE(bluebirds, 2);
        EXPECT_LE(bluebirds, 3);
    }
}

// A chapter is done when its photos' items are all found: its item target is their sum, and its
// right page holds at most two scene photos. Every photo has a number of its own.
TEST(ScenePackageData, EachChapterAsksForItsPhotosItems)
{
    const auto bin = BinDir();
    if (!std::filesystem::exists(bin / "data.dat"))
        GTEST_SKIP() << "the data archives are not built (target quill_data)";
    FileManager data;
    ASSERT_TRUE(data.AddSource(new FSCompressedSource(FromUtf8((bin / "data.dat").string()), u"data")));
    XmlCache cache(&data);
    const XmlNode* levels = cache.Get(u"Levels\\levels.xml");
    ASSERT_NE(levels, nullptr);
    std::set<int32_t> numbers;
    for (const auto& level : levels->Children()) {
        SCOPED_TRACE("level " + ToUtf8(Attribute(*level, u"number")));
        int32_t items = 0, scenes = 0;
        for (const auto& photo : level->Children()) {
            EXPECT_TRUE(numbers.insert(ToInt(Attribute(*photo, u"number"))).second) << "a photo number twice";
            if (!Attribute(*photo, u"bonus").empty())
                continue;
            ++scenes;
            items += ToInt(Attribute(*photo, u"items"));
        }
        EXPECT_LE(scenes, 2);
        EXPECT_EQ(ToInt(Attribute(*level, u"items")), items);
    }
}

// Every picture an image definition of a package names is in that package and loads: a missing one
// would be drawn as nothing (the opening card once was).
TEST(ScenePackageData, EveryPictureADefinitionNamesIsInItsArchive)
{
    const auto bin = BinDir();
    if (!std::filesystem::exists(bin / "data.dat"))
        GTEST_SKIP() << "the data archives are not built (target quill_data)";
    size_t checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(bin)) {
        if (entry.path().extension() != ".dat")
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        FileManager files;
        ASSERT_TRUE(files.AddSource(new FSCompressedSource(FromUtf8(entry.path().string()), u"package")));
        XmlCache cache(&files);
        const XmlNode* libraries = cache.Get(u"libraries.xml");
        if (!libraries)
            continue;
        for (const auto& library : libraries->Children()) {
            const String file = Attribute(*library, u"file");
            const XmlNode* definitions = cache.Get(file);
            ASSERT_NE(definitions, nullptr) << ToUtf8(file);
            for (const auto& definition : definitions->Children()) {
                if (Attribute(*definition, u"type") != u"image")
                    continue;
                const String source = Attribute(*definition, u"src");
                Image picture; // through the loader the game uses, which also takes a colour and alpha pair
                EXPECT_TRUE(LoadPicture(files, source, kMax, picture)) << ToUtf8(file) << " names " << ToUtf8(source);
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 100u);
}

// The board panel and the dialogs are defined against these picture sizes.
TEST(ScenePackageData, InterfacePicturesKeepTheirSizes)
{
    const auto bin = BinDir();
    if (!std::filesystem::exists(bin / "ui.dat"))
        GTEST_SKIP() << "the data archives are not built (target quill_data)";
    FileManager files;
    ASSERT_TRUE(files.AddSource(new FSCompressedSource(FromUtf8((bin / "ui.dat").string()), u"ui")));
    const struct {
        const char16_t* name;
        uint32_t width, height;
    } pictures[] = {
        {u"Panel", 144, 600},        {u"DialogSmall", 400, 240},  {u"DialogLarge", 520, 380},
        {u"DialogShort", 400, 190},
        {u"ButtonRose_0", 170, 46},  {u"ButtonRose_1", 170, 46},  {u"ButtonRose_2", 170, 46},
        {u"ButtonSage_0", 170, 46},  {u"ButtonSage_1", 170, 46},  {u"ButtonSage_2", 170, 46},
        {u"HintButton_0", 64, 64},   {u"HintButton_1", 64, 64},   {u"HintButton_2", 64, 64},
        {u"MenuButton_0", 64, 64},   {u"MenuButton_1", 64, 64},   {u"MenuButton_2", 64, 64},
        {u"ModalBkg", 8, 8},         {u"PauseOverlay", 8, 8},     {u"HintArrow", 64, 64},
        {u"Bluebird", 96, 96},       {u"Clock", 40, 40},          {u"Checkmark", 24, 24},
        {u"FoundStrike", 120, 4},
    };
    for (const auto& expected : pictures) {
        SCOPED_TRACE(ToUtf8(expected.name));
        Image image;
        ASSERT_TRUE(LoadPicture(files, String(u"Pictures\\") + expected.name + u".png", kMax, image));
        EXPECT_EQ(image.width, expected.width);
        EXPECT_EQ(image.height, expected.height);
    }
    // The modal backing hides what is behind it, and so does the pause overlay: nothing of a scene
    // can be searched while the clock is stopped.
    Image modal, pause;
    ASSERT_TRUE(LoadPicture(files, u"Pictures\\ModalBkg.png", kMax, modal));
    ASSERT_TRUE(LoadPicture(files, u"Pictures\\PauseOverlay.png", kMax, pause));
    EXPECT_EQ(CountAlpha(modal).opaque, size_t(64));
    EXPECT_EQ(CountAlpha(pause).opaque, size_t(64));
}

} // namespace
