#pragma once

namespace QuillEngine {

class EngineManager;

// Runs the start-up splash screens with a message loop of their own. Returns true when the
// quit message arrived while they showed.
//
// Seam: no splash screen is listed or shown until the engine splash screens land; the result
// is always "no quit".
bool RunSplashScreens(EngineManager& engine);

} // namespace QuillEngine
