#pragma once
// Display texts by numeric id, from "StringTable.xml". Texts that begin with a bar refer to this
// table (see LocalizeString).

#include "engine/core/strings/EngineString.h"
#include "engine/core/Singleton.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <set>

namespace QuillEngine {

class XmlCache;
class XmlNode;

class StringTable : public Singleton<StringTable> {
public:
    explicit StringTable(XmlCache* cache);

    // Reads "StringTable.xml" through the document cache (white space kept). A missing file is an
    // empty table (true); a malformed entry is false.
    bool Load();
    // Adds the root's `Entry` children: each needs an `id` attribute (automatic base) and a
    // non-empty `Text` child; a later id replaces an earlier one. False at the first bad entry.
    bool LoadFrom(const XmlNode& root);

    // The text of `id`, or an empty string.
    const String& Get(uint32_t id) const;
    size_t GetCount() const { return m_texts.size(); }
    // A text refers to `id`, which the table lacks: the text shows its reference as it stands, and
    // stderr names the id and the table once, so a translator or a modder can find the gap.
    void TellMissing(uint32_t id) const;

    static constexpr const char16_t* kFileName = u"StringTable.xml";

private:
    XmlCache* m_cache;
    std::map<uint32_t, String> m_texts;
    mutable std::mutex m_toldLock;
    mutable std::set<uint32_t> m_toldMissing;
};

} // namespace QuillEngine
