#pragma once
// Turns SDL events into window messages, the way the desktop's own message loop would deliver
// them: button states as MK_ flags, key-down auto-repeat bits, Alt+key as system keys, text as
// UTF-16 WM_CHAR units plus the control characters Backspace, Tab, Enter and Escape produce.

#include <vector>

#include <SDL.h>

#include "platform/window/WindowMessage.h"

namespace QuillPlatform {

class Window;

class SdlTranslator {
public:
    // Appends the messages for one event. `lookup` resolves SDL window ids (null: none).
    void Translate(const SDL_Event& ev, std::vector<WindowMessage>& out);

    uint64_t MouseFlags() const;

private:
    void Key(const SDL_KeyboardEvent& k, bool down, std::vector<WindowMessage>& out);

    uint32_t buttons_ = 0;   // MK_LBUTTON | MK_RBUTTON | MK_MBUTTON held
    bool shift_ = false;
    bool ctrl_ = false;
    bool alt_ = false;
};

} // namespace QuillPlatform
