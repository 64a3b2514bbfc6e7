#include "game/profile/LevelRecord.h"

#include "engine/core/strings/Format.h"
#include "engine/core/xml/XmlNode.h"
#include "game/profile/SceneRecord.h"

using namespace QuillEngine;

LevelRecord::LevelRecord(String key_, float time, float bonusTime, int32_t maxItems_, int32_t number_, bool crisis_)
    : key(std::move(key_)), timeLeft(time), maxTime(time), bonusTimeLeft(bonusTime), bonusMaxTime(bonusTime),
      maxItems(maxItems_), crisis(crisis_), number(number_)
{
}

std::unique_ptr<LevelRecord> LevelRecord::MakeFromTemplate() const
{
    auto record = std::make_unique<LevelRecord>(key, maxTime, bonusMaxTime, maxItems, number, crisis);
    record->miniGameKind = miniGameKind;
    return record;
}

bool LevelRecord::Load(const XmlNode* element)
{
    if (!element)
        return false;
    double real = 0.0;
    float* const reals[] = {&timeLeft, &maxTime, &bonusTimeLeft, &bonusMaxTime};
    const char16_t* const realNames[] = {u"timeleft", u"maxtime", u"bonustimeleft", u"bonusmaxtime"};
    for (int i = 0; i < 4; ++i) {
        if (!ReadSaveReal(element, realNames[i], real))
            return false;
        *reals[i] = static_cast<float>(real);
    }
    uint32_t value = 0;
    int32_t* const numbers[] = {&maxItems, &items, &maxHints, &hints, &number};
    const char16_t* const numberNames[] = {u"maxitems", u"items", u"maxhints", u"hints", u"number"};
    for (int i = 0; i < 5; ++i) {
        if (!ReadSaveUInt(element, numberNames[i], value))
            return false;
        *numbers[i] = SaveUIntToField(value);
    }
    return ReadSaveFlag(element, u"crisis", crisis) && ReadSaveFlag(element, u"crisissound", crisisSound) &&
           ReadSaveFlag(element, u"bonusplayed", bonusPlayed, true) &&
           ReadSaveFlag(element, u"firsttimeseen", firstTimeSeen, true);
}

void LevelRecord::Save(XmlNode* parent) const
{
    XmlNode* node = parent->AddChild(u"level");
    node->SetAttribute(u"timeleft", Format(u"%f", {static_cast<double>(timeLeft)}));
    node->SetAttribute(u"maxtime", Format(u"%f", {static_cast<double>(maxTime)}));
    node->SetAttribute(u"bonustimeleft", Format(u"%f", {static_cast<double>(bonusTimeLeft)}));
    node->SetAttribute(u"bonusmaxtime", Format(u"%f", {static_cast<double>(bonusMaxTime)}));
    node->SetAttribute(u"maxitems", Format(u"%d", {maxItems}));
    node->SetAttribute(u"items", Format(u"%d", {items}));
    node->SetAttribute(u"maxhints", Format(u"%d", {maxHints}));
    node->SetAttribute(u"hints", Format(u"%d", {hints}));
    node->SetAttribute(u"number", Format(u"%d", {number}));
    node->SetAttribute(u"crisis", crisis ? u"1" : u"0");
    node->SetAttribute(u"crisissound", crisisSound ? u"1" : u"0");
    node->SetAttribute(u"bonusplayed", bonusPlayed ? u"1" : u"0");
    node->SetAttribute(u"firsttimeseen", firstTimeSeen ? u"1" : u"0");
}

void LevelRecord::SpendTime(float seconds, bool relaxed)
{
    if (!relaxed)
        timeLeft -= seconds;
}
