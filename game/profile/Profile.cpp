#include "game/profile/Profile.h"

#include <cmath>

#include "engine/core/audio/Audio.h"
#include "engine/core/strings/Format.h"
#include "engine/core/xml/XmlNode.h"

using namespace QuillEngine;

namespace {

// A copy made by writing the element out and parsing it again, so the profile's copy shares
// nothing with the document it came from.
std::unique_ptr<XmlNode> CopyElement(const XmlNode& element)
{
    return XmlNode::ParseDocument(element.ToUtf8String(), false);
}

// Volumes outside 0..1 (a hand-edited file) are pulled back into range.
double SaneVolume(double v)
{
    return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v);
}

const XmlNode* FirstChildNamed(const XmlNode& parent, StringView name)
{
    for (const auto& child : parent.Children()) {
        if (child->GetName() == name)
            return child.get();
    }
    return nullptr;
}

} // namespace

int32_t CrisisIndexForLevel(int32_t level)
{
    switch (level) {
    case 11:
        return 0;
    case 17:
        return 2;
    case 19:
        return 3;
    default:
        return 1;
    }
}

Profile::Profile(String name_) : name(std::move(name_)) {}

Profile::~Profile() = default;

bool Profile::Load(const XmlNode* element)
{
    if (!element)
        return false;
    if (!element->GetAttribute(u"name", name))
        return false;
    uint32_t value = 0;
    if (!ReadSaveUInt(element, u"page", value))
        return false;
    page = value;
    if (!ReadSaveUInt(element, u"bluebirds", value))
        return false;
    bluebirds = SaveUIntToField(value);
    if (!ReadSaveFlag(element, u"introSeen", introSeen) || !ReadSaveFlag(element, u"tableauxSeen", tableauxSeen) ||
        !ReadSaveFlag(element, u"relaxed", relaxed))
        return false;
    int32_t* const counters[] = {&bouquet, &cake, &gown, &gift, &honeymoonItems};
    const char16_t* const counterNames[] = {u"bouquet", u"cake", u"gown", u"gift", u"honeymoonitems"};
    for (int i = 0; i < 5; ++i) {
        if (!ReadSaveUInt(element, counterNames[i], value))
            return false;
        *counters[i] = SaveUIntToField(value);
    }
    double* const volumes[] = {&musicVolume, &ambientVolume, &effectsVolume};
    const char16_t* const volumeNames[] = {u"musicvolume", u"ambientvolume", u"effectsvolume"};
    for (int i = 0; i < 3; ++i) {
        double v = 0.0;
        if (!ReadSaveReal(element, volumeNames[i], v))
            return false;
        *volumes[i] = SaneVolume(v);
    }
    scenes.clear();
    levels.clear();
    for (const auto& child : element->Children()) {
        const String& kind = child->GetName();
        if (kind == u"scene") {
            if (scenes.size() >= kMaxRecords)
                return false;
            auto record = std::make_unique<SceneRecord>();
            if (!record->Load(child.get()))
                return false;
            scenes.push_back(std::move(record));
        } else if (kind == u"level") {
            if (levels.size() >= kMaxRecords)
                return false;
            auto record = std::make_unique<LevelRecord>();
            if (!record->Load(child.get()))
                return false;
            levels.push_back(std::move(record));
        }
    }
    if (const XmlNode* saved = FirstChildNamed(*element, u"concentration"))
        concentration = CopyElement(*saved);
    if (const XmlNode* saved = FirstChildNamed(*element, u"storygame"))
        storyGame = CopyElement(*saved);
    if (const XmlNode* flags = FirstChildNamed(*element, u"tutorial"))
        tutorial.Load(flags);
    return true;
}

void Profile::ApplyVolumes() const
{
    if (Audio* audio = Audio::Instance()) {
        audio->SetClassVolume(u"Music", static_cast<float>(musicVolume));
        audio->SetClassVolume(u"Effects", static_cast<float>(effectsVolume));
        audio->SetClassVolume(u"Ambient", static_cast<float>(ambientVolume));
    }
}

