#include "tests/support/PlayRunner.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <png.h>

#include "engine/core/prefs/UserData.h"
#include "engine/core/xml/XmlNode.h"
#include "platform/system/Process.h"
#include "tests/support/TestEnvironment.h"

extern char** environ;

namespace QuillTest {

namespace fs = std::filesystem;

namespace {

constexpr const char16_t* kGameTitle = u"Velvet Aisle";

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

bool Replaced(const std::string& entry)
{
    // The run sets these itself; the test process's own values must not leak in.
    static const char* const kOwn[] = {"HOME=",
                                       "XDG_DATA_HOME=",
                                       "XDG_CONFIG_HOME=",
                                       "XDG_CACHE_HOME=",
                                       "XDG_RUNTIME_DIR=",
                                       "TMPDIR=",
                                       "QUILL_PLAY_SCRIPT=",
                                       "QUILL_PLAY_SEED=",
                                       "QUILL_FEEDBACK_LOG=",
                                       "SDL_VIDEODRIVER=",
                                       "SDL_AUDIODRIVER=",
                                       "QUILL_PLAY_FRAMES=",
                                       "QUILL_PLAY_WHOLE_FRAMES=",
                                       "QUILL_PLAY_LOOP_FRAMES=",
                                       "DISPLAY="};
    for (const char* own : kOwn) {
        if (entry.compare(0, std::strlen(own), own) == 0)
            return true;
    }
    return false;
}

} // namespace

PlayRunner::PlayRunner(std::string name) : name_(std::move(name)) {}

PlayRunner& PlayRunner::Seed(uint32_t seed)
{
    hasSeed_ = true;
    seed_ = seed;
    return *this;
}

PlayRunner& PlayRunner::NoSeed()
{
    hasSeed_ = false;
    return *this;
}

PlayRunner& PlayRunner::Timeout(std::chrono::milliseconds timeout)
{
    timeout_ = timeout;
    return *this;
}

PlayRunner& PlayRunner::StartingSave(std::string xml)
{
    startingSave_ = std::move(xml);
    return *this;
}

PlayRunner& PlayRunner::Window(std::string display)
{
    display_ = std::move(display);
    return *this;
}

PlayRunner& PlayRunner::DefaultDevice()
{
    software_ = false;
    return *this;
}

PlayRunner& PlayRunner::WhileRunning(std::function<void(const std::filesystem::path&)> watch)
{
    watch_ = std::move(watch);
    return *this;
}

PlayRunner& PlayRunner::Frames(uint32_t every)
{
    frameEvery_ = every;
    return *this;
}

PlayRunner& PlayRunner::WholeFrames()
{
    wholeFrames_ = true;
    return *this;
}

PlayRunner& PlayRunner::LoopFrames()
{
    loopFrames_ = true;
    return *this;
}

PlayRunner& PlayRunner::Argument(std::string argument)
{
    arguments_.push_back(std::move(argument));
    return *this;
}

PlayRunner& PlayRunner::DataFile(std::string archive, std::string path, std::string content)
{
    dataEdits_.push_back({std::move(archive), std::move(path), std::move(content)});
    return *this;
}

fs::path PlayRunner::ProgramPath()
{
    return fs::path(QuillPlatform::ProgramFolder()) / "VelvetAisle";
}

fs::path PlayRunner::EditedProgram(const fs::path& folder, std::string& why) const
{
    const auto& edits = dataEdits_;
    const fs::path bin = ProgramPath().parent_path();
    const fs::path program = folder / "program";
    std::error_code ec;
    fs::create_directories(program, ec);
    // The program and what it reads: every file beside it that is not another program.
    for (const auto& entry : fs::directory_iterator(bin, ec)) {
        const bool executable = (entry.status().permissions() & fs::perms::owner_exec) != fs::perms::none;
        if (entry.is_regular_file() && (!executable || entry.path() == ProgramPath()))
            fs::copy_file(entry.path(), program / entry.path().filename(), ec);
        if (ec) {
            why = "cannot copy " + entry.path().string() + ": " + ec.message();
            return {};
        }
    }
    std::vector<std::string> archives;
    for (const auto& edit : edits)
        if (std::find(archives.begin(), archives.end(), edit.archive) == archives.end())
            archives.push_back(edit.archive);
    for (const std::string& archive : archives) {
        const fs::path staged = bin.parent_path() / "data" / "staging" / archive;
        const fs::path repack = folder / "repack" / archive;
        fs::create_directories(repack, ec);
        fs::copy(staged, repack, fs::copy_options::recursive, ec);
        if (ec) {
            why = "cannot copy the packed folder " + staged.string() + ": " + ec.message();
            return {};
        }
        for (const auto& edit : edits) {
            if (edit.archive != archive)
                continue;
            fs::create_directories((repack / edit.path).parent_path(), ec);
            WriteFile(repack / edit.path, edit.content);
        }
        posix_spawn_file_actions_t quiet;
        posix_spawn_file_actions_init(&quiet);
        posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        const pid_t pid = Spawn(
            {(bin / "quill_pack").string(), repack.string(), (program / (archive + ".dat")).string()}, {}, &quiet);
        posix_spawn_file_actions_destroy(&quiet);
        int status = -1;
        if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            why = "cannot pack " + repack.string();
            return {};
        }
    }
    return program / "VelvetAisle";
}

