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

} // namespace QuillPlatform
