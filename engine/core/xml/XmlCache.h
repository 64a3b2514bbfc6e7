#pragma once
// Parsed XML documents by file name, so that each data file is read and parsed once. The cache
// owns its documents; callers must not delete them.

#include "engine/core/strings/EngineString.h"
#include "engine/core/Singleton.h"
#include "engine/core/xml/XmlNode.h"

#include <memory>
#include <vector>

namespace QuillEngine {

class FileManager;

class XmlCache : public Singleton<XmlCache> {
public:
    explicit XmlCache(FileManager* files);
    ~XmlCache();

    // The document of `fileName` (exact-case name), loaded through the file manager on first use.
    // Null when the file is missing, 2 bytes or shorter, UTF-16BE or malformed; nothing is cached
    // then. `keepWhiteSpace` only matters for the first load of a name.
    XmlNode* Get(const String& fileName, bool keepWhiteSpace = false);
    // Drops the document so that the next Get reads the file again.
    void Unload(const String& fileName);
    void Clear();

    size_t GetDocumentCount() const { return m_entries.size(); }

private:
    struct Entry {
        String fileName;
        std::unique_ptr<XmlNode> document;
    };

    static void Release(Entry& entry);

    FileManager* m_files;
    std::vector<Entry> m_entries;
};

} // namespace QuillEngine
