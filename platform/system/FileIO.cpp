#include "platform/system/FileIO.h"

#include <cerrno>
#include <ctime>
#include <string_view>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace QuillPlatform {

FileKind GetFileKind(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return FileKind::Missing;
    if (S_ISREG(st.st_mode))
        return FileKind::File;
    return S_ISDIR(st.st_mode) ? FileKind::Folder : FileKind::Other;
}

bool ListFolder(const std::string& path, std::vector<std::string>& names)
{
    names.clear();
    DIR* d = ::opendir(path.empty() ? "." : path.c_str());
    if (!d)
        return false;
    errno = 0;
    while (const dirent* e = ::readdir(d)) {
        const std::string_view name = e->d_name;
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    const bool complete = errno == 0;
    ::closedir(d);
    if (!complete)
        names.clear();
    return complete;
}

uint64_t FolderStamp(const std::string& path)
{
    struct stat st {};
    timespec now{};
    if (::stat(path.empty() ? "." : path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
        ::clock_gettime(CLOCK_REALTIME, &now) != 0)
        return 0;
    const int64_t changed = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    const int64_t current = int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
    if (current - changed < int64_t(2) * 1000000000)
        return 0;
    // Mixed with the folder's identity, so that a folder replaced by another one is not taken
    // for it; never 0.
    return (uint64_t(changed) ^ (uint64_t(st.st_ino) * 0x9E3779B97F4A7C15ull) ^ uint64_t(st.st_dev)) | 1u;
}

ReadOnlyFile::~ReadOnlyFile()
{
    Close();
}

ReadOnlyFile& ReadOnlyFile::operator=(ReadOnlyFile&& other) noexcept
{
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        size_ = other.size_;
        other.fd_ = -1;
    }
    return *this;
}

bool ReadOnlyFile::Open(const std::string& path)
{
    Close();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    size_ = static_cast<uint64_t>(st.st_size);
    return true;
}

void ReadOnlyFile::Close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    size_ = 0;
}

bool ReadOnlyFile::ReadAt(void* buffer, size_t count, uint64_t offset) const
{
    if (fd_ < 0)
        return false;
    auto* out = static_cast<uint8_t*>(buffer);
    while (count > 0) {
        if (offset > static_cast<uint64_t>(INT64_MAX))
            return false;
        const ssize_t n = ::pread(fd_, out, count, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        out += n;
        count -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

} // namespace QuillPlatform
