// The library's one export.

#include "splash/staticsplash.h"

#include <SDL.h>
#include <cinttypes>
#include <cstring>
#include <exception>
#include <string>

#include "splash/HostWindowCheck.h"
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
        // SDL asks the server about the window under Xlib's default error handler, which ends
        // the process when the window is gone: ask first, under a handler of our own.
        const char* driver = SDL_GetCurrentVideoDriver();
        std::string why;
        if (driver && std::strcmp(driver, "x11") == 0 &&
            QuillonSplash::CheckHostWindow(hostWindow, std::string(), &why) ==
                QuillonSplash::HostWindowState::Missing) {
            log.Write("[ShowSplash] the host window 0x%" PRIxPTR " does not exist: %s", hostWindow, why.c_str());
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            log.Close();
            return QuillonSplash::SplashCannotShow;
        }
        window = SDL_CreateWindowFrom(reinterpret_cast<const void*>(hostWindow));
        if (!window)
            log.Write("[ShowSplash] the host window 0x%" PRIxPTR " cannot be used: %s", hostWindow, SDL_GetError());
    }
    try {
        // Without a window every section reports that it cannot be shown.
        QuillonSplash::SplashRunOptions options;
        options.hostWindow = hostWindow;
        result = QuillonSplash::RunSplash(window, QuillonSplash::GetModuleDirectory(), log, options);
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
