#pragma once
// An SDL video session with one small hidden window for the splash tests, and picture writers.

#include <SDL.h>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace SplashTest {

class SplashWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
        m_window = SDL_CreateWindow("splash test", 0, 0, 64, 48, SDL_WINDOW_HIDDEN);
        ASSERT_NE(m_window, nullptr) << SDL_GetError();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    void TearDown() override
    {
        if (m_window)
            SDL_DestroyWindow(m_window);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    // The pixel of the window's surface as 0xRRGGBB.
    uint32_t WindowPixel(int x, int y) const;

    SDL_Window* m_window = nullptr;
};

// A w x h picture of one colour (0xRRGGBB) in each format.
std::string SolidBmp(int w, int h, uint32_t rgb);
std::string SolidPng(int w, int h, uint32_t rgb);
std::string SolidJpeg(int w, int h, uint32_t rgb);

// The ASCII text of a UTF-16LE log file.
std::string ReadLogText(const std::filesystem::path& path);

} // namespace SplashTest
