#include "engine/core/files/FileManager.h"

#include <algorithm>
#include <cstdio>

#include "engine/core/files/FileStream.h"

namespace QuillEngine {

namespace Detail {
FileBuffer::~FileBuffer()
{
    // The manager may already be gone; its cache then went with it.
    if (auto owner = cache.lock()) {
        std::lock_guard guard(owner->lock);
        auto it = owner->entries.find(name);
        if (it != owner->entries.end() && it->second.expired())
            owner->entries.erase(it);
    }
}
} // namespace Detail

const String& FileHandle::Name() const
{
    static const String empty;
    return m_buffer ? m_buffer->name : empty;
}

FileManager::FileManager() : m_cache(std::make_shared<Detail::FileCache>()) {}

FileManager::~FileManager()
{
    m_activeSources.clear();
    for (IFSSource* source : m_sources)
        delete source;
    m_sources.clear();
}

bool FileManager::AddSource(IFSSource* source)
{
    if (!source)
        return false;
    if (!source->Open()) {
        delete source;
        return false;
    }
    m_sources.push_back(source);
    return true;
}

void FileManager::RemoveGroup(const String& group)
{
    m_activeSources.clear();
    auto doomed = std::stable_partition(m_sources.begin(), m_sources.end(),
                                        [&](IFSSource* s) { return s->GetGroupName() != group; });
    for (auto it = doomed; it != m_sources.end(); ++it)
        delete *it;
    m_sources.erase(doomed, m_sources.end());
}

bool FileManager::SelectGroup(const String& group)
{
    m_activeSources.clear();
    for (IFSSource* source : m_sources) {
        if (source->GetGroupName() == group)
            m_activeSources.push_back(source);
    }
    return !m_activeSources.empty();
}

void FileManager::ClearActive()
{
    m_activeSources.clear();
}

bool FileManager::Exists(const String& name)
{
    for (IFSSource* source : SearchedSources()) {
        if (source->Exists(name))
            return true;
    }
    return false;
}

FileHandle FileManager::LoadFile(const String& name)
{
    auto& entries = m_cache->entries;
    {
        std::lock_guard guard(m_cache->lock);
        auto it = entries.find(name);
        if (it != entries.end()) {
            if (auto buffer = it->second.lock())
                return FileHandle(std::move(buffer));
        }
    }

    std::unique_ptr<uint8_t[]> data;
    size_t size = 0;
    for (IFSSource* source : SearchedSources()) {
        if (!source->ReadFile(name, data, size)) {
            // A damaged entry is told, and the search goes on: a later source may hold a good copy.
            if (DamagedEntry damage; source->LastReadDamage(damage))
                NoteDamage(damage);
            continue;
        }
        if (!data) // an empty file still gets a readable pointer
            data = std::make_unique_for_overwrite<uint8_t[]>(1);
        auto buffer = std::make_shared<Detail::FileBuffer>();
        buffer->data = std::move(data);
        buffer->size = size;
        buffer->name = name;
        buffer->cache = m_cache;
        std::lock_guard guard(m_cache->lock);
        entries[name] = buffer;
        return FileHandle(std::move(buffer));
    }
    return FileHandle();
}

FileStream* FileManager::OpenStream(const String& name)
{
    FileHandle file = LoadFile(name);
    if (!file.IsValid())
        return nullptr;
    return new FileStream(std::move(file));
}

void FileManager::NoteDamage(const DamagedEntry& damage)
{
    {
        std::lock_guard guard(m_damageLock);
        if (!m_damageSeen.emplace(damage.archive, damage.entry).second)
            return;
        m_damaged.push_back(damage);
    }
    if (m_damageReporter) {
        m_damageReporter(damage);
        return;
    }
    std::fprintf(stderr, "\"%s\": entry \"%s\" is damaged and cannot be read (%s).\n", ToUtf8(damage.archive).c_str(),
                 ToUtf8(damage.entry).c_str(), damage.problem.c_str());
}

std::vector<DamagedEntry> FileManager::DamagedEntries() const
{
    return DamagedEntriesAfter(0);
}

std::vector<DamagedEntry> FileManager::DamagedEntriesAfter(size_t count) const
{
    std::lock_guard guard(m_damageLock);
    if (count >= m_damaged.size())
        return {};
    return std::vector<DamagedEntry>(m_damaged.begin() + static_cast<ptrdiff_t>(count), m_damaged.end());
}

size_t FileManager::CachedFileCount() const
{
    std::lock_guard guard(m_cache->lock);
    return static_cast<size_t>(std::count_if(m_cache->entries.begin(), m_cache->entries.end(),
                                             [](const auto& e) { return !e.second.expired(); }));
}

} // namespace QuillEngine
