#include "game/book/LevelCatalogue.h"

#include "engine/core/xml/XmlCache.h"
#include "engine/core/xml/XmlNode.h"
#include "game/profile/LevelRecord.h"
#include "game/profile/ProfileMgr.h"

using namespace QuillEngine;

namespace {

constexpr float kSecondsPerMinute = 60.0f;

bool ReadString(const XmlNode& node, StringView name, String& out)
{
    return node.GetAttribute(name, out);
}

// Numbers, item targets and scene numbers index records and name boards: a negative one is refused
// rather than wrapped into a huge unsigned value.
bool ReadCount(const XmlNode& node, StringView name, int32_t& out)
{
    bool found = false;
    out = node.GetIntAttribute(name, 0, &found);
    return found && out >= 0;
}

bool ReadFloat(const XmlNode& node, StringView name, float& out)
{
    bool found = false;
    out = node.GetFloatAttribute(name, 0.0f, &found);
    return found;
}

bool LoadPhoto(const XmlNode& node, int32_t level, ProfileMgr& profiles, std::vector<CataloguePhoto>& photos)
{
    CataloguePhoto photo;
    photo.level = level;
    if (!ReadString(node, u"symbol", photo.symbol) || !ReadString(node, u"package", photo.package) ||
        !ReadCount(node, u"number", photo.number))
        return false;
    bool bonusFound = false;
    const int32_t bonus = node.GetIntAttribute(u"bonus", 0, &bonusFound);
    if (bonusFound) {
        photo.miniGame = true;
        photo.cardGame = bonus != 0;
        if (LevelRecord* levelTemplate = profiles.FindLevelTemplate(level))
            levelTemplate->miniGameKind = photo.cardGame ? 1 : 2;
        photos.push_back(std::move(photo));
        return true;
    }
    bool itemsFound = false;
    const int32_t items = node.GetIntAttribute(u"items", 0, &itemsFound);
    float difficulty = 0.0f;
    if (!ReadString(node, u"scene", photo.scene) || !itemsFound || !ReadString(node, u"sound", photo.sound) ||
        !ReadFloat(node, u"difficulty", difficulty))
        return false;
    profiles.AddSceneTemplate(photo.number, level, photo.scene, items, difficulty);
    photos.push_back(std::move(photo));
    return true;
}

} // namespace

bool LevelCatalogue::Load(const XmlNode& root, ProfileMgr& profiles, std::vector<CataloguePhoto>& photos)
{
    std::vector<XmlNode*> levels;
    root.GetChildren(u"LEVEL", levels);
    for (const XmlNode* level : levels) {
        String title;
        float minutes = 0.0f, bonusMinutes = 0.0f;
        int32_t items = 0, number = 0;
        if (!ReadString(*level, u"title", title) || !ReadFloat(*level, u"minutes", minutes) ||
            !ReadFloat(*level, u"bonusminutes", bonusMinutes) || !ReadCount(*level, u"items", items) ||
            !ReadCount(*level, u"number", number))
            return false;
        profiles.AddLevelTemplate(title, minutes * kSecondsPerMinute, bonusMinutes * kSecondsPerMinute, items, number,
                                  level->HasAttribute(u"crisis"));
        std::vector<XmlNode*> photoNodes;
        level->GetChildren(u"PHOTO", photoNodes);
        for (const XmlNode* photo : photoNodes) {
            if (!LoadPhoto(*photo, number, profiles, photos))
                return false;
        }
    }
    return true;
}

bool LevelCatalogue::LoadFile(ProfileMgr& profiles, std::vector<CataloguePhoto>& photos)
{
    XmlCache* cache = XmlCache::Instance();
    const XmlNode* document = cache ? cache->Get(kFileName) : nullptr;
    return document && Load(*document, profiles, photos);
}
