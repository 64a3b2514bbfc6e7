#pragma once
// The engine's read-only virtual file system. Every data file (XML, scripts, pictures, sounds,
// fonts) is read through it by relative name from an ordered list of sources (archives and loose
// folders), each tagged with a group name. Loaded files are shared while anybody holds them.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/core/strings/EngineString.h"
#include "engine/core/Singleton.h"

namespace QuillEngine {

class FileManager;
class FileStream;

namespace Detail {
struct FileCache;

// One loaded file. Shared by every handle on it; the last handle frees it and drops the cache
// entry (when the manager still exists).
struct FileBuffer {
    std::unique_ptr<uint8_t[]> data; // never null, even for an empty file
    size_t size = 0;
    String name;
    std::weak_ptr<FileCache> cache;

    FileBuffer() = default;
    FileBuffer(const FileBuffer&) = delete;
    FileBuffer& operator=(const FileBuffer&) = delete;
    ~FileBuffer();
};

// Name → live buffer. Guarded because a stream's last release may come from another thread.
struct FileCache {
    std::mutex lock;
    std::map<String, std::weak_ptr<FileBuffer>> entries;
};
} // namespace Detail

// A counted reference to a loaded file. Copying adds a use; destroying or reassigning gives it
// back. The buffer stays valid for as long as the handle lives, even past the manager.
class FileHandle {
  public:
    FileHandle() = default;

    bool IsValid() const { return m_buffer != nullptr; }
    explicit operator bool() const { return IsValid(); }
    // Null when not found; an empty file gives a non-null pointer and size 0.
    const uint8_t* Data() const { return m_buffer ? m_buffer->data.get() : nullptr; }
    size_t Size() const { return m_buffer ? m_buffer->size : 0; }
    // The name the file was loaded under; empty when not found.
    const String& Name() const;
    // Releases this handle's use.
    void Reset() { m_buffer.reset(); }
    // Number of handles (and streams) holding this file; 0 when empty.
    long UseCount() const { return m_buffer.use_count(); }

  private:
    friend class FileManager;
    explicit FileHandle(std::shared_ptr<Detail::FileBuffer> buffer) : m_buffer(std::move(buffer)) {}

    std::shared_ptr<Detail::FileBuffer> m_buffer;
};

// An entry a source holds but cannot deliver: its bytes fail their checksum, its sizes are false,
// its header is damaged.
struct DamagedEntry {
    String archive;      // the source's path as it was given
    String entry;        // the entry's name as the source keeps it
    std::string problem; // what is wrong, in plain words
};

class FileManager : public Singleton<FileManager> {
  public:
    // A place files are read from. Names are handed over unchanged; each source normalises them
    // its own way.
    class IFSSource {
      public:
        virtual ~IFSSource() = default;
        // Prepares the source; false means it is unusable.
        virtual bool Open() = 0;
        virtual void Close() = 0;
        virtual bool IsOpen() const = 0;
        // On success `data` holds a new buffer of `size` bytes (non-null even when size is 0).
        virtual bool ReadFile(const String& name, std::unique_ptr<uint8_t[]>& data, size_t& size) = 0;
        virtual bool Exists(const String& name) = 0;
        virtual String GetGroupName() const = 0;
        // After a failed ReadFile: true, with the details, when the source holds the name but
        // the entry is damaged (a name it does not hold is no damage).
        virtual bool LastReadDamage(DamagedEntry& /*damage*/) const { return false; }
    };
    // Told once for each damaged entry met, the first time it is read.
    using DamageReporter = std::function<void(const DamagedEntry&)>;

    FileManager();
    ~FileManager();
    FileManager(const FileManager&) = delete;
    FileManager& operator=(const FileManager&) = delete;

    // Opens the source; on success the manager owns it and searches it after the ones added
    // before. On failure the source is deleted and false returned.
    bool AddSource(IFSSource* source);
    bool AddSource(std::unique_ptr<IFSSource> source) { return AddSource(source.release()); }
    // Clears the selection, then deletes every source of exactly that group.
    void RemoveGroup(const String& group);
    // Restricts searches to the sources of one group; true when the group has any source.
    bool SelectGroup(const String& group);
    // Searches every source again.
    void ClearActive();

    // Whether a searched source has the file (the cache is not consulted).
    bool Exists(const String& name);
    // The file's bytes, shared with every other live handle of the same name; an empty handle
    // when no searched source has it.
    FileHandle LoadFile(const String& name);
    // A read-only stream over the loaded file (reference count 1), or null when not found.
    FileStream* OpenStream(const String& name);

    // Without a reporter, damage is told on stderr. Either way it is kept in DamagedEntries.
    void SetDamageReporter(DamageReporter reporter) { m_damageReporter = std::move(reporter); }
    // Every damaged entry met so far, each once, in the order met.
    std::vector<DamagedEntry> DamagedEntries() const;
    // Those met after the first `count` (what a caller asking every step has not seen yet).
    std::vector<DamagedEntry> DamagedEntriesAfter(size_t count) const;

    size_t SourceCount() const { return m_sources.size(); }
    // Number of files currently held by live handles.
    size_t CachedFileCount() const;

  private:
    const std::vector<IFSSource*>& SearchedSources() const
    {
        return m_activeSources.empty() ? m_sources : m_activeSources;
    }

    void NoteDamage(const DamagedEntry& damage);

    std::vector<IFSSource*> m_sources;       // owned
    std::vector<IFSSource*> m_activeSources; // borrowed from m_sources
    std::shared_ptr<Detail::FileCache> m_cache;
    DamageReporter m_damageReporter;
    mutable std::mutex m_damageLock;
    // A package mounted again reads through a new source: it is the same entry of the same file.
    std::set<std::pair<String, String>> m_damageSeen;
    std::vector<DamagedEntry> m_damaged;
};

} // namespace QuillEngine
