// A frame is drawn only where it differs from the last one. A played sequence (the album's
// opening, its letter, a page turn, the glowing photo, the way into the first scene and its
// tutorial) is shot at many steps, once drawn that way and once with every frame whole: every shot
// must be the same to the pixel, on the software renderer and on OpenGL.

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "tests/game/play/PlayData.h"
#include "platform/process/VirtualDisplay.h"
#include "tests/support/PlayRunner.h"

using QuillTest::PlayResult;
using QuillTest::PlayRunner;

namespace {

// The script, and the shots it takes.
std::string PartialScript(std::vector<std::string>& shots)
{
    const std::string album = PlayData::AlbumToFirstScene();
    std::string script = album;
    // Shots are inserted in step order among the clicks: the parser wants steps never to go back.
    std::vector<std::pair<int, std::string>> lines;
    std::istringstream in(album);
    for (std::string line; std::getline(in, line);)
        lines.emplace_back(std::stoi(line.substr(3)), line);
    for (int step = PlayData::kAlbumReady - 60; step <= PlayData::kFirstSceneOpen + 60; step += 17) {
        shots.push_back("s" + std::to_string(step) + ".png");
        lines.emplace_back(step, "at " + std::to_string(step) + " shot " + shots.back());
    }
    lines.emplace_back(PlayData::kFirstSceneOpen + 61, "at " + std::to_string(PlayData::kFirstSceneOpen + 61) + " quit");
    std::stable_sort(lines.begin(), lines.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    script.clear();
    for (const auto& [step, line] : lines)
        script += line + "\n";
    return album.empty() ? std::string() : script;
}

// Runs the script both ways (on `display` with the program's own device, or offscreen in
// software) and compares every shot.
void ExpectTheSameShots(const std::string& display)
{
    std::vector<std::string> shots;
    const std::string script = PartialScript(shots);
    ASSERT_FALSE(script.empty());
    auto runner = [&](const char* name) {
        PlayRunner run(name);
        run.Seed(5);
        if (!display.empty())
            run.Window(display).DefaultDevice();
        return run;
    };
    const PlayResult partial = runner("partial").Run(script);
    ASSERT_TRUE(partial.ExitedCleanly()) << partial.Describe();
    const PlayResult whole = runner("whole").WholeFrames().Run(script);
    ASSERT_TRUE(whole.ExitedCleanly()) << whole.Describe();
    int differing = 0;
    for (const std::string& shot : shots) {
        uint32_t w1 = 0, h1 = 0, w2 = 0, h2 = 0;
        std::vector<uint32_t> a, b;
        ASSERT_TRUE(partial.ReadShot(shot, w1, h1, a)) << shot;
        ASSERT_TRUE(whole.ReadShot(shot, w2, h2, b)) << shot;
        ASSERT_EQ(w1, w2);
        ASSERT_EQ(h1, h2);
        size_t first = a.size();
        size_t count = 0;
        for (size_t i = 0; i < a.size(); ++i)
            if (a[i] != b[i]) {
                first = std::min(first, i);
                ++count;
            }
        if (count) {
            ++differing;
            ADD_FAILURE() << shot << ": " << count << " pixels differ, the first at (" << first % w1 << ", "
                          << first / w1 << ")";
        }
    }
    EXPECT_EQ(differing, 0);
}

TEST(PlayPartial, SoftFramesDrawnWhereTheyChangedMatchWholeFrames)
{
    ExpectTheSameShots({});
}

TEST(PlayPartial, GlFramesDrawnWhereTheyChangedMatchWholeFrames)
{
    QuillPlatform::VirtualDisplay display;
    std::string why;
    if (!display.Start(1280, 1024, &why))
        GTEST_SKIP() << "no X server here: " << why;
    ExpectTheSameShots(display.Name());
}

} // namespace
