#include "engine/core/console/ConsoleCommands.h"

#include <utility>

namespace QuillEngine {

ConsoleCommands::ConsoleCommands(Console& console, IConsoleHandler& handler,
                                 std::span<const ConsoleCommandEntry> commands)
{
    Register(console, handler, commands);
}

ConsoleCommands::~ConsoleCommands()
{
    Unregister();
}

ConsoleCommands::ConsoleCommands(ConsoleCommands&& other) noexcept
    : m_console(std::exchange(other.m_console, nullptr)), m_paths(std::move(other.m_paths))
{
    other.m_paths.clear();
}

ConsoleCommands& ConsoleCommands::operator=(ConsoleCommands&& other) noexcept
{
    if (this != &other) {
        Unregister();
        m_console = std::exchange(other.m_console, nullptr);
        m_paths = std::move(other.m_paths);
        other.m_paths.clear();
    }
    return *this;
}

bool ConsoleCommands::Register(Console& console, IConsoleHandler& handler,
                               std::span<const ConsoleCommandEntry> commands)
{
    Unregister();
    m_console = &console;
    bool all = true;
    for (const ConsoleCommandEntry& command : commands) {
        if (console.RegisterCommand(command.path, command.paramCount, &handler))
            m_paths.emplace_back(command.path);
        else
            all = false;
    }
    return all;
}

void ConsoleCommands::Unregister()
{
    if (m_console) {
        for (const String& path : m_paths)
            m_console->UnregisterCommand(path);
    }
    Forget();
}

void ConsoleCommands::Forget()
{
    m_console = nullptr;
    m_paths.clear();
}

} // namespace QuillEngine
