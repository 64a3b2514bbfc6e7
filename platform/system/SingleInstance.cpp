#include "platform/system/SingleInstance.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace QuillPlatform {

namespace {

std::string SafeFileName(const std::string& name)
{
    std::string out;
    for (unsigned char c : name) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                        c == '_' || c == '-';
        out += ok ? static_cast<char>(c) : '_';
    }
    if (out.empty() || out[0] == '.')
        out.insert(out.begin(), '_');
    return out;
}

std::string LockFolder()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/')
        return runtime;
    const char* tmp = std::getenv("TMPDIR");
    std::string base = (tmp && tmp[0] == '/') ? tmp : "/tmp";
    std::string folder = base + "/quillon-" + std::to_string(getuid());
    // A per-user folder that only its owner can use; refuse one that belongs to someone else.
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return base;
    struct stat st {};
    if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid())
        return base;
    return folder;
}

} // namespace

SingleInstanceLock::~SingleInstanceLock()
{
    Release();
}

std::string SingleInstanceLock::LockPath(const std::string& name)
{
    return LockFolder() + "/" + SafeFileName(name) + ".lock";
}

SingleInstanceLock::Result SingleInstanceLock::Acquire(const std::string& name)
{
    Release();
    path_ = LockPath(name);
    const int fd = open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return Result::Failed;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        close(fd);
        return err == EWOULDBLOCK ? Result::AlreadyRunning : Result::Failed;
    }
    const std::string pid = std::to_string(getpid()) + "\n";
    if (ftruncate(fd, 0) != 0 || pwrite(fd, pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size())) {
        close(fd);
        return Result::Failed;
    }
    fd_ = fd;
    return Result::Acquired;
}

void SingleInstanceLock::Release()
{
    if (fd_ >= 0) {
        // Leave the file in place: removing it would race with a copy that just opened it.
        if (ftruncate(fd_, 0) != 0) {
        }
        close(fd_);
        fd_ = -1;
    }
}

int SingleInstanceLock::OwnerPid(const std::string& name)
{
    const int fd = open(LockPath(name).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return 0;
    char buf[32] = {};
    const ssize_t n = pread(fd, buf, sizeof buf - 1, 0);
    close(fd);
    if (n <= 0)
        return 0;
    const long pid = std::strtol(buf, nullptr, 10);
    return (pid > 0 && pid < (1L << 22)) ? static_cast<int>(pid) : 0;
}

bool SingleInstanceLock::SignalOwnerToRaise(const std::string& name)
{
    const int pid = OwnerPid(name);
    if (pid <= 0 || pid == getpid())
        return false;
    return kill(pid, SIGUSR1) == 0;
}

} // namespace QuillPlatform
