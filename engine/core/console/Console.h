#pragma once
// The engine's command interpreter: commands registered under dotted names ("audio.playsound")
// with a parameter count and a handler. A command line is split at blanks into at most
// paramCount + 1 pieces, the last piece holding the rest of the line.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "engine/core/strings/EngineString.h"
#include "engine/core/Handle.h"

namespace QuillEngine {

class IConsoleHandler {
public:
    virtual ~IConsoleHandler() = default;
    // `arguments[0]` is the command as typed (or the instance command's name); the others are its
    // parameters. `instance` names the target of an instance command and is empty otherwise.
    virtual void OnConsoleCommand(const std::vector<String>& arguments, const Handle& instance) = 0;
};

struct ConsoleFunction {
    String name;
    int32_t paramCount = 0;
    IConsoleHandler* handler = nullptr; // not owned
    bool flag = false;
};

struct ConsoleNamespace {
    String name;
    std::map<String, ConsoleNamespace> children;
    std::map<String, ConsoleFunction> functions;
};

struct InstanceCommand {
    String name;
    int32_t paramCount = 0;
    IConsoleHandler* handler = nullptr;
    bool imagesOnly = false;
};

// What the console needs from the scene (instance paths below the root movie); the instance
// commands of the graphics layer provide it, so the console stays below graphics. Without a link,
// no line names an instance.
class IConsoleSceneLink {
public:
    virtual ~IConsoleSceneLink() = default;
    // The live instance at a dotted path below the root, or an empty handle.
    virtual Handle FindInstance(StringView path) = 0;
    virtual bool IsImage(const Handle& instance) = 0;
    // The full path of an instance whose path begins with `word`.
    virtual bool CompleteInstancePath(StringView word, String& fullPath) = 0;
    // The path of a child of `parent` whose name begins with `partial`.
    virtual bool CompleteChildPath(const Handle& parent, StringView partial, String& childPath) = 0;
};

class Console : public IConsoleHandler {
public:
    static constexpr size_t kHistoryLimit = 40;
    static constexpr size_t kOutputLimit = 4096;
    static constexpr char16_t kCursorSign = u'|';

    // Registers "exit" (0 parameters) and "echo" (1) with the console itself as handler.
    Console();
    ~Console() override;
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // False for an empty path, a null handler, a negative parameter count, an empty piece
    // ("a..b") or a name registered already (the first registration stays).
    bool RegisterCommand(StringView path, int32_t paramCount, IConsoleHandler* handler);
    void UnregisterCommand(StringView path);
    // The namespace that holds the function named by the last piece of `path`, or null.
    ConsoleNamespace* FindNamespace(StringView path, String& functionName);

    // Runs a command line; errors are printed as output lines. `fromInput` marks a line typed
    // into the input line: it clears the input and enters the history.
    void Execute(StringView line, bool fromInput);
    void PrintLine(StringView text);

    void AddInstanceCommand(InstanceCommand command);

    // The input line: its text with the cursor sign at the cursor index.
    const String& InputLine() const { return m_input; }
    int CursorIndex() const { return m_cursor; }
    void ClearInput();
    // Replaces the input text; the cursor goes to its end.
    void SetInput(StringView text);
    // Recomputes the completion suggestion for the input line.
    void Complete();
    const String& Completion() const { return m_completion; }

    const std::deque<String>& History() const { return m_history; }
    const std::vector<String>& Output() const { return m_output; }

    // Seams filled by the engine object: "exit" asks it to quit; a command that reached a
    // namespace asks the renderer for a full redraw.
    void SetQuitRequest(std::function<void()> quit) { m_quit = std::move(quit); }
    void SetRedrawRequest(std::function<void()> redraw) { m_redraw = std::move(redraw); }
    void SetSceneLink(IConsoleSceneLink* link) { m_scene = link; }

    void OnConsoleCommand(const std::vector<String>& arguments, const Handle& instance) override;

private:
    String InputText() const;
    bool RunInstanceCommand(StringView line, StringView prefix, StringView functionName);
    String CompleteWord(StringView text, StringView word);

    String m_completion;
    String m_input;
    int m_cursor = -1;
    std::deque<String> m_history;
    std::vector<String> m_output;
    std::vector<InstanceCommand> m_instanceCommands;
    std::unique_ptr<ConsoleNamespace> m_root;
    IConsoleSceneLink* m_scene = nullptr;
    std::function<void()> m_quit;
    std::function<void()> m_redraw;
};

// The "Log" page of the console overlay: the newest output lines over a half-transparent black
// rectangle. The overlay draws what Layout places.
class ConsolePrintBuffer {
public:
    static constexpr uint32_t kBackgroundColour = 0x80000000;
    static constexpr uint32_t kTextColour = 0xFFFFFFFF;
    static constexpr int kTextSize = 10;
    static constexpr size_t kMaxLines = 25;

    struct Line {
        const String* text;
        float x;
        float y;
    };

    explicit ConsolePrintBuffer(const Console& console) : m_console(console) {}
    static const char16_t* Title() { return u"Log"; }
    static bool TakesInput() { return false; }
    // Line i (0 = newest) goes to (left, bottom - 20 i - 30). Returns how many lines were placed.
    size_t Layout(float left, float bottom, Line (&out)[kMaxLines]) const;

private:
    const Console& m_console;
};

} // namespace QuillEngine