PlayResult PlayRunner::Run(const std::string& script)
{
    PlayResult result;
    result.folder = MakeTempDir("play-" + name_);
    const fs::path home = result.folder / "home";
    const fs::path runtime = result.folder / "runtime";
    fs::create_directories(home / ".local/share");
    fs::create_directories(home / ".config");
    fs::create_directories(home / ".cache");
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
    const fs::path scriptPath = result.folder / "script.play";
    const fs::path logPath = result.folder / "feedback.log";
    const fs::path outPath = result.folder / "stdout.txt";
    const fs::path errPath = result.folder / "stderr.txt";
    WriteFile(scriptPath, script);
    if (!startingSave_.empty()) {
        const fs::path saveFolder = home / ".local/share/Quillon Games" /
                                    QuillEngine::ToUtf8(QuillEngine::UserDataFolders::FolderNameFor(kGameTitle));
        fs::create_directories(saveFolder);
        WriteFile(saveFolder / "velv.save", startingSave_);
        WriteFile(result.folder / "starting-save.xml", startingSave_); // the game replaces its own copy
    }

    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) {
        if (!Replaced(*e))
            env.emplace_back(*e);
    }
    env.push_back("HOME=" + home.string());
    env.push_back("XDG_DATA_HOME=" + (home / ".local/share").string());
    env.push_back("XDG_CONFIG_HOME=" + (home / ".config").string());
    env.push_back("XDG_CACHE_HOME=" + (home / ".cache").string());
    env.push_back("XDG_RUNTIME_DIR=" + runtime.string());
    env.push_back("TMPDIR=" + result.folder.string());
    if (display_.empty()) {
        env.push_back("SDL_VIDEODRIVER=offscreen");
    } else {
        env.push_back("SDL_VIDEODRIVER=x11");
        env.push_back("DISPLAY=" + display_);
    }
    env.push_back("SDL_AUDIODRIVER=dummy");
    env.push_back("QUILL_PLAY_SCRIPT=" + scriptPath.string());
    env.push_back("QUILL_FEEDBACK_LOG=" + logPath.string());
    if (hasSeed_)
        env.push_back("QUILL_PLAY_SEED=" + std::to_string(seed_));
    if (frameEvery_ > 1)
        env.push_back("QUILL_PLAY_FRAMES=" + std::to_string(frameEvery_));
    if (loopFrames_)
        env.push_back("QUILL_PLAY_LOOP_FRAMES=1");
    if (wholeFrames_)
        env.push_back("QUILL_PLAY_WHOLE_FRAMES=1");
    std::string exe = ProgramPath().string();
    if (!dataEdits_.empty()) {
        std::string why;
        exe = EditedProgram(result.folder, why).string();
        if (exe.empty()) {
            result.standardError = why;
            return result;
        }
    }
    std::vector<std::string> args{exe};
    if (software_)
        args.push_back("-software");
    args.insert(args.end(), arguments_.begin(), arguments_.end());
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const pid_t pid = Spawn(std::move(args), std::move(env), &actions);
    posix_spawn_file_actions_destroy(&actions);
    if (pid < 0)
        return result;
    result.started = true;

    const auto deadline = std::chrono::steady_clock::now() + timeout_;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0) {
            status = -1;
            break;
        }
        if (watch_)
            watch_(result.folder);
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            result.timedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!result.timedOut && status != -1 && WIFEXITED(status))
        result.exitStatus = WEXITSTATUS(status);

    result.feedback = Lines(ReadFile(logPath));
    result.standardOutput = ReadFile(outPath);
    result.standardError = ReadFile(errPath);
    for (const std::string& line : Lines(result.standardOutput)) {
        static const std::string kPrefix = "console\t";
        if (line.compare(0, kPrefix.size(), kPrefix) == 0)
            result.console.push_back(line.substr(kPrefix.size()));
    }
    return result;
}

