#pragma once
// Test support, not a player feature: puts synthetic device events into the same SDL event queue
// the message pump reads, so an injected click, key or close request takes the path a player's
// does (SDL event -> SdlTranslator -> window message -> the window's handler).
//
// Positions are logical picture coordinates; they are mapped out through the window's letterbox
// so that the pump maps them back to the same point. A press or release moves the pointer there
// first when it is elsewhere, as a real pointer must travel to where it clicks.
//
// What SDL keeps for direct queries (SDL_GetKeyboardState, SDL_GetMouseState) is not touched:
// only the event stream is.

#include <cstdint>
#include <string>

namespace QuillPlatform {

class Window;

class InjectedInput {
public:
    enum class Button { Left, Right, Middle };

    // The window gains the input focus (the desktop's activation of the program).
    static bool Focus(const Window& window);
    static bool MoveTo(const Window& window, int32_t x, int32_t y);
    static bool Press(const Window& window, Button button, bool down, int32_t x, int32_t y);
    // Key down, the text it types (a one-character name, or "Space"), key up.
    static bool TypeKey(const Window& window, const std::string& keyName);
    // The desktop asks the program to end: the close request every live window receives.
    static bool RequestQuit();

    // Whether SDL knows the key by this name ("Escape", "Return", "m", "F1", ...).
    static bool IsKeyName(const std::string& keyName);
    // Forgets the pointer position (the next press moves the pointer first).
    static void Reset();
};

} // namespace QuillPlatform
