#include "platform/system/Process.h"

#include <new>
#include <unistd.h>
#include <vector>

namespace QuillPlatform {

std::string ProgramPath()
{
    std::vector<char> buf(256);
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0)
            return {};
        if (static_cast<size_t>(n) < buf.size())
            return std::string(buf.data(), static_cast<size_t>(n));
        if (buf.size() > (1u << 20))
            return {};
        buf.resize(buf.size() * 2);
    }
}

std::string ProgramFolder()
{
    const std::string path = ProgramPath();
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool SetWorkingFolder(const std::string& folder)
{
    return !folder.empty() && chdir(folder.c_str()) == 0;
}

namespace {
void OnOutOfMemory()
{
    static const char msg[] = "Out of memory.\n";
    ssize_t ignored = write(STDERR_FILENO, msg, sizeof msg - 1);
    (void)ignored;
    _exit(kOutOfMemoryExitCode);
}
} // namespace

void InstallNewHandler()
{
    std::set_new_handler(OnOutOfMemory);
}

} // namespace QuillPlatform
