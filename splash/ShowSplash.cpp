// The library's one export.

#include "splash/staticsplash.h"

#include <exception>

#include "splash/SplashLog.h"
#include "splash/SplashPaths.h"
#include "splash/SplashRunner.h"

extern "C" int ShowSplash(SDL_Window* parent)
{
    QuillonSplash::SplashLog log;
    int result = QuillonSplash::SplashAllShown;
    try {
        result = QuillonSplash::RunSplash(parent, QuillonSplash::GetModuleDirectory(), log);
    } catch (...) {
        if (result < QuillonSplash::SplashCannotShow)
            result = QuillonSplash::SplashCannotShow;
    }
    log.Close();
    return result;
}
