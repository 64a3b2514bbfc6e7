#include "engine/core/xml/XmlCache.h"

#include "engine/core/files/FileManager.h"

namespace QuillEngine {

XmlCache::XmlCache(FileManager* files) : m_files(files) {}

XmlCache::~XmlCache()
{
    Clear();
}

XmlNode* XmlCache::Get(const String& fileName, bool keepWhiteSpace)
{
    for (const Entry& entry : m_entries)
        if (entry.fileName == fileName)
            return entry.document.get();
    if (!m_files)
        return nullptr;
    FileHandle file = m_files->LoadFile(fileName);
    if (!file.IsValid())
        return nullptr;
    std::unique_ptr<XmlNode> document = XmlNode::ParseFileBytes(file.Data(), file.Size(), keepWhiteSpace);
    if (!document)
        return nullptr;
    document->SetFileName(fileName);
    document->SetCached(true);
    m_entries.push_back({fileName, std::move(document)});
    return m_entries.back().document.get();
}

void XmlCache::Release(Entry& entry)
{
    if (entry.document) {
        entry.document->SetCached(false);
        entry.document.reset();
    }
}

void XmlCache::Unload(const String& fileName)
{
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if (it->fileName == fileName) {
            Release(*it);
            m_entries.erase(it);
            return;
        }
    }
}

void XmlCache::Clear()
{
    for (Entry& entry : m_entries)
        Release(entry);
    m_entries.clear();
}

} // namespace QuillEngine