void Profile::Save(XmlNode* parent) const
{
    XmlNode* node = parent->AddChild(u"profile");
    node->SetAttribute(u"name", name);
    node->SetAttribute(u"page", Format(u"%d", {page}));
    node->SetAttribute(u"bluebirds", Format(u"%d", {bluebirds}));
    node->SetAttribute(u"introSeen", introSeen ? u"1" : u"0");
    node->SetAttribute(u"tableauxSeen", tableauxSeen ? u"1" : u"0");
    node->SetAttribute(u"relaxed", relaxed ? u"1" : u"0");
    node->SetAttribute(u"bouquet", Format(u"%d", {bouquet}));
    node->SetAttribute(u"cake", Format(u"%d", {cake}));
    node->SetAttribute(u"gown", Format(u"%d", {gown}));
    node->SetAttribute(u"gift", Format(u"%d", {gift}));
    node->SetAttribute(u"honeymoonitems", Format(u"%d", {honeymoonItems}));
    node->SetAttribute(u"musicvolume", Format(u"%f", {musicVolume}));
    node->SetAttribute(u"ambientvolume", Format(u"%f", {ambientVolume}));
    node->SetAttribute(u"effectsvolume", Format(u"%f", {effectsVolume}));
    for (const auto& scene : scenes)
        scene->Save(node);
    for (const auto& level : levels)
        level->Save(node);
    if (concentration) {
        if (auto copy = CopyElement(*concentration))
            node->InsertChild(std::move(copy));
    }
    if (storyGame) {
        if (auto copy = CopyElement(*storyGame))
            node->InsertChild(std::move(copy));
    }
    tutorial.Save(node);
}

SceneRecord* Profile::FindScene(int32_t number) const
{
    for (const auto& scene : scenes) {
        if (scene->number == number)
            return scene.get();
    }
    return nullptr;
}

LevelRecord* Profile::FindLevel(int32_t number) const
{
    for (const auto& level : levels) {
        if (level->number == number)
            return level.get();
    }
    return nullptr;
}

LevelRecord* Profile::CurrentLevel() const
{
    return FindLevel(CurrentLevelNumber());
}

bool Profile::IsDone(int32_t code) const
{
    switch (code) {
    case 0:
        return introSeen;
    case 6:
    case 12:
        return true;
    case 18:
        return tableauxSeen;
    default:
        break;
    }
    for (const auto& scene : scenes) {
        if (scene->level == code && scene->status != SceneRecord::Complete)
            return false;
    }
    const LevelRecord* level = FindLevel(code);
    if (!level)
        return false;
    return level->crisis ? true : level->bonusPlayed;
}

bool Profile::CompleteScene()
{
    const LevelRecord* level = CurrentLevel();
    if (!level || level->items < level->maxItems)
        return false;
    for (const auto& scene : scenes) {
        if (scene->level == level->number)
            scene->status = SceneRecord::Complete;
    }
    return true;
}

void Profile::ResetLevel(int32_t number)
{
    for (const auto& scene : scenes) {
        if (scene->level != number)
            continue;
        scene->ClearEntries();
        scene->status = SceneRecord::Open;
        scene->replay = true;
    }
    if (LevelRecord* level = FindLevel(number)) {
        level->items = 0;
        level->timeLeft = level->maxTime;
        level->hints = level->maxHints;
        level->bonusPlayed = false;
    }
}

bool Profile::OpenNextLevel()
{
    const int32_t next = CurrentLevelNumber() + 1;
    for (const auto& scene : scenes) {
        if (scene->level != next)
            continue;
        if (scene->status != SceneRecord::Locked)
            return false; // the level was open already
        scene->status = SceneRecord::Open;
    }
    concentration.reset();
    storyGame.reset();
    return true;
}

void Profile::UnlockBook()
{
    for (const auto& scene : scenes) {
        if (scene->status == SceneRecord::Locked)
            scene->status = SceneRecord::Open;
    }
    bookUnlocked = true;
}

float Profile::TotalTimeUsed() const
{
    float total = 0.0f;
    for (const auto& level : levels)
        total += level->maxTime - level->timeLeft;
    return total;
}

int32_t Profile::MaxSceneNumber(int32_t level) const
{
    int32_t best = 0;
    for (const auto& scene : scenes) {
        if (scene->level == level && scene->number > best)
            best = scene->number;
    }
    return best;
}

void Profile::SetConcentrationState(std::unique_ptr<XmlNode> element)
{
    concentration = std::move(element);
}

void Profile::SetStoryState(std::unique_ptr<XmlNode> element)
{
    storyGame = std::move(element);
}

bool Profile::AddSceneRecord(std::unique_ptr<SceneRecord> record)
{
    if (!record || FindScene(record->number) || scenes.size() >= kMaxRecords)
        return false;
    scenes.push_back(std::move(record));
    return true;
}

bool Profile::AddLevelRecord(std::unique_ptr<LevelRecord> record)
{
    if (!record || FindLevel(record->number) || levels.size() >= kMaxRecords)
        return false;
    levels.push_back(std::move(record));
    return true;
}
