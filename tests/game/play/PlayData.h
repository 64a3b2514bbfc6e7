#pragma once
// What the play tests read from the game's own data: where a definition places its children, and
// the clicks that take a fresh player from the opening through the album's letter to the first
// scene.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/core/strings/StringUtil.h"
#include "engine/core/xml/XmlNode.h"
#include "tests/support/PlayRunner.h"
#include "tests/support/TestEnvironment.h"

namespace PlayData {

using namespace QuillEngine;

inline std::unique_ptr<XmlNode> ReadSourceXml(const std::string& relative)
{
    return XmlNode::ParseDocument(QuillTest::ReadFile(QuillTest::SourceRoot() / relative), false);
}

// An attribute's value as UTF-8; empty when it is missing.
inline std::string Attribute(const XmlNode& node, const char16_t* name)
{
    String value;
    node.GetAttribute(name, value);
    return ToUtf8(value);
}

// The first child `element` of `parent` whose `attribute` is `value`.
inline const XmlNode* ChildWith(const XmlNode& parent, StringView element, const char16_t* attribute,
                                const std::string& value)
{
    for (const auto& child : parent.Children())
        if (child->GetName() == element && Attribute(*child, attribute) == value)
            return child.get();
    return nullptr;
}

struct Placement {
    double x = 0, y = 0;       // the translation of its first frame
    double regX = 0, regY = 0; // its registration point
    std::string definition;
};

inline const XmlNode* FindDefinition(const XmlNode& library, StringView name)
{
    for (const auto& definition : library.Children()) {
        String own;
        if (definition->GetAttribute(u"name", own) && own == name)
            return definition.get();
    }
    return nullptr;
}

// Where one child instance of a movie definition sits; false for a child without a frame.
inline bool ChildPlacement(const XmlNode& instance, std::string& name, Placement& placement)
{
    String instanceName, transform, childDefinition;
    const XmlNode* frame = instance.FindChild(u"Frame");
    if (!instance.GetAttribute(u"instancename", instanceName) || !frame ||
        !frame->GetAttribute(u"transform", transform))
        return false;
    instance.GetAttribute(u"definition", childDefinition);
    std::istringstream in(ToUtf8(transform));
    double a, b, c, d;
    in >> a >> b >> c >> d >> placement.x >> placement.y;
    String reg;
    placement.regX = instance.GetAttribute(u"regx", reg) ? ToDouble(reg) : 0;
    placement.regY = instance.GetAttribute(u"regy", reg) ? ToDouble(reg) : 0;
    placement.definition = ToUtf8(childDefinition);
    name = ToUtf8(instanceName);
    return true;
}

// Where each child of a movie definition sits.
inline std::map<std::string, Placement> ChildPlacements(const XmlNode& library, StringView movie)
{
    std::map<std::string, Placement> out;
    const XmlNode* definition = FindDefinition(library, movie);
    if (!definition)
        return out;
    for (const auto& instance : definition->Children()) {
        std::string name;
        Placement placement;
        if (ChildPlacement(*instance, name, placement))
            out.emplace(name, placement); // the first frame's child of that name
    }
    return out;
}

struct Point {
    int x = 0;
    int y = 0;
};

// An item's picture as the build rendered it, and where the scene puts its top-left corner.
struct ItemPicture {
    double originX = 0, originY = 0;
    uint32_t width = 0, height = 0;
    std::vector<uint32_t> pixels; // 0xAARRGGBB

