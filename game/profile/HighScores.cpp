#include "game/profile/HighScores.h"

#include "engine/core/strings/Format.h"
#include "engine/core/strings/StringUtil.h"
#include "engine/core/xml/XmlNode.h"
#include "game/profile/SceneRecord.h"

using namespace QuillEngine;

bool HighScores::Insert(const String& name, uint32_t time)
{
    // Reserved up front so a full table never reallocates for the extra line it drops at once.
    m_entries.reserve(kMaxEntries + 1);
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].time > time) {
            m_entries.insert(m_entries.begin() + static_cast<std::ptrdiff_t>(i), HighScoreEntry{name, time});
            if (m_entries.size() > kMaxEntries)
                m_entries.pop_back();
            return true;
        }
    }
    if (m_entries.size() >= kMaxEntries)
        return false;
    m_entries.push_back(HighScoreEntry{name, time});
    return true;
}

void HighScores::Defaults()
{
    static const struct {
        const char16_t* name;
        uint32_t time;
    } kDefaults[] = {
        {u"Rosalind", 18000}, {u"Barnaby", 16000},  {u"Clementine", 14000}, {u"Tobias", 12000}, {u"Marigold", 10000},
        {u"Ferdinand", 8000}, {u"Henrietta", 6000}, {u"Linus", 5000},       {u"Octavia", 4000}, {u"Percival", 3600},
    };
    m_entries.clear();
    for (const auto& d : kDefaults)
        Insert(d.name, d.time);
}

bool HighScores::Load(const XmlNode* element)
{
    if (!element) {
        Defaults();
        return true;
    }
    m_entries.clear();
    for (const auto& child : element->Children()) {
        if (child->GetName() != u"score")
            continue;
        String name;
        String time;
        if (!child->GetAttribute(u"name", name) || !child->GetAttribute(u"time", time))
            return false;
        Insert(name, ParseSaveUInt(time));
    }
    return true;
}

void HighScores::Save(XmlNode* parent) const
{
    if (!parent)
        return;
    XmlNode* table = parent->AddChild(u"highscores");
    for (const HighScoreEntry& entry : m_entries) {
        XmlNode* score = table->AddChild(u"score");
        score->SetAttribute(u"name", entry.name);
        score->SetAttribute(u"time", Format(u"%d", {entry.time}));
    }
}
