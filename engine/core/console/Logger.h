#pragma once
// Debug-log settings: which categories are enabled and a text filter, changed by the "log."
// console commands. The game program writes no log output of its own.

#include <cstdint>

#include "engine/core/console/Console.h"
#include "engine/core/console/ConsoleCommands.h"
#include "engine/core/strings/EngineString.h"
#include "engine/core/Singleton.h"

namespace QuillEngine {

class Logger : public Singleton<Logger>, public IConsoleHandler {
public:
    static constexpr uint32_t kAllCategories = 0xFFFFFFFFu;

    Logger() = default;

    // Registers "log.enable", "log.enableall", "log.disable", "log.disableall", "log.filteron" and
    // "log.filteroff" with this logger as handler. False when they are registered there already
    // (nothing changes then) or a path was taken. The commands go with the logger, or with
    // UnregisterCommands on the console they were registered on.
    bool RegisterCommands(Console& console);
    void UnregisterCommands(Console& console);

    // The bits of a category name (ignoring case); 0 for an unknown name.
    static uint32_t CategoryBits(StringView name);

    uint32_t Mask() const { return m_mask; }
    const String& Filter() const { return m_filter; }
    bool IsEnabled(uint32_t bits) const { return (m_mask & bits) != 0; }

    void OnConsoleCommand(const std::vector<String>& arguments, const Handle& instance) override;

private:
    uint32_t m_mask = kAllCategories;
    String m_filter;
    ConsoleCommands m_commands;
};

} // namespace QuillEngine
