// A frame is drawn only where it differs from the last one. A played sequence (the album's
// opening, its letter, a page turn, the glowing photo, the way into the first scene and its
// tutorial) is shot at many steps, once drawn that way and once with every frame whole: every shot
// must be the same to the pixel, on the software renderer and on OpenGL. So must what the window
// shows, which is only what the presents (of rectangles, or of nothing) put there: read back by
// the software device, and from the X server's screen for OpenGL.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/game/play/PlayData.h"
#include "tests/game/play/VirtualScreen.h"
#include "tests/support/PlayRunner.h"

using QuillTest::PlayResult;
using QuillTest::PlayRunner;
using QuillTest::VirtualScreen;

namespace {

// The steps shot ("s<step>.png" each).
std::vector<int> ShotSteps()
{
    std::vector<int> steps;
    for (int step = PlayData::kAlbumReady - 60; step <= PlayData::kFirstSceneOpen + 60; step += 17)
        steps.push_back(step);
    return steps;
}

std::string ShotName(int step)
{
    return "s" + std::to_string(step) + ".png";
}

// The script: the album to the first scene, a shot at each step of ShotSteps() followed by the
// lines `extra` gives for that step.
std::string PartialScript(const std::function<std::string(int step)>& extra)
{
    const std::string album = PlayData::AlbumToFirstScene();
    if (album.empty())
        return {};
    // Shots are inserted in step order among the clicks: the parser wants steps never to go back.
    std::vector<std::pair<int, std::string>> lines;
    std::istringstream in(album);
    for (std::string line; std::getline(in, line);)
        lines.emplace_back(std::stoi(line.substr(3)), line + "\n");
    for (const int step : ShotSteps())
        lines.emplace_back(step, "at " + std::to_string(step) + " shot " + ShotName(step) + "\n" + extra(step));
    lines.emplace_back(PlayData::kFirstSceneOpen + 61,
                       "at " + std::to_string(PlayData::kFirstSceneOpen + 61) + " quit\n");
    std::stable_sort(lines.begin(), lines.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string script;
    for (const auto& [step, line] : lines)
        script += line;
    return script;
}

// Whether `picture` is the whole run's shot `shot`, pixel for pixel.
::testing::AssertionResult SameAsShot(const std::string& what, const std::vector<uint32_t>& picture,
                                      const PlayResult& whole, const std::string& shot)
{
    uint32_t width = 0, height = 0;
    std::vector<uint32_t> expected;
    if (!whole.ReadShot(shot, width, height, expected))
        return ::testing::AssertionFailure() << shot << " is missing";
    if (picture.size() != expected.size())
        return ::testing::AssertionFailure() << what << " is not of the size of " << shot;
    size_t first = picture.size(), count = 0;
    for (size_t i = 0; i < picture.size(); ++i)
        if (picture[i] != expected[i]) {
            first = std::min(first, i);
            ++count;
        }
    if (count)
        return ::testing::AssertionFailure()
               << what << ": " << count << " pixels differ from the whole frame's " << shot << ", the first at ("
               << first % width << ", " << first / width << ")";
    return ::testing::AssertionSuccess();
}

std::vector<uint32_t> ReadShot(const PlayResult& run, const std::string& name)
{
    uint32_t width = 0, height = 0;
    std::vector<uint32_t> pixels;
    run.ReadShot(name, width, height, pixels);
    return pixels;
}

// Runs the script both ways, offscreen in software or on `screen` with the program's own device
// (OpenGL), and compares every shot, and what the window showed at each (soft) or at every other
// one (OpenGL: the run holds still while the screen is read), with the whole frames.
void ExpectTheSameShots(const VirtualScreen* screen)
{
    auto runner = [&](const char* name) {
        PlayRunner run(name);
        run.Seed(5);
        if (screen)
            run.Window(screen->Name()).DefaultDevice();
        return run;
    };
    const std::string plain = PartialScript([](int) { return std::string(); });
    ASSERT_FALSE(plain.empty());
    const PlayResult whole = runner("whole").WholeFrames().Run(plain);
    ASSERT_TRUE(whole.ExitedCleanly()) << whole.Describe();

    std::map<int, std::vector<uint32_t>> shown; // by step
    PlayRunner partialRunner = runner("partial");
    std::string script;
    if (!screen) {
        script =
            PartialScript([](int step) { return "at " + std::to_string(step) + " shown w" + ShotName(step) + "\n"; });
    } else {
        script = PartialScript([](int step) {
            return step % 2 ? "at " + std::to_string(step) + " wait " + std::to_string(step) + ".wait\n"
                            : std::string();
        });
        partialRunner.WhileRunning([&](const std::filesystem::path& folder) {
            for (const int step : ShotSteps()) {
                const std::filesystem::path marker = folder / (std::to_string(step) + ".wait");
                if (shown.count(step) || !std::filesystem::exists(marker))
                    continue;
                // The program holds still with its last frame shown.
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                shown[step] = screen->SettledCapture().argb;
                std::filesystem::remove(marker);
            }
        });
    }
    const PlayResult partial = partialRunner.Run(script);
    ASSERT_TRUE(partial.ExitedCleanly()) << partial.Describe();
    if (!screen)
        for (const int step : ShotSteps())
            shown[step] = ReadShot(partial, "w" + ShotName(step));

    for (const int step : ShotSteps())
        EXPECT_TRUE(SameAsShot(ShotName(step), ReadShot(partial, ShotName(step)), whole, ShotName(step)));
    EXPECT_GE(shown.size(), ShotSteps().size() / 2);
    for (const auto& [step, picture] : shown)
        EXPECT_TRUE(SameAsShot("the window at step " + std::to_string(step), picture, whole, ShotName(step)));
}

TEST(PlayPartial, SoftFramesDrawnWhereTheyChangedMatchWholeFrames)
{
    ExpectTheSameShots(nullptr);
}

TEST(PlayPartial, GlFramesDrawnWhereTheyChangedMatchWholeFrames)
{
    const VirtualScreen screen;
    if (!screen.Up())
        GTEST_SKIP() << "no X server here: " << screen.Why();
    ExpectTheSameShots(&screen);
}

} // namespace
