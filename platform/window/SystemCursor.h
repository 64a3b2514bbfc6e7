#pragma once
// The system's own pointer picture, as opposed to a cursor the display device draws.

namespace QuillPlatform {

// Puts the system's default arrow back and shows it at once where the pointer is, without
// waiting for the next pointer move. Does nothing while video is not initialised. Window thread.
void RestoreSystemCursor();

} // namespace QuillPlatform
