#include "platform/system/DynamicLibrary.h"

#include <dlfcn.h>
#include <unistd.h>

namespace QuillPlatform {

std::unique_ptr<DynamicLibrary> DynamicLibrary::Open(const std::string& path, std::string* error)
{
    if (path.empty() || path[0] != '/') {
        if (error)
            *error = "not an absolute path";
        return nullptr;
    }
    if (access(path.c_str(), F_OK) != 0) {
        if (error)
            *error = "no such file";
        return nullptr;
    }
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        if (error) {
            const char* reason = dlerror();
            *error = reason ? reason : "dlopen failed";
        }
        return nullptr;
    }
    return std::unique_ptr<DynamicLibrary>(new DynamicLibrary(handle));
}

DynamicLibrary::~DynamicLibrary()
{
    if (m_handle && !m_keep)
        dlclose(m_handle);
}

void* DynamicLibrary::Symbol(const char* name) const
{
    return m_handle ? dlsym(m_handle, name) : nullptr;
}

} // namespace QuillPlatform
