#include "platform/system/GraphicsDriver.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include <dlfcn.h>
#include <link.h>

namespace QuillPlatform {

namespace {

bool IsDriverModule(const char* path)
{
    // Mesa's vendor libraries behind the EGL and GLX dispatchers, its drivers
    // ".../dri/<name>_dri.so" and the shared gallium library beside them.
    if (path && (std::strstr(path, "/libEGL_mesa.so") || std::strstr(path, "/libGLX_mesa.so")))
        return true;
    if (!path || !std::strstr(path, "/dri/"))
        return false;
    const size_t length = std::strlen(path);
    const char* const suffix = "_dri.so";
    const size_t suffixLength = std::strlen(suffix);
    return (length > suffixLength && std::strcmp(path + length - suffixLength, suffix) == 0) ||
           std::strstr(path, "libgallium") != nullptr;
}

int Collect(dl_phdr_info* info, size_t, void* data)
{
    // Modules with thread-local storage go with them (the dispatchers, Mesa's API table, LLVM):
    // one unloaded while threads that used its storage live on leaves their thread records
    // pointing at freed memory, which the leak checker then reads.
    const bool threadLocal = info->dlpi_tls_modid != 0 && info->dlpi_name && info->dlpi_name[0] != '\0';
    if (IsDriverModule(info->dlpi_name) || threadLocal)
        static_cast<std::vector<std::string>*>(data)->push_back(info->dlpi_name);
    return 0;
}

// How many modules have been loaded into the process so far (a counter kept by the loader).
int CountLoads(dl_phdr_info* info, size_t size, void* data)
{
    if (size >= offsetof(dl_phdr_info, dlpi_adds) + sizeof info->dlpi_adds)
        *static_cast<unsigned long long*>(data) = info->dlpi_adds;
    return 1; // the first module tells
}

} // namespace

void PreferDrawingInTheCallingThread()
{
    setenv("LP_NUM_THREADS", "0", 0);
}

void KeepGraphicsDriverLoaded()
{
    // Called on every presented frame: nothing to do unless a module was loaded since last time.
    static std::mutex mutex;
    static unsigned long long seenLoads = ~0ull;
    static std::set<std::string> pinned;
    std::lock_guard<std::mutex> lock(mutex);
    unsigned long long loads = 0;
    dl_iterate_phdr(&CountLoads, &loads);
    if (loads != 0 && loads == seenLoads)
        return;
    seenLoads = loads;
    std::vector<std::string> modules;
    dl_iterate_phdr(&Collect, &modules);
    for (const std::string& module : modules) {
        if (!pinned.insert(module).second)
            continue;
        // RTLD_NOLOAD: only a module that is loaded already; the reference taken here is never
        // given back, and RTLD_NODELETE keeps it mapped past any later dlclose.
        dlopen(module.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    }
}

} // namespace QuillPlatform
