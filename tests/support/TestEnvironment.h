#pragma once
// Headless, hermetic test process: SDL's offscreen/dummy drivers and a private HOME and
// XDG_* tree that is removed when the test program ends.

#include <spawn.h>
#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace QuillTest {

// Called by the test main before anything else runs.
void PrepareEnvironment();
void CleanEnvironment();

// The repository's root folder, for tests that read the committed data sources.
std::filesystem::path SourceRoot();

// The private folder that HOME and XDG_* point into.
const std::filesystem::path& SandboxRoot();

// A fresh, empty folder below the sandbox for one test.
std::filesystem::path MakeTempDir(const std::string& stem);

// Writes bytes to a file, creating its folders.
void WriteFile(const std::filesystem::path& path, std::string_view bytes);
std::string ReadFile(const std::filesystem::path& path);

// Starts the program `args[0]` with `args` and exactly `env`, with `actions` on its descriptors (none:
// it shares this process's); -1 when it could not be started.
pid_t Spawn(std::vector<std::string> args, std::vector<std::string> env,
            const posix_spawn_file_actions_t* actions = nullptr);

// Sets (or, given none, removes) one environment variable for its lifetime, then puts back what
// was there.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);
    ScopedEnv(const char* name, const std::string& value) : ScopedEnv(name, value.c_str()) {}
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

} // namespace QuillTest
