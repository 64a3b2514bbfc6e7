#include "platform/process/VirtualDisplay.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

extern char** environ;

namespace QuillPlatform {

namespace {

// The server is ready once its socket accepts a connection.
bool Accepts(int display)
{
    const std::string path = "/tmp/.X11-unix/X" + std::to_string(display);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    const bool ok = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    close(fd);
    return ok;
}

// The process that holds the display's lock file (the X server that owns the number), or 0.
pid_t LockOwner(int display)
{
    const int fd = open(("/tmp/.X" + std::to_string(display) + "-lock").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    char text[32] = {};
    const ssize_t got = read(fd, text, sizeof text - 1);
    close(fd);
    return got > 0 ? static_cast<pid_t>(std::strtol(text, nullptr, 10)) : 0;
}

bool Ended(pid_t pid)
{
    int status = 0;
    return waitpid(pid, &status, WNOHANG) == pid;
}

} // namespace

VirtualDisplay::~VirtualDisplay()
{
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }
}

bool VirtualDisplay::Start(int width, int height, std::string* why)
{
    namespace fs = std::filesystem;
    for (int n = 90 + getpid() % 60; n < 250; ++n) {
        if (fs::exists("/tmp/.X11-unix/X" + std::to_string(n)) || fs::exists("/tmp/.X" + std::to_string(n) + "-lock"))
            continue;
        const std::string name = ":" + std::to_string(n);
        const std::string size = std::to_string(width) + "x" + std::to_string(height) + "x24";
        std::vector<std::string> args = {"Xvfb", name, "-screen", "0", size, "-nolisten", "tcp"};
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        const int rc = posix_spawnp(&pid, "Xvfb", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) {
            if (why)
                *why = "Xvfb cannot be started (" + std::string(std::strerror(rc)) + "; package xvfb)";
            return false;
        }
        for (int i = 0; i < 200; ++i) {
            // Another program's server may have taken the number first and be the one that
            // answers: ours then ends for want of the lock. Only our own server will do.
            if (Accepts(n) && LockOwner(n) == pid) {
                m_pid = pid;
                m_name = name;
                return true;
            }
            if (Ended(pid))
                break; // lost a race for this number: try the next
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        if (!Ended(pid)) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
    if (why)
        *why = "no X display could be started";
    return false;
}

} // namespace QuillPlatform
