#include "engine/core/strings/StringTable.h"

#include "engine/core/strings/StringUtil.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/core/xml/XmlNode.h"

#include <cstdio>
#include <vector>

namespace QuillEngine {

StringTable::StringTable(XmlCache* cache) : m_cache(cache) {}

bool StringTable::Load()
{
    const XmlNode* root = m_cache ? m_cache->Get(kFileName, true) : nullptr;
    if (!root)
        return true;
    return LoadFrom(*root);
}

bool StringTable::LoadFrom(const XmlNode& root)
{
    std::vector<XmlNode*> entries;
    root.SelectNodes(u"Entry", entries);
    String id;
    for (const XmlNode* entry : entries) {
        if (!entry->GetAttribute(u"id", id))
            return false;
        const XmlNode* text = entry->FindPath(u"Text");
        if (!text || text->GetText().empty())
            return false;
        m_texts.insert_or_assign(ToUInt(id), text->GetText());
    }
    return true;
}

const String& StringTable::Get(uint32_t id) const
{
    static const String kEmpty;
    const auto it = m_texts.find(id);
    return it != m_texts.end() ? it->second : kEmpty;
}

void StringTable::TellMissing(uint32_t id) const
{
    {
        std::lock_guard guard(m_toldLock);
        if (!m_toldMissing.insert(id).second)
            return;
    }
    std::fprintf(stderr,
                 "The text table \"%s\" has no entry %u: a text that refers to it shows the reference itself.\n",
                 ToUtf8(kFileName).c_str(), id);
}

} // namespace QuillEngine
