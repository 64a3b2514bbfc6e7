#pragma once
// Scripted play runs of the built game program for end-to-end tests: the program runs in its own
// private HOME and XDG tree with an input script, a seed and a feedback log (the engine's play
// harness, engine/app/PlayHarness.h), is waited for (and killed after a time-out), and what it
// left behind is read back.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace QuillEngine {
class XmlNode;
}

namespace QuillTest {

struct PlayResult {
    bool started = false;              // the program could be started at all
    bool timedOut = false;             // killed after the time-out
    int exitStatus = -1;               // the exit status; -1 when it did not exit by itself
    std::filesystem::path folder;      // the run's folder: script, log, shots, home
    std::vector<std::string> feedback; // the feedback log, one report a line
    std::vector<std::string> console;  // what scripted console lines printed
    std::string standardOutput;
    std::string standardError;

    bool ExitedCleanly() const { return started && !timedOut && exitStatus == 0; }
    // A shot named in the script (relative to the script, which sits in `folder`).
    std::filesystem::path Shot(const std::string& name) const { return folder / name; }
    // The shot's pixels as 0xAARRGGBB, row by row; false when it is missing or unreadable.
    bool ReadShot(const std::string& name, uint32_t& width, uint32_t& height, std::vector<uint32_t>& argb) const;
    // The feedback lines of one kind ("game", "screen", "item", ...), split at their tabs, the
    // kind itself left out.
    std::vector<std::vector<std::string>> Reports(const std::string& kind) const;
    // The screens opened, in order.
    std::vector<std::string> Screens() const;
    // The player file "velv.save" as the game reads it back: through the user-data loader's
    // container decoding (checksum and cipher, else plain XML). Null when there is none.
    std::unique_ptr<QuillEngine::XmlNode> LoadSave() const;
    // Everything about the run, for failure messages.
    std::string Describe() const;
};

// A PNG file's pixels as 0xAARRGGBB, row by row; false when it is missing or unreadable.
bool ReadPng(const std::filesystem::path& path, uint32_t& width, uint32_t& height, std::vector<uint32_t>& argb);
// Writes 0xAARRGGBB pixels, row by row, as a PNG file.
bool WritePng(const std::filesystem::path& path, uint32_t width, uint32_t height, const std::vector<uint32_t>& argb);
// Where the build puts the game's pictures made from their sources, one folder per archive.
std::filesystem::path RenderedDataFolder();

class PlayRunner {
public:
    // `name` names the run's folder below the test sandbox.
    explicit PlayRunner(std::string name);

    PlayRunner& Seed(uint32_t seed);
    PlayRunner& NoSeed();
    PlayRunner& Timeout(std::chrono::milliseconds timeout);
    // Extra command-line arguments (the run adds "-software" unless DefaultDevice: shots show what the
    // software device drew).
    PlayRunner& Argument(std::string argument);
    // A player file to start from: "velv.save" is written into the run's home as plain XML (the
    // game takes a file without its container as it stands).
    PlayRunner& StartingSave(std::string xml);

    // Damaged or hand-edited content: the run plays a copy of the program folder whose archive
    // `archive` ("data" for data.dat, "Florist" for Florist.dat, ...) is packed again from what
    // the build packed into it, with the file `path` (inside the archive, '/' between folders)
    // holding `content`. May be given several times.
    PlayRunner& DataFile(std::string archive, std::string path, std::string content);

    // Draw one frame in `every` steps (the harness's QUILL_PLAY_FRAMES): for long runs that
    // check the program's state, not its pictures; shots still show their own moment.
    PlayRunner& Frames(uint32_t every);
    // Every frame drawn whole (the harness's QUILL_PLAY_WHOLE_FRAMES), not only where it changed.
    PlayRunner& WholeFrames();
    // The main loop decides when to draw, as outside the harness, while the steps keep the fixed
    // clock (QUILL_PLAY_LOOP_FRAMES): a shot shows the last frame the loop drew.
    PlayRunner& LoopFrames();

    // A real window on the X display `display` (SDL's x11 driver) instead of the offscreen one.
    PlayRunner& Window(std::string display);
    // The device the program picks (the gl back end) instead of the software one.
    PlayRunner& DefaultDevice();
    // Called with the run's folder every few milliseconds while the program runs: a test that
    // looks at the real screen answers the script's "wait" lines from here.
    PlayRunner& WhileRunning(std::function<void(const std::filesystem::path&)> watch);

    // Writes `script` and runs the program with it; each Run gets a fresh folder and home.
    PlayResult Run(const std::string& script);

    static std::filesystem::path ProgramPath();

private:
    // Copies the program and its data into `folder`, then packs each edited archive again with
    // the build's packer from the folder the build packed it from; the copied program, or empty
    // (with `why`) on failure.
    std::filesystem::path EditedProgram(const std::filesystem::path& folder, std::string& why) const;

    std::string name_;
    bool hasSeed_ = true;
    uint32_t seed_ = 1;
    // Generous: only a program that hangs should meet it. The sanitizer build on a busy machine
    // runs a gl run ten times slower than a quiet plain build (80 s and more for PlayPartial's).
    std::chrono::milliseconds timeout_{600000};
    std::vector<std::string> arguments_;
    std::string startingSave_;
    struct DataEdit {
        std::string archive, path, content;
    };
    std::vector<DataEdit> dataEdits_;
    uint32_t frameEvery_ = 1;
    bool wholeFrames_ = false;
    bool loopFrames_ = false;
    std::string display_;
    bool software_ = true;
    std::function<void(const std::filesystem::path&)> watch_;
};

} // namespace QuillTest
