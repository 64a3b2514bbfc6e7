#pragma once
// The game's screen manager (the game owns it and hands it to the areas): owns the "dialogs" layer,
// the open screens (in opening order) and the screens waiting to be deleted; opens and closes
// screens by name and broadcasts screen events.
// Scripts reach it through the globals of ScreenBindings, the console through "screenmgr.show" and
// "screenmgr.hide".

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "engine/core/console/Console.h"
#include "engine/core/console/ConsoleCommands.h"
#include "engine/core/strings/EngineString.h"
#include "engine/graphics/scene/InstanceTree.h"
#include "game/screens/ScreenBindings.h"
#include "game/screens/UIScreen.h"

class IGameServices;
struct GameLinks;
class ScreenBindings;

class UIScreenMgr : public IScreenHost,
                    public IScreenCalls,
                    public QuillEngine::IInstanceEventHandler,
                    public QuillEngine::IConsoleHandler {
public:
    static constexpr uint32_t kKeyMainMenu = 77; // M

    // `services` may be null (no game around the screens).
    // Makes the screen of a name that has a class of its own; null for a plain screen.
    using ScreenMaker =
        std::function<std::unique_ptr<UIScreen>(IScreenHost& host, const QuillEngine::String& name, bool modal)>;

    explicit UIScreenMgr(IGameServices* services, QuillEngine::Console* console = nullptr);
    ~UIScreenMgr() override;
    UIScreenMgr(const UIScreenMgr&) = delete;
    UIScreenMgr& operator=(const UIScreenMgr&) = delete;

    // Opens a screen; false without a dialogs layer, or when its instance could not be made
    // (no such movie definition, or an instance of that name already under the layer).
    bool Show(const QuillEngine::String& name, bool modal) override;
    // Lists a screen made elsewhere (a derived dialog); false, and the screen is freed, when it
    // got no instance.
    bool Open(std::unique_ptr<UIScreen> screen) override;
    // Closes the first open screen of that name; it is deleted at the next Update.
    bool Close(const QuillEngine::String& name, bool save) override;
    void ScreenEvent(const QuillEngine::String& event, const QuillEngine::String& argument) override;
    void CallInScreen(const QuillEngine::String& screen, const QuillEngine::String& handler) override;
    bool IsOpen(const QuillEngine::String& name) const override;
    // An open screen takes the keyboard for itself (UIScreen::TakesKeyboard).
    bool KeyboardTaken() const;
    // A modal screen is open.
    bool ModalOpen() const;
    UIScreen* FindScreen(const QuillEngine::String& name) const override;

    // Deletes the closed screens, then updates every open one (screens opened meanwhile included).
    void Update();

    // The maker of the screens with a class of their own (by `Show` and by the main-menu key).
    void SetScreenMaker(ScreenMaker maker) { m_maker = std::move(maker); }

    // IScreenHost
    IGameServices* Services() const override { return m_services; }
    const QuillEngine::InstanceHandle& DialogsLayer() const override { return m_dialogs; }
    size_t OpenCount() const { return m_open.size(); }
    size_t ClosingCount() const { return m_closing.size(); }

    // IInstanceEventHandler
    void OnLoad(const QuillEngine::InstanceHandle& handle) override;
    void OnKeyDown(const QuillEngine::InstanceHandle& handle, uint32_t key) override;
    // IConsoleHandler
    void OnConsoleCommand(const std::vector<QuillEngine::String>& arguments,
                          const QuillEngine::Handle& instance) override;

private:
    IGameServices* m_services;
    ScreenMaker m_maker;
    QuillEngine::ConsoleCommands m_commands;
    QuillEngine::InstanceHandle m_dialogs;
    QuillEngine::InstanceHandle m_dialogsCreated;
    std::vector<std::unique_ptr<UIScreen>> m_open;
    std::vector<std::unique_ptr<UIScreen>> m_closing;
    // Index of the screen being updated, so that closes during the pass keep it on track.
    ptrdiff_t m_updating = -1;
    std::unique_ptr<ScreenBindings> m_scriptGlobals;
};
