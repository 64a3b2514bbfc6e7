#include "splash/SplashRunner.h"

#include <regex>

#include "splash/SplashLog.h"
#include "tests/splash/SplashTestSupport.h"
#include "tests/support/TestEnvironment.h"

using namespace QuillonSplash;

namespace {

class SplashRunnerTest : public SplashTest::SplashWindowTest {
protected:
    void SetUp() override
    {
        SplashWindowTest::SetUp();
        m_dir = QuillTest::MakeTempDir("splash-run");
        m_folder = m_dir.string() + "/";
        QuillTest::WriteFile(m_dir / "pic.png", SplashTest::SolidPng(8, 6, 0x336699));
        // A clock that moves 10 ms at each reading, so a section takes a few hundred readings
        // and no real time.
        m_options.now = [this] {
            m_now += 10;
            if (m_onTick)
                m_onTick(m_now);
            return m_now;
        };
        m_options.frameMs = 1;
    }

    int Run()
    {
        SplashLog log((m_dir / "QuillonSplash.log").string());
        const int result = RunSplash(m_window, m_folder, log, m_options);
        log.Close();
        m_log = SplashTest::ReadLogText(m_dir / "QuillonSplash.log");
        return result;
    }

    size_t Count(const std::string& needle) const
    {
        size_t n = 0;
        for (size_t at = m_log.find(needle); at != std::string::npos; at = m_log.find(needle, at + 1))
            ++n;
        return n;
    }

    std::filesystem::path m_dir;
    std::string m_folder;
    SplashRunOptions m_options;
    uint32_t m_now = 100000;
    std::function<void(uint32_t)> m_onTick;
    std::string m_log;
};

void PushEvent(Uint32 type, Uint8 button = 0)
{
    SDL_Event e{};
    e.type = type;
    if (type == SDL_MOUSEBUTTONUP) {
        e.button.button = button;
        e.button.state = SDL_RELEASED;
    }
    SDL_PushEvent(&e);
}

} // namespace

TEST_F(SplashRunnerTest, NoSplashIniShowsNothing)
{
    EXPECT_EQ(Run(), SplashAllShown);
    EXPECT_EQ(Count("[SplashSettings]"), 0u);
    QuillTest::WriteFile(m_dir / "Splash.ini", "; no sections\n");
    EXPECT_EQ(Run(), SplashAllShown);
    EXPECT_EQ(Count("[SplashSettings]"), 0u);
}

TEST_F(SplashRunnerTest, EverySectionIsShownAndAMissingMovieFallsBackToThePicture)
{
    QuillTest::WriteFile(m_dir / "Splash.ini", "[Movie]\nFlashVideoPath=missing.flv\n"
                                               "StaticPath=pic.png\nFadeTime=100\nStaticTime=50\n"
                                               "[Quillon]\nFadeTime=100\nStaticTime=50\n"
                                               "[Still]\nStaticPath=pic.png\nFadeTime=0\n"
                                               "StaticTime=0\n");
    EXPECT_EQ(Run(), SplashAllShown);
    EXPECT_EQ(Count("[SplashSettings] for "), 3u);
    EXPECT_EQ(Count("[ShowSplash] Not using flash"), 1u);
    // The built-in movie has no player here; the missing video of "Movie" fails silently.
    EXPECT_EQ(Count("[ShowSplash] Unable to create flash. hr=0x80040154"), 1u);
    EXPECT_EQ(Count("Unable to show flash or static image."), 0u);
    EXPECT_GT(Count("state=0"), 0u);
    EXPECT_GT(Count("state=2"), 0u);
    // The last section faded out: its picture ended fully covered by the colour (black).
    EXPECT_EQ(WindowPixel(5, 5), 0x000000u);
}

TEST_F(SplashRunnerTest, ASectionThatCannotBeShownEndsTheCallWithOne)
{
    QuillTest::WriteFile(m_dir / "Splash.ini", "[Broken]\nStaticPath=nothing.png\n"
                                               "[Never]\nStaticPath=pic.png\n");
    EXPECT_EQ(Run(), SplashCannotShow);
    EXPECT_EQ(Count("[ShowSplash] Unable to show flash or static image."), 1u);
    EXPECT_EQ(Count("[SplashSettings] for Never"), 0u);
}

TEST_F(SplashRunnerTest, QuitDuringTheLoopEndsTheCallWithTwoAndIsConsumed)
{
    QuillTest::WriteFile(m_dir / "Splash.ini", "[One]\nStaticPath=pic.png\nStaticTime=100000\n"
                                               "[Two]\nStaticPath=pic.png\n");
    m_onTick = [](uint32_t now) {
        if (now == 100000 + 500)
            PushEvent(SDL_QUIT);
    };
    EXPECT_EQ(Run(), SplashQuit);
    EXPECT_EQ(Count("[ShowSplash] message=256"), 1u); // SDL_QUIT
    EXPECT_EQ(Count("[SplashSettings] for Two"), 0u);
    SDL_PumpEvents();
    EXPECT_EQ(SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_QUIT, SDL_QUIT), 0);
}

TEST_F(SplashRunnerTest, AClickLateInTheFadeInFadesOutFromTheBrightnessReached)
{
    QuillTest::WriteFile(m_dir / "Splash.ini", "[One]\nStaticPath=pic.png\nFadeTime=1000\nStaticTime=100000\n");
    uint32_t clickAt = 0;
    m_onTick = [&](uint32_t now) {
        if (now == 100000 + 900) {
            PushEvent(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT); // ignored
            PushEvent(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT);
            clickAt = now;
        }
    };
    const uint32_t start = m_now + 10;
    EXPECT_EQ(Run(), SplashAllShown);
    ASSERT_NE(clickAt, 0u);

    // The first fade-out paint starts about 100 ms in (alpha about 25), the last one ends it.
    const std::regex paint(R"(\[OnPaint\] Now=(\d+); Start=(\d+); Elapsed=(\d+); Alpha=(-?\d+); state=2)");
    std::vector<std::smatch> outs;
    for (auto it = std::sregex_iterator(m_log.begin(), m_log.end(), paint); it != std::sregex_iterator(); ++it)
        outs.push_back(*it);
    ASSERT_GE(outs.size(), 2u);
    const int firstElapsed = std::stoi(outs.front()[3]);
    EXPECT_GE(firstElapsed, 60);
    EXPECT_LE(firstElapsed, 140);
    const uint32_t fadeStart = uint32_t(std::stoul(outs.front()[2]));
    const uint32_t lastNow = uint32_t(std::stoul(outs.back()[1]));
    // From the click to the end of the section: about 900 ms, not the whole second.
    EXPECT_NEAR(double(lastNow - clickAt), 900.0, 60.0);
    EXPECT_GE(fadeStart, start);
    EXPECT_GE(std::stoi(outs.back()[4]), 255);
}
