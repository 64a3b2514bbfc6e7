#include "platform/window/WindowSurface.h"

#include <SDL.h>

#include "platform/system/GraphicsDriver.h"
#include "platform/window/Window.h"

namespace QuillPlatform {

void FillWindow(Window& window, uint32_t argb)
{
    auto* w = static_cast<SDL_Window*>(window.NativeHandle());
    if (!w)
        return;
    SDL_Surface* s = SDL_GetWindowSurface(w);
    KeepGraphicsDriverLoaded();
    if (!s)
        return;
    SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, (argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF));
    SDL_UpdateWindowSurface(w);
}

} // namespace QuillPlatform
