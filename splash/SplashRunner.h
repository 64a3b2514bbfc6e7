#pragma once
// The body of ShowSplash: reads the settings and shows each section inside the host window,
// with an SDL event loop of its own.

#include <SDL.h>
#include <cstdint>
#include <functional>
#include <string>

namespace QuillonSplash {

class SplashLog;

enum SplashResult : int { SplashAllShown = 0, SplashCannotShow = 1, SplashQuit = 2 };

struct SplashRunOptions {
    // Milliseconds of a monotonic clock; SDL_GetTicks when empty.
    std::function<uint32_t()> now;
    // Longest wait for an event while a fade is drawn (one repaint per wait).
    uint32_t frameMs = 15;
    // The window id the host passed, as the log names it.
    uintptr_t hostWindow = 0;
};

// `folder` holds Splash.ini and ends with a separator.
int RunSplash(SDL_Window* parent, const std::string& folder, SplashLog& log, const SplashRunOptions& options = {});

} // namespace QuillonSplash
