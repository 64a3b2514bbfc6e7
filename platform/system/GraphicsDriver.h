#pragma once
// The system's graphics driver (Mesa loads it from its "dri" folder when SDL makes an OpenGL
// context or a window surface) stays loaded for the life of the process. Otherwise it is unloaded
// with the last context or window and loaded again with the next one — on every device change,
// the start-up probe, each splash — which costs time, and whatever the driver kept at that point
// can no longer be traced to it.

namespace QuillPlatform {

// Marks every loaded driver module, and every loaded module with thread-local storage, as never
// to be unloaded. Cheap; call after a context, window or window surface is made.
void KeepGraphicsDriverLoaded();

// Mesa's software rasteriser hands every draw to one thread per core and waits for them; our
// frames are many small draws, and that handing over cost more than the drawing (a glowing photo:
// about half a core with threads, a third without). This asks it to draw in the calling thread,
// unless the user chose otherwise. The driver reads it when it first opens a display, so call
// before anything that may load it; other drivers ignore it.
void PreferDrawingInTheCallingThread();

} // namespace QuillPlatform
