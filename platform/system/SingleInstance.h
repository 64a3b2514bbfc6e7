#pragma once
// One running copy per user and game: an exclusive flock on a lock file in $XDG_RUNTIME_DIR
// (else a per-user folder below the temp folder). The file holds the owner's pid, so a second
// copy can ask the first one to come to the front (SIGUSR1).

#include <string>

namespace QuillPlatform {

class SingleInstanceLock {
public:
    enum class Result { Acquired, AlreadyRunning, Failed };

    SingleInstanceLock() = default;
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    // `name` is used as the file name (characters outside [A-Za-z0-9._-] become '_').
    Result Acquire(const std::string& name);
    void Release();
    bool Held() const { return fd_ >= 0; }

    // The pid recorded by the copy that holds the lock, or 0.
    static int OwnerPid(const std::string& name);
    // Asks the running copy to raise its window; false when no running copy could be told.
    static bool SignalOwnerToRaise(const std::string& name);
    static std::string LockPath(const std::string& name);

private:
    int fd_ = -1;
    std::string path_;
};

} // namespace QuillPlatform
