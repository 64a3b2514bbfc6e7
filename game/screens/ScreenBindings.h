#pragma once
// The screen manager's script globals: "CloseAndSave", "CloseAndCancel" and "ScreenEvent". They
// are bound while this object lives and removed when it goes, since scripts outlive the manager.

#include <string_view>

namespace QuillEngine {
class LuaMgr;
} // namespace QuillEngine

#include "engine/core/strings/EngineString.h"

// What the script globals call: the screen manager's closes and events.
class IScreenCalls {
public:
    virtual bool Close(const QuillEngine::String& name, bool save) = 0;
    virtual void ScreenEvent(const QuillEngine::String& event, const QuillEngine::String& argument) = 0;

protected:
    ~IScreenCalls() = default;
};

class ScreenBindings {
public:
    // Binds the globals into `lua`'s state; nothing when there is no manager or state.
    ScreenBindings(IScreenCalls& screens, QuillEngine::LuaMgr* lua);
    ~ScreenBindings();
    ScreenBindings(const ScreenBindings&) = delete;
    ScreenBindings& operator=(const ScreenBindings&) = delete;

    bool IsBound() const { return m_bound; }

private:
    void CloseAndSave(std::string_view name);
    void CloseAndCancel(std::string_view name);
    void ScreenEvent(std::string_view event, std::string_view argument);

    IScreenCalls& m_screens;
    QuillEngine::LuaMgr* m_lua;
    bool m_bound = false;
};
