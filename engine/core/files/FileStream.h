#pragma once
// A read-only, seekable stream over one loaded file, for picture and sound decoders that want a
// stream instead of a buffer. Reference counted; the last Release deletes it and gives the file
// back to the file manager.

#include <atomic>
#include <cstdint>

#include "engine/core/files/FileManager.h"

namespace QuillEngine {

enum class StreamResult : int32_t {
    Ok = 0,
    False = 1,  // read at or past the end: nothing copied
    Unexpected, // the stream holds no data
    InvalidArg,
    NotImplemented,
};

enum class SeekOrigin : uint32_t { Begin = 0, Current = 1, End = 2 };

enum class StreamStatFlag : uint32_t { Default = 0, NoName = 1 };

struct StreamStat {
    uint32_t type = 0; // always StreamType
    uint64_t size = 0;
    static constexpr uint32_t StreamType = 2;
};

class FileStream {
  public:
    // Takes over the handle; the reference count starts at 1 and the position at 0.
    explicit FileStream(FileHandle file) : m_file(std::move(file)) {}
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    uint32_t AddRef();
    uint32_t Release();

    // Copies min(count, size - position) bytes. At or past the end: False and nothing copied.
    StreamResult Read(void* buffer, uint32_t count, uint32_t* read);
    // Only the low 32 bits of the offset count. The new position must lie inside the data:
    // seeking to exactly the end is refused and the position stays.
    StreamResult Seek(int64_t offset, SeekOrigin origin, uint64_t* newPosition);
    StreamResult Seek(int64_t offset, uint32_t origin, uint64_t* newPosition);
    // `flag` must be NoName.
    StreamResult Stat(StreamStat* stat, StreamStatFlag flag) const;
    StreamResult Write(const void*, uint32_t, uint32_t*) { return StreamResult::NotImplemented; }
    StreamResult SetSize(uint64_t) { return StreamResult::NotImplemented; }
    StreamResult Clone(FileStream**) { return StreamResult::NotImplemented; }

    uint32_t Position() const { return m_position; }
    const FileHandle& File() const { return m_file; }

  private:
    ~FileStream() = default;

    FileHandle m_file;
    uint32_t m_position = 0;
    std::atomic<uint32_t> m_refCount{1};
};

} // namespace QuillEngine
