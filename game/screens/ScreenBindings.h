#pragma once
// The screen manager's script globals: "CloseAndSave", "CloseAndCancel" and "ScreenEvent". They
// are bound while this object lives and removed when it goes, since scripts outlive the manager.

#include <string_view>

namespace QuillEngine {
class LuaMgr;
} // namespace QuillEngine

class UIScreenMgr;

class ScreenBindings {
public:
    // Binds the globals into `lua`'s state; nothing when there is no manager or state.
    ScreenBindings(UIScreenMgr& screens, QuillEngine::LuaMgr* lua);
    ~ScreenBindings();
    ScreenBindings(const ScreenBindings&) = delete;
    ScreenBindings& operator=(const ScreenBindings&) = delete;

    bool IsBound() const { return m_bound; }

private:
    void CloseAndSave(std::string_view name);
    void CloseAndCancel(std::string_view name);
    void ScreenEvent(std::string_view event, std::string_view argument);

    UIScreenMgr& m_screens;
    QuillEngine::LuaMgr* m_lua;
    bool m_bound = false;
};
