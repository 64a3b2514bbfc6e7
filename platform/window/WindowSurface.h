#pragma once
#include <cstdint>

namespace QuillPlatform {

class Window;

// Fills the window's client area with one ARGB colour through SDL's window surface.
void FillWindow(Window& window, uint32_t argb);

} // namespace QuillPlatform
