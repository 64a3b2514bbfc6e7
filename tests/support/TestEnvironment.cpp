#include "tests/support/TestEnvironment.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace QuillTest {

namespace fs = std::filesystem;

namespace {
fs::path g_root;
std::atomic<int> g_counter = 0; // tests may make folders from more than one thread
} // namespace

void PrepareEnvironment()
{
    // Keep a driver chosen by the caller (a test that needs a real window starts Xvfb and sets x11).
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 1);

    std::string tmpl = (fs::temp_directory_path() / "quilltest-XXXXXX").string();
    if (!mkdtemp(tmpl.data()))
        throw std::runtime_error("mkdtemp failed");
    g_root = tmpl;
    const fs::path home = g_root / "home";
    fs::create_directories(home / ".local/share");
    fs::create_directories(home / ".config");
    fs::create_directories(home / ".cache");
    fs::create_directories(g_root / "runtime");
    fs::permissions(g_root / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", (home / ".local/share").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home / ".cache").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (g_root / "runtime").c_str(), 1);
    setenv("TMPDIR", g_root.c_str(), 1);
}

void CleanEnvironment()
{
    if (!g_root.empty() && !std::getenv("QUILL_KEEP_SANDBOX")) {
        std::error_code ec;
        fs::remove_all(g_root, ec);
    }
}

fs::path SourceRoot()
{
    return QUILL_SOURCE_ROOT;
}

const fs::path& SandboxRoot()
{
    return g_root;
}

fs::path MakeTempDir(const std::string& stem)
{
    fs::path dir = g_root / "t" / (stem + "-" + std::to_string(getpid()) + "-" + std::to_string(++g_counter));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

void WriteFile(const fs::path& path, std::string_view bytes)
{
    if (path.has_parent_path())
        fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

pid_t Spawn(std::vector<std::string> args, std::vector<std::string> env, const posix_spawn_file_actions_t* actions)
{
    std::vector<char*> argv, envp;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (args.empty() || posix_spawn(&pid, argv[0], actions, nullptr, argv.data(), envp.data()) != 0)
        return -1;
    return pid;
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name)
{
    if (const char* old = std::getenv(name))
        old_ = old;
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

ScopedEnv::~ScopedEnv()
{
    if (old_)
        setenv(name_, old_->c_str(), 1);
    else
        unsetenv(name_);
}

} // namespace QuillTest