std::unique_ptr<QuillEngine::XmlNode> PlayResult::LoadSave() const
{
    const fs::path path = folder / "home/.local/share/Quillon Games" /
                          QuillEngine::ToUtf8(QuillEngine::UserDataFolders::FolderNameFor(kGameTitle)) / "velv.save";
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        return nullptr;
    const std::string bytes = ReadFile(path);
    uint8_t key[16];
    QuillEngine::UserDataFolders::BuildKey(kGameTitle, key);
    return QuillEngine::UserDataFolders::DecodeContainer(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                                                         key);
}

bool ReadPng(const std::filesystem::path& path, uint32_t& width, uint32_t& height, std::vector<uint32_t>& argb)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_BGRA; // 0xAARRGGBB words on this little-endian machine
    std::vector<uint32_t> pixels(static_cast<size_t>(image.width) * image.height);
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    width = image.width;
    height = image.height;
    argb = std::move(pixels);
    return true;
}

bool WritePng(const std::filesystem::path& path, uint32_t width, uint32_t height, const std::vector<uint32_t>& argb)
{
    if (argb.size() != static_cast<size_t>(width) * height)
        return false;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_BGRA;
    return png_image_write_to_file(&image, path.c_str(), 0, argb.data(), 0, nullptr) != 0;
}

bool PlayResult::ReadShot(const std::string& name, uint32_t& width, uint32_t& height, std::vector<uint32_t>& argb) const
{
    return ReadPng(Shot(name), width, height, argb);
}

std::filesystem::path RenderedDataFolder()
{
    return PlayRunner::ProgramPath().parent_path().parent_path() / "data" / "rendered";
}

std::vector<std::vector<std::string>> PlayResult::Reports(const std::string& kind) const
{
    std::vector<std::vector<std::string>> reports;
    for (const std::string& line : feedback) {
        std::vector<std::string> fields;
        size_t start = 0;
        for (;;) {
            const size_t tab = line.find('\t', start);
            fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
            if (tab == std::string::npos)
                break;
            start = tab + 1;
        }
        if (fields.front() == kind)
            reports.emplace_back(fields.begin() + 1, fields.end());
    }
    return reports;
}

std::vector<std::string> PlayResult::Screens() const
{
    std::vector<std::string> out;
    for (const auto& report : Reports("screen"))
        out.push_back(report.back());
    return out;
}

std::string PlayResult::Describe() const
{
    std::ostringstream out;
    out << "run in " << folder.string() << (started ? "" : " (not started)") << (timedOut ? " (timed out)" : "")
        << ", exit status " << exitStatus << "\n--- feedback ---\n";
    for (const std::string& line : feedback)
        out << line << "\n";
    out << "--- stdout ---\n" << standardOutput << "--- stderr ---\n" << standardError;
    return out.str();
}

} // namespace QuillTest
