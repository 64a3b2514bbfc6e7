#pragma once
// The movie splash. No Flash player exists on this platform: preparing a movie always fails
// (and says why in the log), so every movie section falls back to its still picture.

#include <SDL.h>

#include "splash/SplashSettings.h"

namespace QuillonSplash {

class SplashLog;

class CFlashWindow {
public:
    // The error code logged when the player cannot be created (no such component here).
    static constexpr unsigned kPlayerMissing = 0x80040154u;

    // An ordinary section's video file must exist; a missing one fails without a log line.
    bool Init(const SplashSettings& settings, SplashLog& log);
    bool RunFlash(SDL_Window* parent, const SDL_Rect& area, SplashLog& log);
    void MouseClicked(SplashLog& log);
    void Close();

private:
    const SplashSettings* m_settings = nullptr;
};

} // namespace QuillonSplash
