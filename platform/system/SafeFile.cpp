#include "platform/system/SafeFile.h"

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace QuillPlatform {

namespace {

std::string AbsoluteEnv(const char* name)
{
    const char* value = std::getenv(name);
    if (!value || value[0] != '/')
        return std::string();
    std::string path(value);
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string XdgFolder(const char* variable, const char* homeRelative)
{
    std::string folder = AbsoluteEnv(variable);
    if (!folder.empty())
        return folder;
    const std::string home = AbsoluteEnv("HOME");
    if (home.empty())
        return std::string();
    return (home == "/" ? std::string() : home) + "/" + homeRelative;
}

std::string ParentFolder(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

} // namespace

std::string XdgDataHome()
{
    return XdgFolder("XDG_DATA_HOME", ".local/share");
}

std::string XdgConfigHome()
{
    return XdgFolder("XDG_CONFIG_HOME", ".config");
}

PathKind GetPathKind(const std::string& path)
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? PathKind::Missing : PathKind::Error;
    return S_ISDIR(st.st_mode) ? PathKind::Folder : PathKind::Other;
}

bool CreateDirectoryPath(const std::string& path)
{
    if (path.empty())
        return false;
    // Each prefix ending before a '/' is a folder to have, and so is the whole path. The root
    // (the empty prefix of an absolute path) always exists.
    for (size_t pos = 0; pos <= path.size(); ++pos) {
        if (pos < path.size() && path[pos] != '/')
            continue;
        if (pos == 0 || path[pos - 1] == '/')
            continue; // root or a doubled separator
        const std::string part = path.substr(0, pos);
        switch (GetPathKind(part)) {
        case PathKind::Folder:
            break;
        case PathKind::Missing:
            if (mkdir(part.c_str(), 0755) != 0 && !(errno == EEXIST && GetPathKind(part) == PathKind::Folder))
                return false;
            break;
        default:
            return false;
        }
    }
    return true;
}

FileHandle::~FileHandle()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.m_fd;
        m_error = other.m_error;
        other.m_fd = -1;
    }
    return *this;
}

FileHandle FileHandle::OpenRead(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    return FileHandle(fd, fd < 0 ? errno : 0);
}

FileHandle FileHandle::OpenWrite(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return FileHandle(fd, fd < 0 ? errno : 0);
}

bool FileHandle::ReadAll(std::vector<uint8_t>& out, size_t cap)
{
    out.clear();
    if (m_fd < 0)
        return false;
    struct stat st {};
    if (fstat(m_fd, &st) != 0) {
        m_error = errno;
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        m_error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return false;
    }
    if (st.st_size < 0 || static_cast<uint64_t>(st.st_size) > cap) {
        m_error = EFBIG;
        return false;
    }
    out.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::read(m_fd, out.data() + done, out.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // A file that ends early was cut short under us: as good as an I/O error.
            m_error = n < 0 ? errno : EIO;
            out.clear();
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool FileHandle::WriteAll(const void* data, size_t size)
{
    if (m_fd < 0)
        return false;
    const auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = ::write(m_fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool FileHandle::Sync()
{
    return m_fd >= 0 && ::fsync(m_fd) == 0;
}

bool FileHandle::Close()
{
    if (m_fd < 0)
        return false;
    const int fd = m_fd;
    m_fd = -1;
    // Linux releases the descriptor even when close reports an error: never retry it.
    return ::close(fd) == 0;
}

bool SyncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool ReplaceFile(const std::string& from, const std::string& to)
{
    if (::rename(from.c_str(), to.c_str()) != 0)
        return false;
    // The rename is done; a failed folder sync only means it may not yet be on disk.
    SyncFolder(ParentFolder(to));
    return true;
}

int PlaceFileNew(const std::string& from, const std::string& to)
{
    // link() fails with EEXIST rather than replace anything, unlike rename().
    if (::link(from.c_str(), to.c_str()) != 0)
        return errno;
    ::unlink(from.c_str());
    SyncFolder(ParentFolder(to));
    return 0;
}

bool RemoveFile(const std::string& path)
{
    return ::unlink(path.c_str()) == 0;
}

} // namespace QuillPlatform
