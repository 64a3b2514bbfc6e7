#include "splash/SplashPaths.h"

#include <dlfcn.h>

namespace QuillonSplash {

namespace {
bool IsSeparator(char c)
{
    return c == '/' || c == '\\';
}
} // namespace

std::string_view FindFileNamePart(std::string_view path)
{
    size_t start = 0;
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        size_t i = 2;
        while (i < path.size() && !IsSeparator(path[i]))
            ++i;
        start = i < path.size() ? i + 1 : path.size();
    }
    size_t name = start;
    for (size_t i = start; i < path.size(); ++i) {
        if (IsSeparator(path[i]))
            name = i + 1;
    }
    const std::string_view part = path.substr(name);
    if (part == "." || part == "..")
        return path.substr(path.size());
    return part;
}

std::string_view GetDirectoryPart(std::string_view path)
{
    const std::string_view name = FindFileNamePart(path);
    if (name.empty()) {
        // "." or ".." (or nothing) at the end: the whole path is the folder.
        return path;
    }
    return path.substr(0, static_cast<size_t>(name.data() - path.data()));
}

std::string GetModuleDirectory(std::string_view name)
{
    Dl_info info{};
    const void* self = reinterpret_cast<const void*>(&GetModuleDirectory);
    if (dladdr(self, &info) == 0 || !info.dli_fname || !*info.dli_fname)
        return std::string(name);
    std::string folder(GetDirectoryPart(info.dli_fname));
    if (!folder.empty() && !IsSeparator(folder.back()))
        folder += '/';
    return folder + std::string(name);
}

std::string JoinSettingsPath(std::string_view folder, std::string_view name)
{
    std::string path(folder);
    path.append(name);
    for (size_t i = folder.size(); i < path.size(); ++i) {
        if (path[i] == '\\')
            path[i] = '/';
    }
    return path;
}

} // namespace QuillonSplash
