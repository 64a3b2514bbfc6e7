#pragma once
// The still-picture splash: one picture stretched over the host window, faded in from a solid
// colour and out to it again by drawing the colour over the picture with a constant alpha.

#include <SDL.h>
#include <cstdint>

#include "splash/SplashPicture.h"
#include "splash/SplashSettings.h"

namespace QuillonSplash {

class SplashLog;

enum class SplashState { FadingIn = 0, Shown = 1, FadingOut = 2, FlashPlaying = 3 };

class CSplashWindow {
public:
    // Loads the section's picture (the built-in one for the built-in section, else StaticPath),
    // replacing the previous one. False when it cannot be loaded.
    bool Load(const SplashSettings& settings);
    void SetFadeColor(SplashColor color) { m_fadeColor = color; }

    // Attaches to the host window; from then on the picture is drawn into it until Hide.
    void Create(SDL_Window* host);
    bool IsWindow() const { return m_host != nullptr; }
    void Show() { m_visible = true; }
    void Hide() { m_visible = false; }
    // Releases the buffers and detaches from the host.
    void Destroy();

    // Draws the state into the host window. `fadeStart` and `now` are milliseconds of one clock.
    // True when a fade still runs, so another paint is due.
    bool OnPaint(SplashState state, uint32_t fadeStart, uint32_t now, SplashLog& log);

    // The colour's alpha, 255 = only the colour, at `elapsed` ms into a fade of `fadeTime` ms;
    // not clamped. A fade of 0 ms (or less) is over at once.
    static int FadeAlpha(SplashState state, uint32_t elapsed, int fadeTime);
    // The colour drawn over an ARGB8888 pixel with constant alpha.
    static uint32_t BlendPixel(uint32_t picture, SplashColor color, int alpha);

    int BufferWidth() const { return m_bufferW; }
    int BufferHeight() const { return m_bufferH; }

private:
    bool CreateBuffers(int w, int h);
    void FreeBuffers();

    SurfacePtr m_picture;
    const SplashSettings* m_settings = nullptr;
    int m_bufferW = 0;
    int m_bufferH = 0;
    SplashColor m_fadeColor = 0;
    SurfacePtr m_pictureBuffer; // the picture stretched to the buffer size
    SurfacePtr m_frameBuffer;   // picture and colour blended
    SDL_Window* m_host = nullptr;
    bool m_visible = false;
};

} // namespace QuillonSplash
