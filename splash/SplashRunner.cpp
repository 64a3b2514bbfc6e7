#include "splash/SplashRunner.h"

#include <cinttypes>
#include <memory>

#include "splash/FlashWindow.h"
#include "splash/SplashLog.h"
#include "splash/SplashSettings.h"
#include "splash/SplashWindow.h"

namespace QuillonSplash {

namespace {

class SplashRun {
public:
    SplashRun(SDL_Window* parent, SplashLog& log, const SplashRunOptions& options)
        : m_parent(parent), m_log(log), m_options(options)
    {
    }

    int Run(const std::string& folder)
    {
        m_log.Write("[ShowSplash] HWND = 0x%" PRIxPTR, m_options.hostWindow);
        int result = SplashAllShown;
        SplashSettingsArray settings;
        settings.ParseIni(folder, m_log);
        for (const SplashSettings* s = settings.First(); s; s = settings.Next()) {
            const int section = ShowSection(*s);
            if (section != SplashAllShown) {
                result = section;
                break;
            }
        }
        m_flash.reset();
        if (m_picture) {
            m_picture->Destroy();
            m_picture.reset();
        }
        return result;
    }

private:
    uint32_t Now() const { return m_options.now ? m_options.now() : SDL_GetTicks(); }

    bool ClientRect(SDL_Rect& rect)
    {
        rect = SDL_Rect{0, 0, 0, 0};
        if (!m_parent) {
            m_log.Write("[ShowSplash] GetClientRect() failed. ERR=%d", 1400);
            return false;
        }
        SDL_GetWindowSize(m_parent, &rect.w, &rect.h);
        m_log.Write("[ShowSplash] GetClientRect() Height=%d, Width=%d", rect.h, rect.w);
        return true;
    }

    int ShowSection(const SplashSettings& s)
    {
        s.Dump(m_log);
        SDL_Rect rect;
        const bool haveRect = ClientRect(rect);

        bool prepared = false;
        if (s.UseFlash) {
            m_flash = std::make_unique<CFlashWindow>();
            prepared = m_flash->Init(s, m_log);
        } else {
            m_log.Write("[ShowSplash] Not using flash");
        }
        bool movieUp = false;
        bool pictureUp = false;
        uint32_t timerLength = 0;
        if (prepared && m_flash->RunFlash(m_parent, rect, m_log)) {
            movieUp = true;
            m_state = SplashState::FlashPlaying;
            timerLength = uint32_t(s.FadeTime) + uint32_t(s.VideoTime) + 1000u;
        } else {
            if (!m_picture)
                m_picture = std::make_unique<CSplashWindow>();
            if (haveRect && m_picture->Load(s)) {
                if (!m_picture->IsWindow())
                    m_picture->Create(m_parent);
                m_state = SplashState::FadingIn;
                m_picture->SetFadeColor(s.FadeInColor);
                timerLength = uint32_t(s.FadeTime);
                m_picture->Show();
                pictureUp = true;
            }
        }
        if (!movieUp && !pictureUp) {
            m_log.Write("[ShowSplash] Unable to show flash or static image.");
            m_flash.reset();
            return SplashCannotShow;
        }

        const bool quit = Loop(s, timerLength, pictureUp);
        if (m_flash) {
            m_flash->Close();
            m_flash.reset();
        }
        if (quit)
            return SplashQuit;
        if (m_picture)
            m_picture->Hide();
        return SplashAllShown;
    }

    void Paint()
    {
        if (m_picture)
            m_fading = m_picture->OnPaint(m_state, m_start, Now(), m_log);
    }

    // Runs one section; true when SDL_QUIT arrived.
    bool Loop(const SplashSettings& s, uint32_t timerLength, bool pictureUp)
    {
        m_start = Now();
        uint32_t deadline = m_start + timerLength;
        m_fading = false;
        if (pictureUp)
            Paint();
        for (;;) {
            const uint32_t now = Now();
            const int32_t left = int32_t(deadline - now);
            if (left <= 0) {
                // The section's timer.
                if (m_state == SplashState::FadingIn) {
                    m_state = SplashState::Shown;
                    deadline = now + uint32_t(s.StaticTime);
                } else if (m_state == SplashState::Shown) {
                    m_state = SplashState::FadingOut;
                    deadline = now + uint32_t(s.FadeTime);
                    m_start = now;
                } else {
                    // Leave the fade-out on the full colour, whatever the last frame reached.
                    if (m_state == SplashState::FadingOut)
                        Paint();
                    return false;
                }
                Paint();
                continue;
            }
            const uint32_t wait = m_fading && uint32_t(left) > m_options.frameMs ? m_options.frameMs : uint32_t(left);
            SDL_Event event;
            if (!SDL_WaitEventTimeout(&event, int(wait))) {
                if (m_fading)
                    Paint();
                continue;
            }
            m_log.Write("[ShowSplash] message=%d", int(event.type));
            switch (event.type) {
            case SDL_QUIT:
                return true;
            case SDL_WINDOWEVENT:
                if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                    m_log.Write("[WM_SIZE] GetClientRect() Height=%d, Width=%d", event.window.data2,
                                event.window.data1);
                    Paint();
                } else if (event.window.event == SDL_WINDOWEVENT_EXPOSED) {
                    Paint();
                }
                break;
            case SDL_MOUSEBUTTONUP:
                if (event.button.button != SDL_BUTTON_LEFT)
                    break;
                if (m_state == SplashState::FlashPlaying) {
                    if (m_flash)
                        m_flash->MouseClicked(m_log);
                } else if (m_state == SplashState::FadingIn || m_state == SplashState::Shown) {
                    // Fade out from the brightness reached: a click during the fade-in takes as
                    // long to fade out as it faded in so far; once shown, the whole fade.
                    const uint32_t t = Now();
                    const int32_t left0 = s.FadeTime - int32_t(t - m_start);
                    const uint32_t remaining = left0 > 0 ? uint32_t(left0) : 0u;
                    m_start = t - remaining;
                    m_state = SplashState::FadingOut;
                    deadline = t + (uint32_t(s.FadeTime) - remaining);
                    Paint();
                }
                break;
            default:
                break;
            }
        }
    }

    SDL_Window* m_parent;
    SplashLog& m_log;
    const SplashRunOptions& m_options;
    std::unique_ptr<CFlashWindow> m_flash;
    std::unique_ptr<CSplashWindow> m_picture;
    SplashState m_state = SplashState::FadingIn;
    uint32_t m_start = 0;
    bool m_fading = false;
};

} // namespace

int RunSplash(SDL_Window* parent, const std::string& folder, SplashLog& log, const SplashRunOptions& options)
{
    SplashRun run(parent, log, options);
    return run.Run(folder);
}

} // namespace QuillonSplash
