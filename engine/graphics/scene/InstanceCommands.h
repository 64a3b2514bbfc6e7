#pragma once
// The developer commands every instance answers from the console ("setp", "inspect", "list"...),
// the inspection printout shared with Ctrl+right-click, and the link that makes instance paths
// ("root.hud.score.setp 10 20") reach them through the console's instance-command table.
//
// Commands never keep an instance across a call that may run game code: the console handler
// resolves the addressed handle when the command runs, so a command on an instance deleted
// since the line was typed (or by an earlier command) does nothing.

#include <cstdint>
#include <functional>
#include <vector>

#include "engine/core/console/Console.h"
#include "engine/core/strings/EngineString.h"
#include "engine/graphics/scene/InstanceTree.h"

namespace QuillEngine {

class Instance_Base;
class Instance_Movie;
class UserInterface;

using InstancePrint = std::function<void(StringView)>;

// Runs one command on an instance: words[0] is the command name (compared exactly), the others
// its arguments; a missing argument reads as an empty word (0 as a number). A movie answers the
// commands of every instance and then its own. Unknown names do nothing.
void OnInstanceConsoleCommand(Instance_Base& instance, const std::vector<String>& words, const InstancePrint& print);

// Two lines for every instance (path with kind, then opacity, position, scale, rotation and global
// bounds); a movie adds its frame, children and labels.
void DebugInspect(Instance_Base& instance, const InstancePrint& print);

// One line per child of `movie` in creation order, `count` increased by one for each; with
// `recursive` the children of child movies follow their parent's line.
void ListChildren(Instance_Movie& movie, StringView prefix, int32_t& count, bool recursive, const InstancePrint& print);

// Enters the instance commands into a console's instance-command table and answers the console's
// questions about instance paths ("root", "root.hud.score") below the UserInterface's root.
// The console must not run lines after this object is gone: the destructor unhooks the scene
// link, which makes the console skip its instance-command table.
class CInstanceCommands final : public IConsoleHandler, public IConsoleSceneLink {
public:
    struct Entry {
        const char16_t* name;
        int32_t paramCount;
    };
    static const std::vector<Entry>& Entries();

    CInstanceCommands(UserInterface& userInterface, Console& console);
    ~CInstanceCommands() override;
    CInstanceCommands(const CInstanceCommands&) = delete;
    CInstanceCommands& operator=(const CInstanceCommands&) = delete;

    // The printer for UserInterface::SetInspector.
    void Inspect(const InstanceHandle& handle);

    void OnConsoleCommand(const std::vector<String>& arguments, const Handle& instance) override;

    Handle FindInstance(StringView path) override;
    bool IsImage(const Handle& instance) override;
    bool CompleteInstancePath(StringView word, String& fullPath) override;
    bool CompleteChildPath(const Handle& parent, StringView partial, String& childPath) override;

private:
    void Print(StringView text) { m_console.PrintLine(text); }

    UserInterface& m_userInterface;
    Console& m_console;
    InstancePrint m_print;
};

} // namespace QuillEngine
