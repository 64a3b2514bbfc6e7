#pragma once
// What the play tests read from the game's own data: where a definition places its children, and
// the clicks that take a fresh player from the opening through the album's letter to the first
// scene.

#include <algorithm>
#include <cstdint>
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

// Where each child of a movie definition sits.
inline std::map<std::string, Placement> ChildPlacements(const XmlNode& library, StringView movie)
{
    std::map<std::string, Placement> out;
    const XmlNode* definition = FindDefinition(library, movie);
    if (!definition)
        return out;
    for (const auto& instance : definition->Children()) {
        String instanceName, transform, childDefinition;
        const XmlNode* frame = instance->FindChild(u"Frame");
        if (!instance->GetAttribute(u"instancename", instanceName) || !frame ||
            !frame->GetAttribute(u"transform", transform))
            continue;
        instance->GetAttribute(u"definition", childDefinition);
        std::istringstream in(ToUtf8(transform));
        double a, b, c, d;
        Placement placement;
        in >> a >> b >> c >> d >> placement.x >> placement.y;
        String reg;
        placement.regX = instance->GetAttribute(u"regx", reg) ? ToDouble(reg) : 0;
        placement.regY = instance->GetAttribute(u"regy", reg) ? ToDouble(reg) : 0;
        placement.definition = ToUtf8(childDefinition);
        out.emplace(ToUtf8(instanceName), placement); // the first frame's child of that name

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

// The picture of an item placed in a scene movie: the first child of the item's own movie.
inline bool LoadItemPicture(const XmlNode& library, const std::string& package, const Placement& item,
                            ItemPicture& out)
{
    const auto inside = ChildPlacements(library, FromUtf8(item.definition));
    if (inside.empty())
        return false;
    const Placement& picture = inside.begin()->second;
    const XmlNode* image = FindDefinition(library, FromUtf8(picture.definition));
    String source;
    if (!image || !image->GetAttribute(u"src", source))
        return false;
    std::string path = ToUtf8(source);
    std::replace(path.begin(), path.end(), '\\', '/');
    if (!QuillTest::ReadPng(QuillTest::RenderedDataFolder() / package / path, out.width, out.height, out.pixels))
        return false;
    out.originX = item.x - item.regX + picture.x - picture.regX;
    out.originY = item.y - item.regY + picture.y - picture.regY;
    return true;
}

// Where a player clicks an item of a scene: at its picture's solid pixel nearest the middle.
inline Point ItemClickPoint(const XmlNode& library, const std::string& package, const Placement& item)
{
    ItemPicture picture;
    if (!LoadItemPicture(library, package, item, picture))
        return {};
    const double cx = picture.width / 2.0, cy = picture.height / 2.0;
    double best = 1e18, bx = cx, by = cy;
    for (uint32_t y = 0; y < picture.height; ++y) {
        for (uint32_t x = 0; x < picture.width; ++x) {
            const double d = (x - cx) * (x - cx) + (y - cy) * (y - cy);
            if (picture.Solid(x, y) && d < best) {
                best = d;
                bx = x;
                by = y;
            }
        }
    }
    return {static_cast<int>(picture.originX + bx + 0.5), static_cast<int>(picture.originY + by + 0.5)};
}

// A press and release at (x, y).
inline std::string ClickAt(int step, int x, int y)
{
    const std::string at = " " + std::to_string(x) + " " + std::to_string(y) + "\n";
    return "at " + std::to_string(step) + " down" + at + "at " + std::to_string(step + 1) + " up" + at;
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

// Where the album's letter page has its button that opens the letter.
inline Point LetterPlayButton()
{
    const auto book = ReadSourceXml("data/ui/Definitions/Book.xml");
    if (!book)
        return {};
    const Placement layout = ChildPlacements(*book, u"FinalBook")["pageLayout"];
    auto spread = ChildPlacements(*book, u"BookPageLayout");
    const Placement button = ChildPlacements(*book, u"BookPage")["introPlayButton"];
    return {static_cast<int>(layout.x + spread["pageRight"].x + button.x - button.regX + 170 / 2),
            static_cast<int>(layout.y + spread["pageRight"].y + button.y - button.regY + 46 / 2)};
}

// The middle of the first chapter's photo (the Boutique) on its spread.
inline Point FirstScenePhoto()
{
    const auto book = ReadSourceXml("data/ui/Definitions/Book.xml");
    if (!book)
        return {};
    const Placement layout = ChildPlacements(*book, u"FinalBook")["pageLayout"];
    auto spread = ChildPlacements(*book, u"BookPageLayout");
    const Placement photo = ChildPlacements(*book, u"BookPage")["photoBoutique"];
    return {static_cast<int>(layout.x + spread["pageRight"].x + photo.x - photo.regX + 230 / 2),
            static_cast<int>(layout.y + spread["pageRight"].y + photo.y - photo.regY + 176 / 2)};
}

// The clicks of a new player: the letter's button, the tutorial's button, the page corner, the next
// tutorial's button, then the first photo of the first chapter.
inline std::string AlbumToFirstScene()
{
    const auto book = ReadSourceXml("data/ui/Definitions/Book.xml");
    const auto screens = ReadSourceXml("data/ui/Definitions/BoardScreens.xml");
    if (!book || !screens)
        return {};
    const Placement layout = ChildPlacements(*book, u"FinalBook")["pageLayout"];
    auto spread = ChildPlacements(*book, u"BookPageLayout");
    const auto centre = [](double x, double y, const Placement& p, double w, double h) {
        return std::pair<int, int>{static_cast<int>(x + p.x - p.regX + w / 2),
                                   static_cast<int>(y + p.y - p.regY + h / 2)};
    };
    const auto corner = centre(layout.x, layout.y, spread["rightControl"], 56, 56);
    const Placement introOk = ChildPlacements(*screens, u"Book_TutorialIntroDialog")["okButton"];
    const Placement bookOk = ChildPlacements(*screens, u"Book_TutorialDialog")["okButton"];
    const Point play = LetterPlayButton();
    std::string script = ClickAt(kAlbumReady, play.x, play.y);
    script += ClickAt(kLetterRead, static_cast<int>(introOk.x) + 20, static_cast<int>(introOk.y) + 20);
    script += ClickAt(kTurnStart, corner.first, corner.second);
    script += ClickAt(kTurnDone, static_cast<int>(bookOk.x) + 20, static_cast<int>(bookOk.y) + 20);
    const Point photo = FirstScenePhoto();
    script += ClickAt(kPhotoClick, photo.x, photo.y);
    return script;
}

} // namespace PlayData
