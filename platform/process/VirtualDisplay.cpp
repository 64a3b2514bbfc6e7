#include "platform/process/VirtualDisplay.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace QuillPlatform {

namespace {

// How long a server may take to come up. A loaded machine can take seconds; a server that never
// answers is ended after this.
constexpr auto kStartLimit = std::chrono::seconds(60);

} // namespace

VirtualDisplay::~VirtualDisplay()
{
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }
}

// The server picks a free display number itself and writes it to the pipe once it accepts
// clients (`-displayfd`), so there is no race for a number with other servers and no guessing
// when it is ready: a socket that takes a connection belongs to a server that may still be
// setting up its screen. `-noreset` keeps it from resetting when its last client leaves: a client
// that connects while a reset runs is dropped, and a test's first window would then fail to open.
bool VirtualDisplay::Start(int width, int height, std::string* why)
{
    const auto fail = [&](const std::string& reason) {
        if (why)
            *why = reason;
        return false;
    };
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0)
        return fail(std::string("no pipe: ") + std::strerror(errno));
    constexpr int kChildFd = 3;
    std::vector<std::string> args = {
        "Xvfb",      "-displayfd", std::to_string(kChildFd),
        "-screen",   "0",          std::to_string(width) + "x" + std::to_string(height) + "x24",
        "-nolisten", "tcp",        "-noreset"};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    // dup2 clears close-on-exec on the copy, so the server keeps exactly this end of the pipe.
    posix_spawn_file_actions_adddup2(&actions, ready[1], kChildFd);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, "Xvfb", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(ready[1]);
    if (rc != 0) {
        close(ready[0]);
        return fail("Xvfb cannot be started (" + std::string(std::strerror(rc)) + "; package xvfb)");
    }

    // The number arrives as decimal digits and a newline; end of file means the server gave up.
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
    bool complete = false;
    while (!complete) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd p{ready[0], POLLIN, 0};
        const int n = poll(&p, 1, static_cast<int>(left.count()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        char buffer[16];
        const ssize_t got = read(ready[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        for (ssize_t i = 0; i < got && !complete; ++i) {
            if (buffer[i] == '\n')
                complete = true;
            else if (buffer[i] >= '0' && buffer[i] <= '9' && number.size() < 8)
                number += buffer[i];
        }
    }
    close(ready[0]);
    if (complete && !number.empty()) {
        m_pid = pid;
        m_name = ":" + number;
        return true;
    }
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    return fail("the X server did not come up within " + std::to_string(kStartLimit.count()) + " s");
}

} // namespace QuillPlatform
