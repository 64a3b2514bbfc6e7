#include "engine/core/console/Logger.h"

#include "engine/core/strings/StringUtil.h"

namespace QuillEngine {

namespace {

struct Category {
    const char16_t* name;
    uint32_t bits;
};

constexpr Category kCategories[] = {
    {u"rendering", 0x2}, {u"resources", 0x4},     {u"time", 0x8},    {u"library", 0x20},    {u"event", 0x40},
    {u"fs", 0x80},       {u"xml", 0x100},         {u"audio", 0x400}, {u"Instances", 0x800}, {u"game", 0x1000},
    {u"lua", 0x2000},    {u"engine", 0xFFFFEFEE}, // every bit except "game", 0x1 and 0x10
};

constexpr ConsoleCommandEntry kCommands[] = {
    {u"log.enable", 1},     {u"log.enableall", 0}, {u"log.disable", 1},
    {u"log.disableall", 0}, {u"log.filteron", 1},  {u"log.filteroff", 0},
};

} // namespace

uint32_t Logger::CategoryBits(StringView name)
{
    for (const Category& c : kCategories)
        if (EqualsNoCase(name, c.name))
            return c.bits;
    return 0;
}

bool Logger::RegisterCommands(Console& console)
{
    if (m_commands.GetConsole() == &console)
        return false;
    return m_commands.Register(console, *this, kCommands);
}

void Logger::UnregisterCommands(Console& console)
{
    if (m_commands.GetConsole() == &console)
        m_commands.Unregister();
}

void Logger::OnConsoleCommand(const std::vector<String>& arguments, const Handle&)
{
    if (arguments.empty())
        return;
    // Commands without parameters receive the whole line as their one piece.
    StringView command = arguments[0];
    command = command.substr(0, command.find(u' '));
    const bool hasArgument = arguments.size() >= 2;

    if (command == u"log.enable" && hasArgument)
        m_mask |= CategoryBits(arguments[1]);
    else if (command == u"log.enableall")
        m_mask = kAllCategories;
    else if (command == u"log.disable" && hasArgument)
        m_mask &= ~CategoryBits(arguments[1]);
    else if (command == u"log.disableall")
        m_mask = 0;
    else if (command == u"log.filteron" && hasArgument)
        m_filter = arguments[1];
    else if (command == u"log.filteroff")
        m_filter.clear();
}

} // namespace QuillEngine
