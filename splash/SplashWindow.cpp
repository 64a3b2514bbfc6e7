#include "splash/SplashWindow.h"

#include <cstdlib>

#include "platform/system/GraphicsDriver.h"
#include "splash/SplashLog.h"

namespace QuillonSplash {

bool CSplashWindow::Load(const SplashSettings& settings)
{
    m_picture.reset();
    m_settings = &settings;
    m_picture = settings.IsQuillon ? MakeBuiltInPicture() : LoadPictureFile(settings.StaticPath);
    // The stretched copy belongs to the previous picture.
    FreeBuffers();
    if (m_picture)
        SDL_SetSurfaceBlendMode(m_picture.get(), SDL_BLENDMODE_NONE);
    return m_picture != nullptr;
}

void CSplashWindow::Create(SDL_Window* host)
{
    m_host = host;
    m_visible = false;
}

void CSplashWindow::Destroy()
{
    FreeBuffers();
    m_host = nullptr;
    m_visible = false;
}

bool CSplashWindow::CreateBuffers(int w, int h)
{
    FreeBuffers();
    m_pictureBuffer.reset(SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888));
    m_frameBuffer.reset(SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888));
    if (!m_pictureBuffer || !m_frameBuffer || !m_picture) {
        FreeBuffers();
        return false;
    }
    SDL_SetSurfaceBlendMode(m_frameBuffer.get(), SDL_BLENDMODE_NONE);
    SDL_SetSurfaceBlendMode(m_pictureBuffer.get(), SDL_BLENDMODE_NONE);
    SDL_BlitScaled(m_picture.get(), nullptr, m_pictureBuffer.get(), nullptr);
    m_bufferW = w;
    m_bufferH = h;
    return true;
}

void CSplashWindow::FreeBuffers()
{
    m_pictureBuffer.reset();
    m_frameBuffer.reset();
    m_bufferW = m_bufferH = 0;
}

int CSplashWindow::FadeAlpha(SplashState state, uint32_t elapsed, int fadeTime)
{
    const double done = fadeTime <= 0 ? 1.0 : double(elapsed) / double(fadeTime);
    return state == SplashState::FadingOut ? int(done * 255.0) : int((1.0 - done) * 255.0);
}

uint32_t CSplashWindow::BlendPixel(uint32_t picture, SplashColor color, int alpha)
{
    const uint32_t a = uint32_t(alpha), keep = 255u - a;
    // The colour value is 0x00BBGGRR, the pixel 0xAARRGGBB.
    const uint32_t cr = color & 0xFF, cg = (color >> 8) & 0xFF, cb = (color >> 16) & 0xFF;
    const uint32_t r = (((picture >> 16) & 0xFF) * keep + cr * a + 127) / 255;
    const uint32_t g = (((picture >> 8) & 0xFF) * keep + cg * a + 127) / 255;
    const uint32_t b = ((picture & 0xFF) * keep + cb * a + 127) / 255;
    return 0xFF000000u | (r << 16) | (g << 8) | b;
}

bool CSplashWindow::OnPaint(SplashState state, uint32_t fadeStart, uint32_t now, SplashLog& log)
{
    if (!m_host || !m_visible || !m_picture || !m_settings)
        return false;
    SDL_Surface* target = SDL_GetWindowSurface(m_host);
    QuillPlatform::KeepGraphicsDriverLoaded();
    if (!target)
        return false;
    const int w = target->w, h = target->h;
    if (w <= 0 || h <= 0)
        return false;

    if (state == SplashState::Shown) {
        if (w != m_bufferW || h != m_bufferH)
            CreateBuffers(w, h);
        if (m_pictureBuffer)
            SDL_BlitSurface(m_pictureBuffer.get(), nullptr, target, nullptr);
        SDL_UpdateWindowSurface(m_host);
        return false;
    }
    if (state != SplashState::FadingIn && state != SplashState::FadingOut)
        return false;
    if ((w != m_bufferW || h != m_bufferH) && !CreateBuffers(w, h))
        return false;

    const uint32_t elapsed = uint32_t(std::abs(int32_t(now - fadeStart)));
    const int fadeTime = m_settings->FadeTime;
    const int rawAlpha = FadeAlpha(state, elapsed, fadeTime);
    log.Write("[OnPaint] Now=%d; Start=%d; Elapsed=%d; Alpha=%d; state=%d", int(now), int(fadeStart), int(elapsed),
              rawAlpha, int(state));
    const int alpha = rawAlpha < 0 ? 0 : rawAlpha > 255 ? 255 : rawAlpha;

    SDL_Surface* pic = m_pictureBuffer.get();
    SDL_Surface* frame = m_frameBuffer.get();
    for (int y = 0; y < h; ++y) {
        const auto* src = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(pic->pixels) +
                                                            size_t(y) * size_t(pic->pitch));
        auto* dst =
            reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(frame->pixels) + size_t(y) * size_t(frame->pitch));
        for (int x = 0; x < w; ++x)
            dst[x] = BlendPixel(src[x], m_fadeColor, alpha);
    }
    SDL_BlitSurface(frame, nullptr, target, nullptr);
    SDL_UpdateWindowSurface(m_host);
    return fadeTime > 0 && elapsed < uint32_t(fadeTime);
}

} // namespace QuillonSplash
