#pragma once
// A table of console commands registered with one handler, unregistered when this object goes
// (or on Unregister). Only the commands this object registered are unregistered: a path that
// another handler held already stays with that handler.
//
// The console must outlive the registration. An owner that may see its console go first calls
// Forget, which drops the registration without touching the console.

#include "engine/core/console/Console.h"

#include <cstdint>
#include <span>
#include <vector>

namespace QuillEngine {

struct ConsoleCommandEntry {
    const char16_t* path;
    int32_t paramCount;
};

class ConsoleCommands {
public:
    ConsoleCommands() = default;
    ConsoleCommands(Console& console, IConsoleHandler& handler, std::span<const ConsoleCommandEntry> commands);
    ~ConsoleCommands();
    ConsoleCommands(const ConsoleCommands&) = delete;
    ConsoleCommands& operator=(const ConsoleCommands&) = delete;
    ConsoleCommands(ConsoleCommands&& other) noexcept;
    ConsoleCommands& operator=(ConsoleCommands&& other) noexcept;

    // Unregisters what this object holds, then registers `commands` on `console`. True when
    // every command was taken.
    bool Register(Console& console, IConsoleHandler& handler, std::span<const ConsoleCommandEntry> commands);
    void Unregister();
    // Drops the registration without calling the console (which may be gone).
    void Forget();

    // The console the commands were registered on, or null.
    Console* GetConsole() const { return m_console; }
    size_t Count() const { return m_paths.size(); }

private:
    Console* m_console = nullptr;
    std::vector<String> m_paths;
};

} // namespace QuillEngine
