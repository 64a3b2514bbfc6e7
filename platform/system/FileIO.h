#pragma once
// Read-only access to data files: a file opened once and read at any offset (from any thread,
// each read on its own), what a path names, and the names in a folder. Paths are UTF-8 bytes
// with '/' separators, passed to the system unchanged.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace QuillPlatform {

enum class FileKind { Missing, File, Folder, Other };

// What `path` names, links followed. Missing also when the path cannot be examined at all
// (no permission on a folder of it, a name too long).
FileKind GetFileKind(const std::string& path);

// The entry names of a folder, "." and ".." left out, in the system's order. False (and `names`
// empty) when the folder cannot be listed.
bool ListFolder(const std::string& path, std::vector<std::string>& names);

// A stamp of a folder's entries: it changes whenever an entry is added, removed or renamed (the
// folder's identity and modification time, in nanoseconds). 0 when the folder cannot be examined,
// or was changed so recently (within two seconds) that a file system keeping coarse times might
// give the next change the same stamp: such a folder is to be listed again each time.
uint64_t FolderStamp(const std::string& path);

// A regular file opened for reading. Opening never blocks, not even on a FIFO or a device: those
// are refused like folders, since only a regular file has a size to trust.
class ReadOnlyFile {
public:
    ReadOnlyFile() = default;
    ~ReadOnlyFile();
    ReadOnlyFile(ReadOnlyFile&& other) noexcept : fd_(other.fd_), size_(other.size_) { other.fd_ = -1; }
    ReadOnlyFile& operator=(ReadOnlyFile&& other) noexcept;
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    // Closes any file open before. False, and closed, when `path` is not a readable regular file.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    // The size when it was opened.
    uint64_t Size() const { return size_; }

    // Reads exactly `count` bytes at `offset`, continuing after short reads and interruptions.
    // False on a read error or when the file ends first (the buffer's contents are then
    // unspecified). Does not move any shared position, so concurrent reads are safe.
    bool ReadAt(void* buffer, size_t count, uint64_t offset) const;

private:
    int fd_ = -1;
    uint64_t size_ = 0;
};

} // namespace QuillPlatform