    // Solid enough that a player sees it and the item's mask takes the click.
    bool Solid(uint32_t x, uint32_t y) const { return (pixels[size_t(y) * width + x] >> 24) > 200; }
};

// A picture an image definition names, as the build rendered it.
inline bool LoadImagePicture(const XmlNode& library, const std::string& package, const std::string& image,
                             ItemPicture& out)
{
    const XmlNode* definition = FindDefinition(library, FromUtf8(image));
    String source;
    if (!definition || !definition->GetAttribute(u"src", source))
        return false;
    std::string path = ToUtf8(source);
    std::replace(path.begin(), path.end(), '\\', '/');
    return QuillTest::ReadPng(QuillTest::RenderedDataFolder() / package / path, out.width, out.height, out.pixels);
}

// The picture of an item placed in a scene movie: the first child of the item's own movie.
inline bool LoadItemPicture(const XmlNode& library, const std::string& package, const Placement& item, ItemPicture& out)
{
    const auto inside = ChildPlacements(library, FromUtf8(item.definition));
    if (inside.empty())
        return false;
    const Placement& picture = inside.begin()->second;
    if (!LoadImagePicture(library, package, picture.definition, out))
        return false;
    out.originX = item.x - item.regX + picture.x - picture.regX;
    out.originY = item.y - item.regY + picture.y - picture.regY;
    return true;
}

// What a child of a scene movie draws: a picture placed straight on the board (a decoy, a cover,
// the foreground) or an item movie's picture.
inline bool LoadPlacedPicture(const XmlNode& library, const std::string& package, const Placement& child,
                              ItemPicture& out)
{
    if (LoadImagePicture(library, package, child.definition, out)) {
        out.originX = child.x - child.regX;
        out.originY = child.y - child.regY;
        return true;
    }
    return LoadItemPicture(library, package, child, out);
}

// What the scene movie of `package` draws after `item` (later items, covers, the foreground).
inline std::vector<ItemPicture> PicturesAbove(const XmlNode& library, const std::string& package, const Placement& item)
{
    std::vector<ItemPicture> above;
    const XmlNode* movie = FindDefinition(library, FromUtf8(package));
    if (!movie)
        return above;
    bool after = false;
    for (const auto& instance : movie->Children()) {
        std::string name;
        Placement placement;
        if (!ChildPlacement(*instance, name, placement))
            continue;
        if (!after) {
            after = placement.definition == item.definition;
            continue;
        }
        ItemPicture picture;
        if (LoadPlacedPicture(library, package, placement, picture))
            above.push_back(std::move(picture));
    }
    return above;
}

// The highest alpha that the pictures in `above` draw over the pixel (x, y) of `picture`.
inline uint32_t AlphaAbove(const ItemPicture& picture, const std::vector<ItemPicture>& above, uint32_t x, uint32_t y)
{
    const double sx = picture.originX + x, sy = picture.originY + y;
    uint32_t alpha = 0;
    for (const ItemPicture& over : above) {
        const double ox = sx - over.originX, oy = sy - over.originY;
        if (ox >= 0 && oy >= 0 && ox < over.width && oy < over.height)
            alpha = std::max(alpha, over.pixels[size_t(oy) * over.width + size_t(ox)] >> 24);
    }
    return alpha;
}

// The picture of `item` and what the scene draws above it.
inline bool LoadWithAbove(const XmlNode& library, const std::string& package, const Placement& item,
                          ItemPicture& picture, std::vector<ItemPicture>& above)
{
    above = PicturesAbove(library, package, item);
    return LoadPlacedPicture(library, package, item, picture);
}

// Where a player clicks an item (or a decoy) of a scene: at the solid pixel nearest the middle of
// its picture that nothing drawn above hides, with its neighbours solid and in sight too.
inline Point ItemClickPoint(const XmlNode& library, const std::string& package, const Placement& item)
{
    ItemPicture picture;
    std::vector<ItemPicture> above;
    if (!LoadWithAbove(library, package, item, picture, above))
        return {};
    const auto seen = [&](uint32_t x, uint32_t y) {
        return picture.Solid(x, y) && AlphaAbove(picture, above, x, y) <= 60;
    };
    const double cx = picture.width / 2.0, cy = picture.height / 2.0;
    double best = 1e18, bx = cx, by = cy;
    for (uint32_t y = 1; y + 1 < picture.height; ++y) {
        for (uint32_t x = 1; x + 1 < picture.width; ++x) {
            const double d = (x - cx) * (x - cx) + (y - cy) * (y - cy);
            if (d >= best)
                continue;
            bool clear = true;
            for (uint32_t ny = y - 1; ny <= y + 1 && clear; ++ny)
                for (uint32_t nx = x - 1; nx <= x + 1 && clear; ++nx)
                    clear = seen(nx, ny);
            if (clear) {
                best = d;
                bx = x;
                by = y;
            }
        }
    }
    return {static_cast<int>(picture.originX + bx + 0.5), static_cast<int>(picture.originY + by + 0.5)};
}

// A point where `item` is solid but something drawn above it is opaque (a cover, the foreground,
// a later item), with its neighbours the same: a click there is a click on what hides it. {} when
// nothing opaque lies over the item.
inline Point CoveredPoint(const XmlNode& library, const std::string& package, const Placement& item)
{
    ItemPicture picture;
    std::vector<ItemPicture> above;
    if (!LoadWithAbove(library, package, item, picture, above))
        return {};
    const auto hidden = [&](uint32_t x, uint32_t y) {
        return picture.Solid(x, y) && AlphaAbove(picture, above, x, y) > 200;
    };
    for (uint32_t y = 2; y + 2 < picture.height; ++y) {
        for (uint32_t x = 2; x + 2 < picture.width; ++x) {
            bool clear = picture.originX + x > 150;
            for (uint32_t ny = y - 2; ny <= y + 2 && clear; ++ny)
                for (uint32_t nx = x - 2; nx <= x + 2 && clear; ++nx)
                    clear = hidden(nx, ny);
            if (clear)
                return {static_cast<int>(picture.originX + x + 0.5), static_cast<int>(picture.originY + y + 0.5)};
        }
    }
    return {};
}

// A press and release at (x, y).
inline std::string ClickAt(int step, int x, int y)
{
    const std::string at = " " + std::to_string(x) + " " + std::to_string(y) + "\n";
    return "at " + std::to_string(step) + " down" + at + "at " + std::to_string(step + 1) + " up" + at;
}

// The share of the pixels of two shots of one size whose colour differs by more than `tolerance`
// in some channel: 0 for the same picture, near 1 for another screen.
inline double ShareChanged(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, int tolerance = 24)
{
    if (a.empty() || a.size() != b.size())
        return 1.0;
    size_t changed = 0;
    for (size_t i = 0; i < a.size(); ++i)
        for (int shift : {0, 8, 16})
            if (std::abs(int((a[i] >> shift) & 0xFF) - int((b[i] >> shift) & 0xFF)) > tolerance) {
                ++changed;
                break;
            }
    return double(changed) / double(a.size());
}

// Steps of the album's opening, from a fresh profile: the intro hands over and the album has
// faded in; the letter's animation ends and its tutorial opens; a page turn runs its course.
constexpr int kAlbumReady = 330;
constexpr int kLetterRead = kAlbumReady + 90;
constexpr int kTurnStart = kLetterRead + 20;
constexpr int kTurnDone = kTurnStart + 120;
constexpr int kPhotoClick = kTurnDone + 40;
// The transition has covered the screen and the first scene shows its first tutorial.
constexpr int kFirstSceneOpen = kPhotoClick + 100;

// The middle of `child` (`width` x `height`) of the album's right-hand page, on the screen.
inline Point RightPageCentre(const char16_t* child, int width, int height)
{
    const auto book = ReadSourceXml("data/ui/Definitions/Book.xml");
    if (!book)
        return {};
    const Placement layout = ChildPlacements(*book, u"FinalBook")["pageLayout"];
    auto spread = ChildPlacements(*book, u"BookPageLayout");
    const Placement placed = ChildPlacements(*book, u"BookPage")[ToUtf8(child)];
    return {static_cast<int>(layout.x + spread["pageRight"].x + placed.x - placed.regX + width / 2),
            static_cast<int>(layout.y + spread["pageRight"].y + placed.y - placed.regY + height / 2)};
}

// The middle of the album's page corner that turns to the next spread (or, not `next`, back to
// the one before); the corners are 56 pixels square.
inline Point PageCorner(bool next = true)
{
    const auto book = ReadSourceXml("data/ui/Definitions/Book.xml");
    if (!book)
        return {};
    const Placement layout = ChildPlacements(*book, u"FinalBook")["pageLayout"];
    const Placement corner = ChildPlacements(*book, u"BookPageLayout")[next ? "rightControl" : "leftControl"];
    return {static_cast<int>(layout.x + corner.x - corner.regX + 28),
            static_cast<int>(layout.y + corner.y - corner.regY + 28)};
}

// Where the album's letter page has its button that opens the letter.
inline Point LetterPlayButton()
{
    return RightPageCentre(u"introPlayButton", 170, 46);
}

// The middle of the first chapter's photo (the Boutique) on its spread.
inline Point FirstScenePhoto()
{
    return RightPageCentre(u"photoBoutique", 230, 176);
}

// The clicks of a new player: the letter's button, the tutorial's button, the page corner, the next
// tutorial's button, then the first photo of the first chapter.
inline std::string AlbumToFirstScene()
{
    const auto book = ReadSourceXml("data/ui/Definitions/Book.xml");
    const auto screens = ReadSourceXml("data/ui/Definitions/BoardScreens.xml");
    if (!book || !screens)
        return {};
    const Point corner = PageCorner();
    const Placement introOk = ChildPlacements(*screens, u"Book_TutorialIntroDialog")["okButton"];
    const Placement bookOk = ChildPlacements(*screens, u"Book_TutorialDialog")["okButton"];
    const Point play = LetterPlayButton();
    std::string script = ClickAt(kAlbumReady, play.x, play.y);
    script += ClickAt(kLetterRead, static_cast<int>(introOk.x) + 20, static_cast<int>(introOk.y) + 20);
    script += ClickAt(kTurnStart, corner.x, corner.y);
    script += ClickAt(kTurnDone, static_cast<int>(bookOk.x) + 20, static_cast<int>(bookOk.y) + 20);
    const Point photo = FirstScenePhoto();
    script += ClickAt(kPhotoClick, photo.x, photo.y);
    return script;
}

} // namespace PlayData
