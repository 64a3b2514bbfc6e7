#pragma once
// Input dispatch and the root movie, as the engine object and the window reach them.
//
// Seam: a null dispatcher until the instance tree and input dispatch land. It keeps the
// logical screen size, the pressed buttons and the hover position, which the window and
// engine code rely on, and drops the events themselves. It already owns the definition
// library that the scene will make its instances from.

#include <cstdint>
#include <memory>

#include "engine/core/Singleton.h"
#include "engine/graphics/DefinitionLibrary.h"

namespace QuillEngine {

class UserInterface : public Singleton<UserInterface> {
public:
    UserInterface() = default;

    bool CreateRoot()
    {
        library_ = std::make_unique<DefinitionLibrary>();
        return true;
    }
    DefinitionLibrary* GetDefinitionLibrary() const { return library_.get(); }
    void SetScreenSize(int32_t width, int32_t height)
    {
        screenWidth_ = width;
        screenHeight_ = height;
    }
    int32_t ScreenWidth() const { return screenWidth_; }
    int32_t ScreenHeight() const { return screenHeight_; }

    void Update() { ++updates_; }
    // Seam: draws the instance tree once it exists; the renderer calls it inside each frame's scene.
    void Render() { ++renders_; }
    uint64_t Renders() const { return renders_; }
    void OnMouseMove(int32_t x, int32_t y)
    {
        mouseX_ = x;
        mouseY_ = y;
    }
    void OnMouseDown(int32_t button, uint64_t /*keyFlags*/) { buttons_ |= 1u << button; }
    void OnMouseUp(int32_t button, uint64_t /*keyFlags*/) { buttons_ &= ~(1u << button); }
    void OnKeyDown(uint64_t /*key*/) {}
    void OnKeyUp(uint64_t /*key*/) {}
    void OnChar(uint64_t /*ch*/) {}
    void ReleaseButtons() { buttons_ = 0; }
    void ShowSystemCursor() {}

    uint32_t ButtonsDown() const { return buttons_; }
    int32_t MouseX() const { return mouseX_; }
    int32_t MouseY() const { return mouseY_; }
    bool ButtonDown(int32_t button) const { return button >= 0 && button < 32 && ((buttons_ >> button) & 1u) != 0; }
    uint64_t Updates() const { return updates_; }

private:
    std::unique_ptr<DefinitionLibrary> library_;
    int32_t screenWidth_ = 0, screenHeight_ = 0;
    int32_t mouseX_ = 0, mouseY_ = 0;
    uint32_t buttons_ = 0;
    uint64_t updates_ = 0;
    uint64_t renders_ = 0;
};

} // namespace QuillEngine
