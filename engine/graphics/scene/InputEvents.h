#pragma once
// The input records: the window makes one for each button press or release and each key, and the
// dispatcher hands it to the listeners. A record carries everything about its own moment (where
// the pointer was, which modifiers were held), so nothing is read back from an earlier message.
// Pointer moves are not events here; they only change which movies are hovered.

#include <cstdint>

namespace QuillEngine {

class Event_Base {
public:
    enum Type : int32_t { Type_ButtonDown = 0, Type_ButtonUp = 1, Type_KeyDown = 2, Type_KeyUp = 3 };

    explicit Event_Base(int32_t type) : type(type) {}
    virtual ~Event_Base() = default;

    int32_t type;
};

class Event_Mouse : public Event_Base {
public:
    enum Button : int32_t { Button_Left = 0, Button_Right = 1, Button_Middle = 2 };

    explicit Event_Mouse(int32_t type) : Event_Base(type) {}
    Event_Mouse(int32_t type, int32_t button, int32_t x, int32_t y, bool ctrl = false, bool shift = false)
        : Event_Base(type), x(x), y(y), ctrl(ctrl ? 1 : 0), shift(shift ? 1 : 0), button(button)
    {
    }

    // Button states after this event; the dispatcher sets them from its own button state.
    uint8_t left = 0, right = 0, middle = 0;
    // Client pixels where the button went down or up.
    int32_t x = 0, y = 0;
    uint8_t ctrl = 0, shift = 0;
    int32_t button = Button_Left;
};

class Event_Key : public Event_Base {
public:
    Event_Key(int32_t type, uint16_t key) : Event_Base(type), key(key) {}

    // Virtual-key code.
    uint16_t key;
};

class IEventListener {
public:
    // Sees every button and key event before any instance does. The listener may add or remove
    // listeners (itself included) from here.
    virtual void HandleEvent(Event_Base& event) = 0;
    virtual ~IEventListener() = default;
};

} // namespace QuillEngine
