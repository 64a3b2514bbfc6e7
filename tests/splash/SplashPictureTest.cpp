#include "splash/SplashPicture.h"
#include "splash/SplashWindow.h"

#include "splash/SplashLog.h"
#include "tests/splash/SplashTestSupport.h"
#include "tests/support/TestEnvironment.h"

using namespace QuillonSplash;
using SplashTest::SplashWindowTest;

namespace {
uint32_t PixelOf(const SurfacePtr& s, int x, int y)
{
    return *reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(s->pixels) + y * s->pitch + x * 4) & 0xFFFFFF;
}
} // namespace

TEST(SplashPicture, DecodesBmpPngAndJpegByTheirContent)
{
    const SurfacePtr bmp = DecodePicture(SplashTest::SolidBmp(5, 3, 0x204060));
    ASSERT_TRUE(bmp);
    EXPECT_EQ(bmp->w, 5);
    EXPECT_EQ(bmp->h, 3);
    EXPECT_EQ(PixelOf(bmp, 4, 2), 0x204060u);

    const SurfacePtr png = DecodePicture(SplashTest::SolidPng(7, 2, 0xC86432));
    ASSERT_TRUE(png);
    EXPECT_EQ(png->w, 7);
    EXPECT_EQ(PixelOf(png, 6, 1), 0xC86432u);

    const SurfacePtr jpg = DecodePicture(SplashTest::SolidJpeg(16, 8, 0x808080));
    ASSERT_TRUE(jpg);
    EXPECT_EQ(jpg->h, 8);
    const uint32_t p = PixelOf(jpg, 3, 3);
    EXPECT_NEAR(double(p >> 16), 128.0, 2.0);

    // A file named .png holding a JPEG is still read.
    const auto dir = QuillTest::MakeTempDir("splash-pic");
    QuillTest::WriteFile(dir / "looks.png", SplashTest::SolidJpeg(4, 4, 0xFFFFFF));
    EXPECT_TRUE(LoadPictureFile((dir / "looks.png").string()));
    EXPECT_FALSE(LoadPictureFile((dir / "missing.png").string()));
}

TEST(SplashPicture, RefusesDamagedAndOversizedPictures)
{
    const std::string jpeg = SplashTest::SolidJpeg(16, 16, 0x102030);
    EXPECT_FALSE(DecodePicture(jpeg.substr(0, 40))); // cut inside the headers
    const std::string png = SplashTest::SolidPng(8, 8, 0x102030);
    EXPECT_FALSE(DecodePicture(png.substr(0, png.size() / 2)));
    EXPECT_FALSE(DecodePicture(SplashTest::SolidPng(kMaxPictureSide + 1, 1, 0)));
    EXPECT_FALSE(DecodePicture("BM not really a bitmap"));
    // A bitmap header claiming a huge height is refused before anything is allocated for it.
    std::string tall = SplashTest::SolidBmp(4, 6, 0x102030);
    ASSERT_TRUE(DecodePicture(tall));
    tall[22 + 3] = 0x2D;
    EXPECT_FALSE(DecodePicture(tall));
    tall[22 + 3] = static_cast<char>(0x80); // negative: top-down, still far too tall
    EXPECT_FALSE(DecodePicture(tall));
    EXPECT_FALSE(DecodePicture("GIF89a"));
    EXPECT_FALSE(DecodePicture(""));
    EXPECT_TRUE(MakeBuiltInPicture());
}

TEST(SplashFade, AlphaFollowsTheFadeAndAZeroLengthFadeIsOverAtOnce)
{
    EXPECT_EQ(CSplashWindow::FadeAlpha(SplashState::FadingIn, 0, 1000), 255);
    EXPECT_EQ(CSplashWindow::FadeAlpha(SplashState::FadingIn, 250, 1000), 191);
    EXPECT_EQ(CSplashWindow::FadeAlpha(SplashState::FadingOut, 250, 1000), 63);
    EXPECT_EQ(CSplashWindow::FadeAlpha(SplashState::FadingOut, 1500, 1000), 382); // clamped later
    EXPECT_EQ(CSplashWindow::FadeAlpha(SplashState::FadingIn, 5, 0), 0);
    EXPECT_EQ(CSplashWindow::FadeAlpha(SplashState::FadingOut, 5, 0), 255);
    EXPECT_EQ(CSplashWindow::BlendPixel(0xFFC86432, 0xFFFFFF, 0), 0xFFC86432u);
    EXPECT_EQ(CSplashWindow::BlendPixel(0xFFC86432, 0x0000FF, 255), 0xFFFF0000u);
}

TEST_F(SplashWindowTest, PaintsTheFadeIntoTheHostWindowAndFollowsItsSize)
{
    const auto dir = QuillTest::MakeTempDir("splash-paint");
    QuillTest::WriteFile(dir / "pic.png", SplashTest::SolidPng(8, 6, 0xC86432));
    SplashSettings s = SplashSettings::ForSection("Pic");
    s.StaticPath = (dir / "pic.png").string();
    s.FadeTime = 1000;
    SplashLog log((dir / "log.txt").string());

    CSplashWindow w;
    ASSERT_TRUE(w.Load(s));
    w.Create(m_window);
    w.SetFadeColor(0xFFFFFF);
    w.Show();
    // 250 ms into the fade-in: alpha 191 of white over the picture.
    EXPECT_TRUE(w.OnPaint(SplashState::FadingIn, 1000, 1250, log));
    EXPECT_EQ(w.BufferWidth(), 64);
    EXPECT_EQ(WindowPixel(10, 10), 0xF1D8CCu);
    // Past the end of the fade-out only the colour shows, and no further paint is due.
    EXPECT_FALSE(w.OnPaint(SplashState::FadingOut, 1000, 2200, log));
    EXPECT_EQ(WindowPixel(63, 47), 0xFFFFFFu);
    EXPECT_FALSE(w.OnPaint(SplashState::Shown, 0, 0, log));
    EXPECT_EQ(WindowPixel(0, 0), 0xC86432u);

    SDL_SetWindowSize(m_window, 100, 30);
    SDL_PumpEvents();
    EXPECT_TRUE(w.OnPaint(SplashState::FadingOut, 1000, 1000, log));
    EXPECT_EQ(w.BufferWidth(), 100);
    EXPECT_EQ(w.BufferHeight(), 30);
    EXPECT_EQ(WindowPixel(99, 29), 0xC86432u);
    log.Close();
    const std::string text = SplashTest::ReadLogText(dir / "log.txt");
    EXPECT_NE(text.find("[OnPaint] Now=1250; Start=1000; Elapsed=250; Alpha=191; state=0"), std::string::npos);
    EXPECT_NE(text.find("Alpha=306; state=2"), std::string::npos);

    s.StaticPath = (dir / "missing.png").string();
    EXPECT_FALSE(w.Load(s));
    EXPECT_FALSE(w.OnPaint(SplashState::FadingIn, 0, 10, log));
}
