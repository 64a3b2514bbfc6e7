#include "game/profile/SceneRecord.h"

#include <cmath>
#include <cstdint>

#include "engine/core/strings/Format.h"
#include "engine/core/strings/StringUtil.h"
#include "engine/core/xml/XmlNode.h"

using namespace QuillEngine;

uint32_t ParseSaveUInt(StringView text)
{
    // A count edited to a negative number is 0: read as unsigned it would wrap to a huge one.
    const size_t first = text.find_first_not_of(u" \t");
    if (first != StringView::npos && text[first] == u'-')
        return 0;
    return ParseUInt32(text, 10);
}

bool ReadSaveUInt(const XmlNode* element, StringView name, uint32_t& out)
{
    auto it = element->Attributes().find(name);
    if (it == element->Attributes().end())
        return false;
    out = ParseSaveUInt(it->second);
    return true;
}

bool ReadSaveReal(const XmlNode* element, StringView name, double& out)
{
    auto it = element->Attributes().find(name);
    if (it == element->Attributes().end())
        return false;
    const double value = ToDouble(it->second);
    out = std::isfinite(value) && value > 0.0 ? value : 0.0;
    return true;
}

bool ReadSaveFlag(const XmlNode* element, StringView name, bool& out, bool isSigned)
{
    auto it = element->Attributes().find(name);
    if (it == element->Attributes().end())
        return false;
    out = isSigned ? ParseInt32(it->second, 10) != 0 : ParseUInt32(it->second, 10) != 0;
    return true;
}

int32_t SaveUIntToField(uint32_t value)
{
    return value > static_cast<uint32_t>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(value);
}

// ---------------------------------------------------------------------------------------------

FindListEntry::FindListEntry(String name_, String plural_)
    : name(std::move(name_)), plural(std::move(plural_)), group(!plural.empty()), text(name)
{
}

void FindListEntry::UpdateText()
{
    const int32_t n = count != 0 ? count : maxcount;
    if (!group)
        return;
    text = n < 2 ? name : Format(u"%d %s", {n, plural});
}

void FindListEntry::Save(XmlNode* parent, bool bluebird) const
{
    XmlNode* node = parent->AddChild(bluebird ? u"bluebird" : u"findlist");
    node->SetAttribute(u"name", name);
    node->SetAttribute(u"displayname", text);
    node->SetAttribute(u"plural", plural);
    node->SetAttribute(u"count", Format(u"%d", {count}));
    node->SetAttribute(u"maxcount", Format(u"%d", {maxcount}));
    node->SetAttribute(u"found", found ? u"1" : u"0");
    node->SetAttribute(u"group", group ? u"1" : u"0");
}

bool FindListEntry::Load(const XmlNode* element)
{
    if (!element)
        return false;
    if (!element->GetAttribute(u"name", name) || !element->GetAttribute(u"displayname", text) ||
        !element->GetAttribute(u"plural", plural))
        return false;
    uint32_t value = 0;
    if (!ReadSaveUInt(element, u"count", value))
        return false;
    count = SaveUIntToField(value);
    if (!ReadSaveUInt(element, u"maxcount", value))
        return false;
    maxcount = SaveUIntToField(value);
    return ReadSaveFlag(element, u"found", found) && ReadSaveFlag(element, u"group", group);
}

// ---------------------------------------------------------------------------------------------

SceneRecord::SceneRecord(int32_t status_, int32_t number_, int32_t level_, String title_, int32_t items_,
                         float difficulty_)
    : status(status_), number(number_), level(level_), title(std::move(title_)), items(items_), difficulty(difficulty_)
{
}

std::unique_ptr<SceneRecord> SceneRecord::Clone() const
{
    auto copy = std::make_unique<SceneRecord>(status, number, level, title, items, difficulty);
    copy->replay = replay;
    for (const auto& e : findList)
        copy->findList.push_back(std::make_unique<FindListEntry>(*e));
    for (const auto& e : bluebirds)
        copy->bluebirds.push_back(std::make_unique<FindListEntry>(*e));
    return copy;
}

bool SceneRecord::Load(const XmlNode* element)
{
    if (!element)
        return false;
    uint32_t value = 0;
    // A status is one of four; a negative one is refused like any other beyond them.
    String statusText;
    if (!element->GetAttribute(u"status", statusText))
        return false;
    value = ParseUInt32(statusText, 10);
    if (value >= 4)
        return false;
    status = static_cast<int32_t>(value);
    if (!ReadSaveUInt(element, u"number", value))
        return false;
    number = SaveUIntToField(value);
    if (!ReadSaveUInt(element, u"level", value))
        return false;
    level = SaveUIntToField(value);
    if (!element->GetAttribute(u"title", title))
        return false;
    if (!ReadSaveUInt(element, u"items", value))
        return false;
    items = SaveUIntToField(value);
    double real = 0.0;
    if (!ReadSaveReal(element, u"difficulty", real))
        return false;
    difficulty = static_cast<float>(real);
    if (!ReadSaveFlag(element, u"replay", replay))
        return false;

    ClearEntries();
    if (status != InProgress)
        return true;
    for (const char16_t* kind : {u"findlist", u"bluebird"}) {
        auto& list = kind[0] == u'f' ? findList : bluebirds;
        for (const auto& child : element->Children()) {
            if (child->GetName() != kind)
                continue;
            if (list.size() >= kMaxEntries)
                return false;
            auto entry = std::make_unique<FindListEntry>(String(), String());
            if (!entry->Load(child.get()))
                return false;
            list.push_back(std::move(entry));
        }
    }
    return true;
}

void SceneRecord::Save(XmlNode* parent) const
{
    XmlNode* node = parent->AddChild(u"scene");
    node->SetAttribute(u"status", Format(u"%d", {status}));
    node->SetAttribute(u"number", Format(u"%d", {number}));
    node->SetAttribute(u"level", Format(u"%d", {level}));
    node->SetAttribute(u"title", title);
    node->SetAttribute(u"items", Format(u"%d", {items}));
    node->SetAttribute(u"difficulty", Format(u"%f", {static_cast<double>(difficulty)}));
    node->SetAttribute(u"replay", replay ? u"1" : u"0");
    if (status != InProgress)
        return;
    for (const auto& e : findList)
        e->Save(node, false);
    for (const auto& e : bluebirds)
        e->Save(node, true);
}

int32_t SceneRecord::ItemsLeft() const
{
    switch (status) {
    case Open:
    case Locked:
        return items;
    case Complete:
        return 0;
    default: {
        int64_t left = 0;
        for (const auto& e : findList)
            left += e->count;
        return static_cast<int32_t>(left);
    }
    }
}
