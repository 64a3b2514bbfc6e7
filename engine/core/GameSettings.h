#pragma once

#include <cstdint>

#include "engine/core/strings/EngineString.h"

namespace QuillEngine {

// Start-up settings, filled by the game's entry point and copied into the engine.
struct GameSettings {
    String Title;              // may be a string-table reference ("|12|")
    int32_t IconId = 0;        // 0: no icon
    String CommandLine;        // without the program name
    void* Instance = nullptr;  // unused here: there is one program image
    uintptr_t HostWindow = 0;  // 0: the engine makes its own window
    int32_t Width = 0;
    int32_t Height = 0;
    uint8_t AllowFullscreen = 0;   // 0: always windowed, whatever the preferences say
};

// The system preferences, in their stored order.
struct SystemPrefs {
    uint8_t Fullscreen = 0;
    uint8_t AudioEnabled = 1;
    uint8_t SoftwareDevice = 0;
    uint8_t AutoDetectSoftware = 0;
};

} // namespace QuillEngine
