#pragma once
// QuillonSplash: shows the splash screens listed in "Splash.ini" (beside the library) inside a
// window that the caller owns, and returns when they are done.
//
// The caller passes its SDL window. The splashes are drawn through the window's framebuffer
// surface (SDL_GetWindowSurface); a host that draws with OpenGL or an SDL renderer calls
// ShowSplash before it sets those up. The call runs its own SDL event loop on the caller's
// thread: the host's events that arrive during the call are consumed by it (window size changes
// are followed, a left-button release skips to the fade-out, SDL_QUIT ends the call and is not
// put back). SDL's video subsystem must be initialised. The call is not re-entrant.
//
// Results:
//   0  every section was shown (also when Splash.ini is missing or names no section);
//   1  a section could be shown neither as a movie nor as a picture (later sections are
//      skipped), or the call failed unexpectedly;
//   2  the event loop received SDL_QUIT; later sections are skipped.
//
// The library writes what it does to "QuillonSplash.log" in the current folder (UTF-16LE).

#ifdef __cplusplus
extern "C" {
#endif

struct SDL_Window;

__attribute__((visibility("default"))) int ShowSplash(struct SDL_Window* parent);

#ifdef __cplusplus
}
#endif
