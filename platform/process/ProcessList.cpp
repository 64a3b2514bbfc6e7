#include "platform/process/ProcessList.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace QuillPlatform {

namespace {

bool ReadSmallFile(const std::string& path, std::string& out, size_t cap)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    out.clear();
    char buf[4096];
    for (;;) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        out.append(buf, static_cast<size_t>(n));
        if (out.size() >= cap)
            break;
    }
    close(fd);
    return true;
}

// The state letter from /proc/<pid>/stat; the command name in parentheses may itself hold
// blanks and parentheses, so the letter is found after the last ')'.
char ProcessState(const std::string& dir)
{
    std::string stat;
    if (!ReadSmallFile(dir + "/stat", stat, 4096))
        return 0;
    const size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size())
        return 0;
    return stat[close + 2];
}

std::string ReadLink(const std::string& path)
{
    std::string buf(256, '\0');
    for (;;) {
        const ssize_t n = readlink(path.c_str(), buf.data(), buf.size());
        if (n < 0)
            return {};
        if (static_cast<size_t>(n) < buf.size()) {
            buf.resize(static_cast<size_t>(n));
            return buf;
        }
        if (buf.size() > (1u << 16))
            return {};
        buf.resize(buf.size() * 2);
    }
}

std::string ExeNameOf(const std::string& dir)
{
    std::string target = ReadLink(dir + "/exe");
    if (!target.empty()) {
        // A program whose file was replaced or removed while it runs.
        static constexpr std::string_view kDeleted = " (deleted)";
        if (target.size() > kDeleted.size() &&
            target.compare(target.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0)
            target.resize(target.size() - kDeleted.size());
        return ExecutableFileName(target);
    }
    // Another user's process: the link is not readable, the command line is.
    std::string cmdline;
    if (!ReadSmallFile(dir + "/cmdline", cmdline, 1u << 16))
        return {};
    return ExecutableFileName(std::string(cmdline.c_str()));
}

} // namespace

std::string ExecutableFileName(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<ProcessEntry> ListProcesses()
{
    std::vector<ProcessEntry> list;
    std::unique_ptr<DIR, int (*)(DIR*)> proc(opendir("/proc"), &closedir);
    if (!proc)
        return list;
    while (const dirent* e = readdir(proc.get())) {
        char* end = nullptr;
        const long pid = std::strtol(e->d_name, &end, 10);
        if (pid <= 0 || *end != '\0')
            continue;
        const std::string dir = std::string("/proc/") + e->d_name;
        const char state = ProcessState(dir);
        if (state == 0 || state == 'Z' || state == 'X')
            continue;
        std::string name = ExeNameOf(dir);
        if (name.empty())
            continue;
        list.push_back(ProcessEntry{static_cast<pid_t>(pid), std::move(name)});
    }
    return list;
}

pid_t SpawnProgram(const std::string& path, int* error, const std::vector<std::string>& args)
{
    if (error)
        *error = 0;
    if (path.empty()) {
        if (error)
            *error = ENOENT;
        return -1;
    }
    std::vector<std::string> words;
    words.reserve(args.size() + 1);
    words.push_back(path);
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ);
    if (rc != 0) {
        if (error)
            *error = rc;
        return -1;
    }
    return pid;
}

bool ReapIfEnded(pid_t pid)
{
    if (pid <= 0)
        return true;
    int status = 0;
    for (;;) {
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == 0)
            return false;
        if (r < 0 && errno == EINTR)
            continue;
        return true; // reaped now, or not our child (any more)
    }
}

} // namespace QuillPlatform
