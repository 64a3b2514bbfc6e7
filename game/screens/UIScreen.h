#pragma once
// A dialog or panel: a state machine bound to one movie instance of the same name, made under the
// screen manager's dialogs layer and driven by a script of the same name. State 0 until the
// instance has loaded, then 1 (derived screens add states of their own).
//
// Only the screen manager deletes a screen that it lists (after a Close, at its next update), so a
// script handler that closes its own screen finishes on a live object.

#include <cstdint>
#include <memory>

#include "engine/core/strings/EngineString.h"
#include "engine/graphics/scene/InstanceTree.h"
#include "game/states/StateMachine.h"

class IGameServices;
struct GameLinks;
class UIScreen;

// What a screen, and an area that opens screens, asks of the screen manager: the layer a screen's
// instance goes under, the game (null when there is none), and opening and closing screens by name.
// Each screen is handed its host at construction; the areas reach it through IGameServices.
class IScreenHost {
public:
    virtual const QuillEngine::InstanceHandle& DialogsLayer() const = 0;
    virtual IGameServices* Services() const = 0;
    // Opens a screen by name; lists a screen made elsewhere (see UIScreenMgr).
    virtual bool Show(const QuillEngine::String& name, bool modal) = 0;
    virtual bool Open(std::unique_ptr<UIScreen> screen) = 0;
    virtual bool Close(const QuillEngine::String& name, bool save) = 0;
    bool CloseAndSave(const QuillEngine::String& name) { return Close(name, true); }
    bool CloseAndCancel(const QuillEngine::String& name) { return Close(name, false); }
    virtual bool IsOpen(const QuillEngine::String& name) const = 0;
    virtual UIScreen* FindScreen(const QuillEngine::String& name) const = 0;
    virtual void CallInScreen(const QuillEngine::String& screen, const QuillEngine::String& handler) = 0;
    virtual void ScreenEvent(const QuillEngine::String& event, const QuillEngine::String& argument) = 0;

protected:
    ~IScreenHost() = default;
};

class UIScreen : public StateMachine, public QuillEngine::IInstanceEventHandler {
public:
    // The screen's instance is made under `host`'s dialogs layer; `host` outlives the screen.
    UIScreen(IScreenHost& host, QuillEngine::String name, bool modal);
    ~UIScreen() override;
    UIScreen(const UIScreen&) = delete;
    UIScreen& operator=(const UIScreen&) = delete;

    virtual void Update() { StateMachine::Update(); }
    virtual void Close(bool /*save*/) {}
    virtual void Init() { CallLuaEvent(u"Init"); }
    virtual void OnScreenEvent(const QuillEngine::String& /*event*/, const QuillEngine::String& /*argument*/) {}
    // True while the screen takes the keyboard for itself (a name being typed): the game's own
    // keys (pause, menu) are then left alone.
    virtual bool TakesKeyboard() const { return false; }

    // Runs the handler of that name in the instance's own script table; nothing when it has none.
    void CallLuaEvent(QuillEngine::StringView name);

    const QuillEngine::String& GetName() const { return m_name; }
    bool IsModal() const { return m_modal; }
    // Empty until the instance has loaded.
    const QuillEngine::InstanceHandle& GetInstance() const { return m_instance; }
    const QuillEngine::InstanceHandle& GetModalBackground() const { return m_modalBackground; }
    // The manager the screen was made for, never null.
    IScreenHost* Screens() const { return &m_host; }
    // The engine links of the host's game; links to nothing without a game.
    const GameLinks& Links() const;
    // Opens a plain modal screen (the menus' confirm, help and credits screens).
    bool ShowModalScreen(const QuillEngine::String& name) { return m_host.Show(name, true); }
    // The instance made at construction (before it has loaded); empty when none could be made, in
    // which case the screen is never listed.
    const QuillEngine::InstanceHandle& GetCreatedInstance() const { return m_created; }

    // IInstanceEventHandler (its per-step OnUpdate is not the state hook of that name)
    using QuillEngine::IInstanceEventHandler::OnUpdate;
    bool ConsumesMouse(const QuillEngine::InstanceHandle&) override { return m_modal; }
    void OnFrameChanged(const QuillEngine::InstanceHandle& handle) override;
    void OnLoad(const QuillEngine::InstanceHandle& handle) override;
    void OnMouseDown(const QuillEngine::InstanceHandle& handle, bool notLeft) override;
    void OnMouseEnter(const QuillEngine::InstanceHandle& handle) override;
    void OnMouseLeave(const QuillEngine::InstanceHandle& handle) override;
    void OnMouseUp(const QuillEngine::InstanceHandle& handle, bool notLeft) override;
    void OnMouseUpOutside(const QuillEngine::InstanceHandle& handle, bool notLeft) override;
    void OnTimelineStop(const QuillEngine::InstanceHandle& handle) override;

protected:
    void OnEnter(int32_t state) override;
    void OnExit(int32_t) override {}
    void OnUpdate(int32_t) override {}

private:
    bool IsOwnInstance(const QuillEngine::InstanceHandle& handle) const;
    void Forward(const QuillEngine::InstanceHandle& handle, const char16_t* event);

    IScreenHost& m_host;
    bool m_modal;
    QuillEngine::String m_name;
    QuillEngine::InstanceHandle m_instance;
    QuillEngine::InstanceHandle m_modalBackground;
    QuillEngine::InstanceHandle m_created;
};
