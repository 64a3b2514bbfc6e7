#pragma once
// A shared library loaded at run time by full path (dlopen). Never searched for by bare name.

#include <memory>
#include <string>

namespace QuillPlatform {

class DynamicLibrary {
public:
    // Loads the library at `path`, which must be absolute. Null when it is missing or does not
    // load; `error` (optional) receives the loader's reason.
    static std::unique_ptr<DynamicLibrary> Open(const std::string& path, std::string* error = nullptr);
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // The address of an exported symbol, or null.
    void* Symbol(const char* name) const;
    // Keeps the library loaded for the rest of the process (the destructor then does nothing).
    void Keep() { m_keep = true; }

private:
    explicit DynamicLibrary(void* handle) : m_handle(handle) {}
    void* m_handle;
    bool m_keep = false;
};

} // namespace QuillPlatform
