#pragma once
// QuillonSplash: shows the splash screens listed in "Splash.ini" (beside the library) inside a
// window that the caller owns, and returns when they are done.
//
// The caller passes its native window: the X11 window id, as a pointer-sized unsigned integer
// (the way a window handle is passed), so a host written with any toolkit can call it; the
// library needs none of the host's libraries. The window is wrapped for the length of the call
// (SDL_CreateWindowFrom) and the splashes are painted into it; a host that draws with OpenGL
// calls ShowSplash before it sets that up. The call brings up SDL's video subsystem itself (or
// shares the host's, when the host uses SDL) and runs its own event loop on the caller's thread:
// events for the window that arrive during the call are consumed by it (size changes are
// followed, a left-button release skips to the fade-out, a quit request ends the call). The call
// is not re-entrant. A window id of 0, one that names no window (the window was destroyed), or
// one that cannot be wrapped shows nothing (result 1); the host process goes on.
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

#include <stdint.h>

__attribute__((visibility("default"))) int ShowSplash(uintptr_t hostWindow);

#ifdef __cplusplus
}
#endif
