#include "game/book/LevelCatalogue.h"

#include "engine/core/strings/StringUtil.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/core/xml/XmlNode.h"
#include "game/profile/LevelRecord.h"
#include "game/profile/ProfileMgr.h"

using namespace QuillEngine;

namespace {

constexpr float kSecondsPerMinute = 60.0f;

// What went wrong where, for the player's message; the first fault only.
class Faults {
public:
    explicit Faults(std::string* out) : m_out(out) {}
    bool Missing(const XmlNode& node, StringView name)
    {
        return Fail(Where(node) + " has no \"" + ToUtf8(name) + "\"");
    }
    bool Bad(const XmlNode& node, StringView name, const String& value, const char* what)
    {
        return Fail(Where(node) + " has \"" + ToUtf8(name) + "=\"" + ToUtf8(value) + "\"\", " + what);
    }

private:
    static std::string Where(const XmlNode& node)
    {
        String label;
        if (!node.GetAttribute(u"title", label))
            node.GetAttribute(u"symbol", label);
        return ToUtf8(node.GetName()) + (label.empty() ? std::string() : " \"" + ToUtf8(label) + "\"");
    }
    bool Fail(const std::string& text)
    {
        if (m_out && m_out->empty())
            *m_out = text;
        return false;
    }
    std::string* m_out;
};

bool ReadString(const XmlNode& node, StringView name, String& out, Faults& faults)
{
    return node.GetAttribute(name, out) || faults.Missing(node, name);
}

// Numbers, item targets and scene numbers index records and name boards: a negative one is refused
// rather than wrapped into a huge unsigned value, and so is one that is not wholly a number in its
// base ("08" is no octal number; it is not read as 0).
bool ReadCount(const XmlNode& node, StringView name, int32_t& out, Faults& faults)
{
    String text;
    if (!node.GetAttribute(name, text))
        return faults.Missing(node, name);
    size_t end = 0;
    out = ParseInt32(text, 0, &end);
    if (text.empty() || end != text.size())
        return faults.Bad(node, name, text, "which is not a number");
    return out >= 0 || faults.Bad(node, name, text, "which is negative");
}

bool ReadFloat(const XmlNode& node, StringView name, float& out, Faults& faults)
{
    bool found = false;
    out = node.GetFloatAttribute(name, 0.0f, &found);
    return found || faults.Missing(node, name);
}

bool LoadPhoto(const XmlNode& node, int32_t level, ProfileMgr& profiles, std::vector<CataloguePhoto>& photos,
               Faults& faults)
{
    CataloguePhoto photo;
    photo.level = level;
    if (!ReadString(node, u"symbol", photo.symbol, faults) || !ReadString(node, u"package", photo.package, faults) ||
        !ReadCount(node, u"number", photo.number, faults))
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
    if (!ReadString(node, u"scene", photo.scene, faults) || (!itemsFound && !faults.Missing(node, u"items")) ||
        !ReadString(node, u"sound", photo.sound, faults) || !ReadFloat(node, u"difficulty", difficulty, faults))
        return false;
    profiles.AddSceneTemplate(photo.number, level, photo.scene, items, difficulty);
    photos.push_back(std::move(photo));
    return true;
}

} // namespace

bool LevelCatalogue::Load(const XmlNode& root, ProfileMgr& profiles, std::vector<CataloguePhoto>& photos,
                          std::string* fault)
{
    Faults faults(fault);
    std::vector<XmlNode*> levels;
    root.GetChildren(u"LEVEL", levels);
    for (const XmlNode* level : levels) {
        String title;
        float minutes = 0.0f, bonusMinutes = 0.0f;
        int32_t items = 0, number = 0;
        if (!ReadString(*level, u"title", title, faults) || !ReadFloat(*level, u"minutes", minutes, faults) ||
            !ReadFloat(*level, u"bonusminutes", bonusMinutes, faults) || !ReadCount(*level, u"items", items, faults) ||
            !ReadCount(*level, u"number", number, faults))
            return false;
        profiles.AddLevelTemplate(title, minutes * kSecondsPerMinute, bonusMinutes * kSecondsPerMinute, items, number,
                                  level->HasAttribute(u"crisis"));
        std::vector<XmlNode*> photoNodes;
        level->GetChildren(u"PHOTO", photoNodes);
        for (const XmlNode* photo : photoNodes) {
            if (!LoadPhoto(*photo, number, profiles, photos, faults))
                return false;
        }
    }
    return true;
}

bool LevelCatalogue::LoadFile(ProfileMgr& profiles, std::vector<CataloguePhoto>& photos, std::string* fault)
{
    XmlCache* cache = XmlCache::Instance();
    const XmlNode* document = cache ? cache->Get(kFileName) : nullptr;
    if (!document) {
        if (fault)
            *fault = "it is missing or cannot be read";
        return false;
    }
    return Load(*document, profiles, photos, fault);
}
