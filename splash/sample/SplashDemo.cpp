// Opens a window and shows the splash screens of the Splash.ini beside QuillonSplash.
//   splash_demo                         show them; prints the result (0, 1 or 2)
//   splash_demo --write-picture FILE    write the sample picture (a BMP) and end

#include <SDL.h>
#include <SDL_syswm.h>
#include <cstdio>
#include <cstring>

#include "splash/staticsplash.h"

namespace {

int WritePicture(const char* path)
{
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, 400, 300, 32, SDL_PIXELFORMAT_ARGB8888);
    if (!s)
        return 1;
    for (int y = 0; y < s->h; ++y) {
        auto* row = reinterpret_cast<Uint32*>(static_cast<Uint8*>(s->pixels) + y * s->pitch);
        for (int x = 0; x < s->w; ++x) {
            // An evening sky: orange at the horizon, deep blue above, a dark hill below.
            const int hill = 230 + (x - 200) * (x - 200) / 800;
            const Uint32 r = y > hill ? 30 : Uint32(40 + y * 200 / 300);
            const Uint32 g = y > hill ? 40 : Uint32(30 + y * 90 / 300);
            const Uint32 b = y > hill ? 30 : Uint32(120 - y * 80 / 300);
            row[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
        }
    }
    const int rc = SDL_SaveBMP(s, path);
    SDL_FreeSurface(s);
    return rc == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--write-picture") == 0)
        return WritePicture(argv[2]);
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "splash_demo: %s\n", SDL_GetError());
        return 1;
    }
    SDL_Window* window =
        SDL_CreateWindow("Splash", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 800, 600, SDL_WINDOW_RESIZABLE);
    if (!window) {
        std::fprintf(stderr, "splash_demo: %s\n", SDL_GetError());
        SDL_Quit();
        return 1;
    }
    // The library takes the native window, as a host written with any toolkit would pass it.
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    uintptr_t native = 0;
    if (SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11)
        native = static_cast<uintptr_t>(info.info.x11.window);
    else
        std::fprintf(stderr, "splash_demo: the window is not an X11 window; nothing can be shown\n");
    const int result = ShowSplash(native);
    std::printf("ShowSplash returned %d\n", result);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
