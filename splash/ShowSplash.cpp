// The library's one export.

#include "splash/staticsplash.h"

#include <SDL.h>
#include <cinttypes>
#include <exception>

#include "splash/SplashLog.h"
#include "splash/SplashPaths.h"
#include "splash/SplashRunner.h"

extern "C" int ShowSplash(uintptr_t hostWindow)
{
    QuillonSplash::SplashLog log;
    int result = QuillonSplash::SplashAllShown;
    // Counted by SDL: a host that uses SDL keeps its video subsystem after the call.
    const bool video = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    SDL_Window* window = nullptr;
    if (!video) {
        log.Write("[ShowSplash] SDL video could not start: %s", SDL_GetError());
    } else if (hostWindow != 0) {
        window = SDL_CreateWindowFrom(reinterpret_cast<const void*>(hostWindow));
        if (!window)
            log.Write("[ShowSplash] the host window 0x%" PRIxPTR " cannot be used: %s", hostWindow, SDL_GetError());
    }
    try {
        // Without a window every section reports that it cannot be shown.
        result = QuillonSplash::RunSplash(window, QuillonSplash::GetModuleDirectory(), log);
    } catch (...) {
        if (result < QuillonSplash::SplashCannotShow)
            result = QuillonSplash::SplashCannotShow;
    }
    if (window)
        SDL_DestroyWindow(window); // the wrapper only: the host's window stays
    if (video)
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    log.Close();
    return result;
}
