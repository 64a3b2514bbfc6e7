// The game in a real window: an X server (Xvfb) started here, the program on SDL's x11 driver with
// each back end, the album's first frame and a board's first frame read back from the X server's
// screen and compared with the pictures committed beside this test, and a click sent through the
// X server onto a scene item, which the board finds.
//
// QUILL_UPDATE_GOLDEN=1 writes each back end's frames as the new golden pictures, and the README's
// screenshots (docs/screenshots) from the software back end.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/strings/StringUtil.h"
#include "engine/core/xml/XmlNode.h"
#include "tests/game/play/PlayData.h"
#include "tests/game/play/VirtualScreen.h"
#include "tests/support/PlayRunner.h"
#include "tests/support/TestEnvironment.h"

using namespace QuillEngine;
using QuillTest::PlayResult;
using QuillTest::PlayRunner;
namespace fs = std::filesystem;

namespace {

using QuillTest::Frame;
using QuillTest::VirtualScreen;

constexpr uint32_t kWidth = QuillTest::kScreenWidth, kHeight = QuillTest::kScreenHeight;

fs::path GoldenFolder()
{
    return QuillTest::SourceRoot() / "tests/game/play/golden";
}

struct Difference {
    int largest = 0;     // the largest difference of any channel
    size_t beyond = 0;   // pixels with a channel differing by more than the tolerance
};

Difference Compare(const Frame& a, const Frame& b, int tolerance)
{
    Difference d;
    for (size_t i = 0; i < a.argb.size() && i < b.argb.size(); ++i) {
        int worst = 0;
        for (int shift : {0, 8, 16}) {
            const int ca = int((a.argb[i] >> shift) & 0xFF), cb = int((b.argb[i] >> shift) & 0xFF);
            worst = std::max(worst, std::abs(ca - cb));
        }
        d.largest = std::max(d.largest, worst);
        d.beyond += worst > tolerance ? 1 : 0;
    }
    return d;
}

// The frames a run on the real screen gives: the album as it opens, the first board with its
// tutorial, and whether the click sent through the X server found its item.
struct WindowRun {
    Frame book, board, playing;
    PlayResult result;
};

WindowRun PlayInWindow(const VirtualScreen& screen, bool software, PlayData::Point bluebird)
{
    const auto screens = PlayData::ReadSourceXml("data/ui/Definitions/BoardScreens.xml");
    const PlayData::Placement ok = PlayData::ChildPlacements(*screens, u"Game_RegistryIntroDialog")["okButton"];
    std::string script = "at " + std::to_string(PlayData::kAlbumReady - 1) + " wait book.wait\n";
    script += PlayData::AlbumToFirstScene();
    script += "at " + std::to_string(PlayData::kFirstSceneOpen) + " wait board.wait\n";
    script += PlayData::ClickAt(PlayData::kFirstSceneOpen + 2, static_cast<int>(ok.x) + 20, static_cast<int>(ok.y) + 20);
    script += "at " + std::to_string(PlayData::kFirstSceneOpen + 60) + " wait click.wait\n";
    script += "at " + std::to_string(PlayData::kFirstSceneOpen + 120) + " quit\n";

    WindowRun run;
    std::map<std::string, bool> answered;
    PlayRunner runner(software ? "window-soft" : "window-gl");
    runner.Seed(3).Window(screen.Name());
    if (!software)
        runner.DefaultDevice();
    runner.WhileRunning([&](const fs::path& folder) {
        for (const char* marker : {"book.wait", "board.wait", "click.wait"}) {
            const fs::path file = folder / marker;
            if (answered[marker] || !fs::exists(file))
                continue;
            // The program holds still with its last frame shown.
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            if (std::string(marker) == "book.wait")
                run.book = screen.SettledCapture();
            else if (std::string(marker) == "board.wait")
                run.board = screen.SettledCapture();
            else {
                run.playing = screen.SettledCapture();
                screen.Click(bluebird.x, bluebird.y);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            answered[marker] = true;
            fs::remove(file);
        }
    });
    run.result = runner.Run(script);
    return run;
}

TEST(PlayWindow, TheRealScreenShowsTheAlbumAndABoardAndAClickThroughXFindsAnItem)
{
    VirtualScreen screen;
    if (!screen.Up())
        GTEST_SKIP() << screen.Why();
    if (std::system("command -v xdotool >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "xdotool is missing (Debian package xdotool)";

    const auto scene = PlayData::ReadSourceXml("data/scenes/Boutique/Definitions/Boutique.xml");
    ASSERT_NE(scene, nullptr);
    const PlayData::Point bluebird =
        PlayData::ItemClickPoint(*scene, "Boutique", PlayData::ChildPlacements(*scene, u"Boutique").at("Bluebird1"));

    std::map<std::string, WindowRun> runs;
    for (const bool software : {true, false}) {
        const std::string device = software ? "soft" : "gl";
        WindowRun run = PlayInWindow(screen, software, bluebird);
        ASSERT_TRUE(run.result.ExitedCleanly()) << device << "\n" << run.result.Describe();
        ASSERT_TRUE(run.book.Valid() && run.board.Valid()) << device << ": no capture";
        // The click went through the X server to the board, which took the bluebird.
        const auto save = run.result.LoadSave();
        ASSERT_NE(save, nullptr) << run.result.Describe();
        const XmlNode* profile = save->FindChild(u"profile");
        ASSERT_NE(profile, nullptr);
        EXPECT_EQ(profile->GetIntAttribute(u"bluebirds", -1), 1) << device << "\n" << run.result.Describe();
        runs[device] = std::move(run);
    }

    // Each back end draws the same picture every time, to within rounding; the two agree within
    // one step of a channel but for a few pixels of scaled text, where Mesa's bilinear weights and
    // ours round differently: never by more than two steps.
    const bool update = std::getenv("QUILL_UPDATE_GOLDEN") != nullptr;
    const fs::path out = runs["soft"].result.folder;
    if (update) {
        // The README shows the album and a board as a player meets them.
        const fs::path docs = QuillTest::SourceRoot() / "docs/screenshots";
        fs::create_directories(docs);
        ASSERT_TRUE(QuillTest::WritePng(docs / "album.png", kWidth, kHeight, runs["soft"].book.argb));
        ASSERT_TRUE(QuillTest::WritePng(docs / "board.png", kWidth, kHeight, runs["soft"].playing.argb));
    }
    for (const std::string name : {"book", "board"}) {
        const Frame& soft = name == "book" ? runs["soft"].book : runs["soft"].board;
        const Frame& gl = name == "book" ? runs["gl"].book : runs["gl"].board;
        for (const auto& [device, frame] : {std::pair<std::string, const Frame*>{"soft", &soft}, {"gl", &gl}}) {
            const fs::path golden = GoldenFolder() / ("window-" + name + (device == "gl" ? "-gl" : "") + ".png");
            if (update) {
                ASSERT_TRUE(QuillTest::WritePng(golden, kWidth, kHeight, frame->argb));
            }
            Frame expected;
            uint32_t w = 0, h = 0;
            ASSERT_TRUE(QuillTest::ReadPng(golden, w, h, expected.argb)) << golden;
            ASSERT_EQ(w, kWidth);
            ASSERT_EQ(h, kHeight);
            const Difference d = Compare(*frame, expected, 2);
            if (d.beyond > 0)
                QuillTest::WritePng(out / ("captured-" + device + "-" + name + ".png"), kWidth, kHeight, frame->argb);
            EXPECT_EQ(d.beyond, 0u) << device << " " << name << ": " << d.beyond << " pixels differ from " << golden
                                    << " by more than 2 (largest " << d.largest << "); the capture is in " << out;
        }
        const Difference across = Compare(gl, soft, 1);
        EXPECT_LE(across.largest, 2) << name;
        EXPECT_LE(across.beyond, size_t(kWidth) * kHeight / 2000)
            << name << ": gl and soft differ by more than 1 in " << across.beyond << " pixels (largest "
            << across.largest << ")";
        std::printf("%s: gl and soft differ by more than 1 in %zu of %u pixels\n", name.c_str(), across.beyond,
                    kWidth * kHeight);
    }
}

} // namespace
