#pragma once
// The instance tree's owner and the router of keyboard and mouse input.
//
// The UserInterface owns the instance tree's root movie "root" and the handle table that names
// every instance, registers and releases instances, steps the tree once per fixed step and once
// more per rendered frame before drawing it. It owns the definition library that instances are
// made from.
//
// Input: button presses and releases and key events go first to the registered IEventListener
// objects, then to the movies under the pointer (presses and releases) or to the global key
// handlers (keys). Pointer moves only update the hover state: which movies are under the pointer,
// topmost first, with enter / leave / over calls to their handlers. Every list here holds
// handles, re-resolved at each use, so an instance deleted by any handler is simply skipped.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/HandleTable.h"
#include "engine/core/Singleton.h"
#include "engine/graphics/scene/DefinitionLibrary.h"
#include "engine/graphics/scene/InputEvents.h"
#include "engine/graphics/scene/InstanceTree.h"

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

    // A fixed step updates the root twice: Update before the game's own update, FinishStep after
    // it. FinishStep also moves the cursor instance to the pointer and lays the overlay out. Every
    // step runs both, whether or not a frame is drawn after it, so timelines, OnUpdate scripts and
    // emitters advance the same in every step and the overlay's changes are seen before the main
    // loop decides whether to draw.
    void Update();
    void FinishStep();
    // Once per drawn frame, inside the scene: draws the tree through the quad batcher, then the
    // overlay. Drawing changes nothing in the scene.
    void Render();
    uint64_t Renders() const { return renders_; }

    // --- input entry points (window thread, engine lock held) ---
    // Client coordinates of the pointer.
    void OnMouseMove(int32_t x, int32_t y);
    int32_t MouseX() const { return mouseX_; }
    int32_t MouseY() const { return mouseY_; }
    // A press or release of `event.button` (0 left, 1 right, 2 middle) at the event's own point,
    // which becomes the pointer position: the hit test is made there, whatever moves came before.
    // The listeners get a copy with the button states after the event filled in. A press of a
    // button already down and a release of a button not down are ignored.
    void OnMouseDown(const Event_Mouse& event);
    void OnMouseUp(const Event_Mouse& event);
    // A key record: Type_KeyDown or Type_KeyUp with its virtual-key code.
    void OnKey(const Event_Key& event);
    void OnKeyDown(uint16_t key) { OnKey(Event_Key(Event_Base::Type_KeyDown, key)); }
    void OnKeyUp(uint16_t key) { OnKey(Event_Key(Event_Base::Type_KeyUp, key)); }
    // A character typed (UTF-16 code unit or code point), for the global handlers only.
    void OnChar(uint32_t ch);
    // Mouse capture is lost (deactivation, minimising): releases the buttons still down, left,
    // right, middle in that order.
    void ReleaseButtons();
    // The pointer left the window: every hovered movie is left, the system cursor comes back.
    void ShowSystemCursor();

    uint32_t ButtonsDown() const { return buttons_; }
    // Button 0 left, 1 right, 2 middle.
    bool ButtonDown(int32_t button) const { return button >= 0 && button < 32 && ((buttons_ >> button) & 1u) != 0; }

    // Listeners are not owned; no duplicates. Either call may come from inside HandleEvent: a
    // listener removed there gets no further event, one added there gets the next event.
    void AddEventListener(IEventListener* listener);
    void RemoveEventListener(IEventListener* listener);
    // Movies that receive every key event; no duplicates. Handles that stop resolving are dropped
    // at the next key event.
    void AddGlobalHandler(const InstanceHandle& handle);
    void RemoveGlobalHandler(const InstanceHandle& handle);
    const std::vector<InstanceHandle>& GlobalHandlers() const { return globalHandlers_; }

    // Movies under the pointer, topmost first, as of the last pointer event.
    const std::vector<InstanceHandle>& HoverList() const { return hoverList_; }
    // Movies that were pressed with that button and then left by the pointer.
    const std::vector<InstanceHandle>& OutsideList(int32_t button) const { return outside_[ClampButton(button)]; }
    // Recomputes the hover state; `noHitTest` treats the pointer as over nothing.
    void UpdateHover(bool noHitTest);

    // The instance drawn as the pointer; an empty handle goes back to the system cursor.
    void SetCursorInstance(const InstanceHandle& handle)
    {
        cursorInstance_ = handle;
        customCursor_ = !handle.IsEmpty();
    }
    const InstanceHandle& GetCursorInstance() const { return cursorInstance_; }
    // Whether the engine configuration allows a custom cursor (its "HasCustomCursor" element).
    void SetCustomCursorAllowed(bool allowed) { customCursorAllowed_ = allowed; }
    bool PointerInside() const { return pointerInside_; }
    int32_t SystemCursorCount() const { return systemCursorCount_; }
    // The platform's cursor display counter; replaceable for tests.
    using ShowCursorFunction = int32_t (*)(bool show);
    void SetShowCursorFunction(ShowCursorFunction function) { showCursor_ = function; }

    // The console overlay sees every press, key and character first and may take it; it draws
    // after the scene. Without one, nothing is taken.
    class IPressFilter {
    public:
        virtual ~IPressFilter() = default;
        virtual bool TakesPress(int32_t button, int32_t x, int32_t y) = 0;
    };
    void SetPressFilter(IPressFilter* filter) { pressFilter_ = filter; }
    class IKeyFilter {
    public:
        virtual ~IKeyFilter() = default;
        virtual bool TakesKey(uint32_t key, bool down) = 0;
        virtual bool TakesChar(uint32_t ch) = 0;
    };
    void SetKeyFilter(IKeyFilter* filter) { keyFilter_ = filter; }
    class IOverlayDrawer {
    public:
        virtual ~IOverlayDrawer() = default;
        // At the end of each step: what the next frame would show, into a canvas the renderer
        // watches for changes like any other.
        virtual void LayOutOverlay() = 0;
        virtual void DrawOverlay() = 0;
    };
    void SetOverlayDrawer(IOverlayDrawer* drawer) { overlayDrawer_ = drawer; }

    // Ctrl+right-click inspects each hovered, input-enabled movie instead of pressing it; the
    // engine object installs the instance commands' printer.
    void SetInspector(std::function<void(const InstanceHandle&)> inspector) { inspector_ = std::move(inspector); }

    // The script side of the instances, installed by the engine object: the handlers of a movie's
    // own script table ("OnMouseEnter", "OnLeftMouseDown", "OnKeyDown"...), and each instance's
    // script table, made when the instance is registered and unhooked when it is released.
    // Without one no script handler runs. Calls are made only for handles that resolve.
    class IScriptHandlers {
    public:
        virtual ~IScriptHandlers() = default;
        // The instance has its name, parent and own handle; its parent was registered before it.
        virtual void OnInstanceRegistered(Instance_Base& /*instance*/) {}
        // The instance's handle no longer resolves; it may be partly destroyed (only the
        // Instance_Base part is safe to use).
        virtual void OnInstanceReleased(Instance_Base& /*instance*/) {}
        virtual void Call(const InstanceHandle& movie, const char* handler) = 0;
        // `text` is in the ANSI code page.
        virtual void Call(const InstanceHandle& movie, const char* handler, const std::string& text) = 0;
        virtual void Call(const InstanceHandle& movie, const char* handler, double number) = 0;
    };
    void SetScriptHandlers(IScriptHandlers* scripts) { scripts_ = scripts; }
    IScriptHandlers* GetScriptHandlers() const { return scripts_; }

    uint64_t Updates() const { return updates_; }

