#pragma once
// A private folder for one fuzzing run, made under /tmp when the run starts and removed when it
// ends, for targets whose reader takes a file rather than bytes.

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace QuillFuzz {

// The folder's path without a trailing '/'; aborts when no folder can be made.
inline std::string MakeRunFolder(const std::string& prefix)
{
    std::string pattern = "/tmp/fuzz-" + prefix + "-XXXXXX";
    const char* root = mkdtemp(pattern.data());
    if (!root)
        std::abort();
    static std::string s_root;
    s_root = root;
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(s_root, ignored);
    });
    return s_root;
}

} // namespace QuillFuzz
