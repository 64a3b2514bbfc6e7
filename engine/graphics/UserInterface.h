#pragma once
// Input dispatch and the root movie, as the engine object and the window reach them.
//
// The UserInterface owns the instance tree's root movie "root" and the handle table that names
// every instance, registers and releases instances, steps the tree once per fixed step and once
// more per rendered frame before drawing it.
//
// Seam: input dispatch is still a null dispatcher until it lands. It keeps the logical screen
// size, the pressed buttons and the pointer position, which the window and engine code rely on,
// and drops the events themselves. It owns the definition library that instances are made from.

#include <cstdint>
#include <memory>

#include "engine/core/HandleTable.h"
#include "engine/core/Singleton.h"
#include "engine/graphics/DefinitionLibrary.h"
#include "engine/graphics/InstanceTree.h"

namespace QuillEngine {

class Instance_Base;
class Instance_Movie;

class UserInterface : public Singleton<UserInterface> {
public:
    UserInterface();
    ~UserInterface();

    // Makes the definition library and the root movie "root". False when a root already exists.
    bool CreateRoot();
    DefinitionLibrary* GetDefinitionLibrary() const { return library_.get(); }
    Instance_Movie* GetRoot() const { return root_.get(); }
    InstanceHandle GetRootHandle() const;

    void SetScreenSize(int32_t width, int32_t height)
    {
        screenWidth_ = width;
        screenHeight_ = height;
    }
    int32_t ScreenWidth() const { return screenWidth_; }
    int32_t ScreenHeight() const { return screenHeight_; }

    // Issues the instance's own handle (for a movie also its handler handle) and counts it.
    InstanceHandle RegisterInstance(Instance_Base* instance);
    // Releases the instance's own handle when it still names this instance; every instance gets
    // here once (a movie when it is marked for deletion, any other from its destructor), later
    // calls change nothing.
    void ReleaseInstance(Instance_Base* instance);
    int32_t GetInstanceCount() const { return instanceCount_; }
    HandleTable& GetHandleTable() { return handles_; }

    // One fixed step: the root's update.
    void Update();
    // Once per rendered frame, inside the scene: one more update of the root, then the tree is
    // drawn through the quad batcher.
    void Render();
    uint64_t Renders() const { return renders_; }
    void OnMouseMove(int32_t x, int32_t y)
    {
        mouseX_ = x;
        mouseY_ = y;
    }
    int32_t MouseX() const { return mouseX_; }
    int32_t MouseY() const { return mouseY_; }
    void OnMouseDown(int32_t button, uint64_t /*keyFlags*/) { buttons_ |= 1u << button; }
    void OnMouseUp(int32_t button, uint64_t /*keyFlags*/) { buttons_ &= ~(1u << button); }
    void OnKeyDown(uint64_t /*key*/) {}
    void OnKeyUp(uint64_t /*key*/) {}
    void OnChar(uint64_t /*ch*/) {}
    void ReleaseButtons() { buttons_ = 0; }
    void ShowSystemCursor() {}

    uint32_t ButtonsDown() const { return buttons_; }
    // Button 0 left, 1 right, 2 middle.
    bool ButtonDown(int32_t button) const { return button >= 0 && button < 32 && ((buttons_ >> button) & 1u) != 0; }
    uint64_t Updates() const { return updates_; }

private:
    // Declared first, so that it outlives every instance that holds a handle into it.
    HandleTable handles_;
    std::unique_ptr<DefinitionLibrary> library_;
    std::unique_ptr<Instance_Movie> root_;
    int32_t instanceCount_ = 0;
    int32_t screenWidth_ = 0, screenHeight_ = 0;
    int32_t mouseX_ = 0, mouseY_ = 0;
    uint32_t buttons_ = 0;
    uint64_t updates_ = 0;
    uint64_t renders_ = 0;
};

} // namespace QuillEngine