private:
    // Declared first, so that it outlives every instance that holds a handle into it.
    HandleTable handles_;
    std::unique_ptr<DefinitionLibrary> library_;
    std::unique_ptr<Instance_Movie> root_;
    int32_t instanceCount_ = 0;
    int32_t screenWidth_ = 0, screenHeight_ = 0;
    static constexpr int32_t kButtons = 3;
    static int32_t ClampButton(int32_t button) { return button < 0 || button >= kButtons ? 0 : button; }

    void NotifyListeners(Event_Base& event);
    // Takes the event's point as the pointer position and runs the hover update for it.
    void MoveToEvent(const Event_Mouse& event, bool press);
    void FillButtonStates(Event_Mouse& event) const;
    void KeyDown(Event_Key& event);
    void KeyUp(Event_Key& event);
    // Runs the handler of a movie's script table when the handle still resolves.
    template <typename... Args> void CallScript(const InstanceHandle& movie, const char* handler, const Args&... args);
    void UpdateSystemCursor();
    void PruneGlobalHandlers();

    int32_t mouseX_ = 0, mouseY_ = 0;
    uint32_t buttons_ = 0;

    std::vector<IEventListener*> listeners_;
    std::vector<InstanceHandle> globalHandlers_;
    // The last hit test, topmost first; scratch reused from event to event.
    std::vector<InstanceHandle> hitList_;
    std::vector<InstanceHandle> hoverList_;
    // Spare storage swapped with the hover list while it is rebuilt.
    std::vector<InstanceHandle> hoverSpare_;
    // Per button: the movies that received its press, and those of them the pointer has left.
    std::array<std::vector<InstanceHandle>, kButtons> pressed_;
    std::array<std::vector<InstanceHandle>, kButtons> outside_;
    bool updatingHover_ = false;

    InstanceHandle cursorInstance_;
    bool pointerInside_ = false;
    bool pointerGone_ = false;
    bool customCursor_ = false;
    bool customCursorAllowed_ = false;
    int32_t systemCursorCount_ = 0;
    ShowCursorFunction showCursor_;

    IPressFilter* pressFilter_ = nullptr;
    IKeyFilter* keyFilter_ = nullptr;
    IOverlayDrawer* overlayDrawer_ = nullptr;
    std::function<void(const InstanceHandle&)> inspector_;
    IScriptHandlers* scripts_ = nullptr;
    uint64_t updates_ = 0;
    uint64_t renders_ = 0;
};

} // namespace QuillEngine
