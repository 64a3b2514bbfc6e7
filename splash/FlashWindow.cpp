#include "splash/FlashWindow.h"

#include <sys/stat.h>

#include "splash/SplashLog.h"

namespace QuillonSplash {

bool CFlashWindow::Init(const SplashSettings& settings, SplashLog& log)
{
    m_settings = &settings;
    if (!settings.IsQuillon) {
        struct stat st {};
        if (::stat(settings.FlashVideoPath.c_str(), &st) != 0)
            return false;
    }
    log.Write("[ShowSplash] Unable to create flash. hr=0x%x", kPlayerMissing);
    return false;
}

bool CFlashWindow::RunFlash(SDL_Window*, const SDL_Rect&, SplashLog& log)
{
    log.Write("[RunFlash] Enter RunFlash()");
    return false;
}

void CFlashWindow::MouseClicked(SplashLog&) {}

void CFlashWindow::Close()
{
    m_settings = nullptr;
}

} // namespace QuillonSplash
