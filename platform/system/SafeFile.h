#pragma once
// Files of the user: reading with a size cap, writing that never damages the old file (a
// temporary in the same folder, fsync, rename, fsync of the folder), folder creation and the
// XDG base folders.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace QuillPlatform {

// $XDG_DATA_HOME, else $HOME/.local/share; $XDG_CONFIG_HOME, else $HOME/.config. Empty or relative
// values are ignored; the result is empty when no absolute folder can be found. No trailing '/'.
std::string XdgDataHome();
std::string XdgConfigHome();

enum class PathKind { Missing, Folder, Other, Error };
PathKind GetPathKind(const std::string& path);

// Creates every missing folder of `path` (absolute or relative). An existing folder is fine; a
// part that exists but is no folder, or a folder that cannot be made, gives false.
bool CreateDirectoryPath(const std::string& path);

// An open file descriptor that closes itself.
class FileHandle {
public:
    FileHandle() = default;
    ~FileHandle();
    FileHandle(FileHandle&& other) noexcept : m_fd(other.m_fd), m_error(other.m_error) { other.m_fd = -1; }
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    static FileHandle OpenRead(const std::string& path);
    // Creates or truncates the file (mode 0644 before the umask).
    static FileHandle OpenWrite(const std::string& path);

    bool IsOpen() const { return m_fd >= 0; }
    // errno of the failed open (ENOENT when a folder of the path is missing), or of the failed
    // ReadAll (EFBIG over the cap, EISDIR for a folder, EIO for a file cut short).
    int Error() const { return m_error; }

    // Reads the whole file into `out`; false when it cannot be read completely or is larger than
    // `cap` bytes (nothing is allocated for an oversized file).
    bool ReadAll(std::vector<uint8_t>& out, size_t cap);
    // Writes every byte, continuing after short writes and interruptions.
    bool WriteAll(const void* data, size_t size);
    bool Sync();
    // Closes and reports close()'s result (a late write error shows up here).
    bool Close();

private:
    explicit FileHandle(int fd, int error) : m_fd(fd), m_error(error) {}
    int m_fd = -1;
    int m_error = 0;
};

// Renames `from` over `to` (atomic on one file system) and syncs the folder of `to`, so the new
// name survives a power cut.
bool ReplaceFile(const std::string& from, const std::string& to);
bool SyncFolder(const std::string& folder);
// Gives `from` the name `to` only when nothing has that name yet, then syncs the folder. Returns 0,
// or the errno (EEXIST when `to` is taken; `from` then stays as it was).
int PlaceFileNew(const std::string& from, const std::string& to);
bool RemoveFile(const std::string& path);

} // namespace QuillPlatform
