#include "platform/window/SystemCursor.h"

#include <SDL.h>

namespace QuillPlatform {

void RestoreSystemCursor()
{
    if (!SDL_WasInit(SDL_INIT_VIDEO))
        return;
    SDL_SetCursor(SDL_GetDefaultCursor());
    // Warping the pointer to where it already is makes the window system redraw it now.
    if (SDL_Window* focus = SDL_GetMouseFocus()) {
        int x = 0, y = 0;
        SDL_GetMouseState(&x, &y);
        SDL_WarpMouseInWindow(focus, x, y);
    }
}

} // namespace QuillPlatform
