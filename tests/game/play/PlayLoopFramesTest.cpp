// The game's speed never depends on drawing. One script (the album's opening, the way into the first
// scene, a hint flying over the board, the console opened and closed over the resting board) is
// played twice: once drawing every step, once leaving it to the main loop when to draw, as outside
// the harness. At every update of the scene the game must be in the same state, and every shot
// (the last frame the loop drew, as the window shows it) must be the same picture.

#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <map>
#include <string>
#include <vector>

#include "tests/game/play/PlayData.h"
#include "tests/support/PlayRunner.h"

using QuillTest::PlayResult;
using QuillTest::PlayRunner;

namespace {

using PlayData::ChildPlacements;
using PlayData::Placement;

constexpr int kBoardReady = PlayData::kFirstSceneOpen;
constexpr int kHint = kBoardReady + 60;
// Well after the hint's flight, a step after the clock's text changed: the board is at rest.
constexpr int kConsoleOpen = kBoardReady + 301;
constexpr int kConsoleClose = kConsoleOpen + 90;
constexpr int kLastStep = kConsoleClose + 30;

// The state as scripts see it, at the start of every update of the scene: every instance reachable
// from the root (place, visibility, a movie's frame), every plain value its script keeps on it (the
// counters that OnUpdate scripts step for fades and pulses) and the script globals. Only what
// changed since the last update is kept. The root's own OnUpdate (no game script sets one) reads it:
// nothing else shows a script's counters, and a console line each step would ask for a redraw each
// step and so keep the screen from ever resting. The trace goes out through the console at the end.
constexpr const char* kProbe =
    "PlayTrace = {} PlayLast = {} PlayRead = 0 "
    "local function walk(t, path, now, seen) seen[t] = true local keys = {} "
    "for k in pairs(t) do table.insert(keys, k) end "
    "table.sort(keys, function(a, b) return tostring(a) < tostring(b) end) "
    "for _, k in ipairs(keys) do local v = t[k] local kind = type(v) local at = path .. '.' .. tostring(k) "
    "if kind == 'number' or kind == 'string' or kind == 'boolean' then now[at] = tostring(v) "
    "elseif kind == 'table' and not seen[v] and getmetatable(v) and v.GetX and path ~= '' then "
    "now[at] = tostring(v:GetX()) .. ',' .. tostring(v:GetY()) .. (v:GetVisible() and ' shown' or ' hidden') .. "
    "(v.GetFrame and (' frame ' .. tostring(v:GetFrame())) or '') walk(v, at, now, seen) end end end "
    "function root:OnUpdate() local now = {} local seen = {} walk(_G, '', now, seen) walk(root, 'root', now, seen) "
    "local changed = {} for k, v in pairs(now) do if PlayLast[k] ~= v then table.insert(changed, k .. '=' .. v) end end "
    "for k in pairs(PlayLast) do if now[k] == nil then table.insert(changed, k .. ' gone') end end "
    "table.sort(changed) table.insert(PlayTrace, table.concat(changed, '; ')) PlayLast = now end "
    "function PlayNext() PlayRead = PlayRead + 1 PlayLine = PlayTrace[PlayRead] and "
    "(PlayRead .. ': ' .. PlayTrace[PlayRead]) end";

std::string Click(int step, const Placement& button)
{
    return PlayData::ClickAt(step, static_cast<int>(button.x) + 20, static_cast<int>(button.y) + 20);
}

struct Script {
    std::string text;
    std::vector<int> shots; // the steps shot, each "<step>.png"
};

Script BuildScript()
{
    Script out;
    const std::string album = PlayData::AlbumToFirstScene();
    const auto screens = PlayData::ReadSourceXml("data/ui/Definitions/BoardScreens.xml");
    if (album.empty() || !screens)
        return out;
    std::multimap<int, std::string> lines; // by step; lines of one step in the order added
    const auto add = [&](int step, const std::string& line) { lines.emplace(step, line); };
    const auto addScript = [&](const std::string& text) {
        size_t start = 0;
        while (start < text.size()) {
            const size_t end = text.find('\n', start);
            const std::string line = text.substr(start, end - start);
            add(std::stoi(line.substr(3)), line);
            start = end == std::string::npos ? text.size() : end + 1;
        }
    };
    add(0, std::string("at 0 console lua.dostring ") + kProbe);
    addScript(album);
    addScript(Click(kBoardReady, ChildPlacements(*screens, u"Game_RegistryIntroDialog")["okButton"]));
    addScript(Click(kHint, ChildPlacements(*screens, u"ISpyPanel").at("hintButton")));
    add(kConsoleOpen, "at " + std::to_string(kConsoleOpen) + " key `");
    add(kConsoleClose, "at " + std::to_string(kConsoleClose) + " key `");
    // Shots (each takes a while to write): every step as the board's clock starts and as the
    // console opens and closes, every third step through the transition into the scene and the
    // hint's flight, every fifth elsewhere from the album on.
    const auto near = [](int step, int from, int to) { return step >= from && step <= to; };
    for (int step = PlayData::kAlbumReady; step <= kLastStep; ++step) {
        const bool every = near(step, kBoardReady, kBoardReady + 10) || near(step, kConsoleOpen, kConsoleOpen + 10) ||
                           near(step, kConsoleClose, kConsoleClose + 10);
        const bool busy = near(step, PlayData::kPhotoClick, kBoardReady) || near(step, kHint, kHint + 120);
        if (every || (busy && step % 3 == 0) || step % 5 == 0) {
            out.shots.push_back(step);
            add(step, "at " + std::to_string(step) + " shot " + std::to_string(step) + ".png");
        }
    }
    // The trace, one console line per update: two updates a step, and a few lines to spare.
    for (int line = 0; line < 2 * kLastStep + 10; ++line) {
        add(kLastStep + 1, "at " + std::to_string(kLastStep + 1) + " console lua.dostring PlayNext()");
        add(kLastStep + 1, "at " + std::to_string(kLastStep + 1) + " console lua.getglobalstr PlayLine");
    }
    add(kLastStep + 2, "at " + std::to_string(kLastStep + 2) + " quit");
    for (const auto& [step, line] : lines)
        out.text += line + "\n";
    return out;
}

// The trace's line of each update, from what the console printed.
std::vector<std::string> Trace(const PlayResult& run)
{
std::vector<std::string> trace;
    for (const std::string& line : run.console)
        if (line.find(": ") != std::string::npos && line[0] >= '0' && line[0] <= '9')
            trace.push_back(line);
    return trace;
}

TEST(PlayLoopFrames, TheGameStepsAlikeAndShowsTheSameWhetherEveryStepDrawsOrTheLoopDecides)
{
    const Script script = BuildScript();
    ASSERT_FALSE(script.text.empty());
    const auto runner = [](const char* name) {
        PlayRunner run(name);
        run.Seed(7);
        return run;
    };
    // The two runs side by side: each is a program of its own in a folder of its own.
    auto everyRun = std::async(std::launch::async, [&] { return runner("every-step").Run(script.text); });
    const PlayResult loop = runner("loop-decides").LoopFrames().Run(script.text);
    const PlayResult every = everyRun.get();
    ASSERT_TRUE(every.ExitedCleanly()) << every.Describe();
    ASSERT_TRUE(loop.ExitedCleanly()) << loop.Describe();

    // The same events at the same game times, and the same state at every update: two a step.
    EXPECT_EQ(every.feedback, loop.feedback);
    const std::vector<std::string> a = Trace(every), b = Trace(loop);
    ASSERT_EQ(a.size(), static_cast<size_t>(2 * (kLastStep + 1))) << every.Describe();
    EXPECT_EQ(b.size(), a.size()) << "updates of the scene";
    int differing = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        if (a[i] != b[i] && ++differing <= 3)
            ADD_FAILURE() << "the state differs at update " << i + 1 << " (step " << i / 2 + 1
                          << ")\n every step draws: " << a[i].substr(0, 600) << "\n the loop decides:  " << b[i].substr(0, 600);
    EXPECT_EQ(differing, 0);

    // The picture the window shows at each shot.
    int differingShots = 0;
    for (const int step : script.shots) {
        const std::string name = std::to_string(step) + ".png";
        uint32_t w1 = 0, h1 = 0, w2 = 0, h2 = 0;
        std::vector<uint32_t> p1, p2;
        ASSERT_TRUE(every.ReadShot(name, w1, h1, p1)) << name;
        ASSERT_TRUE(loop.ReadShot(name, w2, h2, p2)) << name;
        ASSERT_EQ(p1.size(), p2.size()) << name;
        size_t count = 0, first = p1.size();
        for (size_t i = 0; i < p1.size(); ++i)
            if (p1[i] != p2[i] && count++ == 0)
                first = i;
        if (count && ++differingShots <= 10)
            ADD_FAILURE() << "shot at step " << step << ": " << count << " pixels differ, the first at ("
                          << first % w1 << ", " << first / w1 << ")";
    }
    EXPECT_EQ(differingShots, 0) << "of " << script.shots.size() << " shots";
}

} // namespace
