#include "engine/core/console/Console.h"

#include <string>

#include "engine/core/strings/StringUtil.h"

namespace QuillEngine {

namespace {

String ToText(int32_t value)
{
    return Widen(std::to_string(value));
}

// The dotted pieces of a command path; false when the path is empty or has an empty piece.
bool SplitPath(StringView path, std::vector<String>& pieces)
{
    pieces.clear();
    Tokenize(path, pieces, u'.', true, -1);
    if (pieces.empty())
        return false;
    for (const String& piece : pieces)
        if (piece.empty())
            return false;
    // Tokenize drops empty pieces before the first one; a leading dot is still a malformed path.
    for (char16_t ch : path) {
        if (ch == u'.')
            return false;
        if (!IsSpace(ch))
            break;
    }
    return true;
}

// The command line split at blanks into at most `maxCount` pieces, the last holding the rest of
// the line with its ends trimmed.
void SplitLine(StringView line, size_t maxCount, std::vector<String>& pieces)
{
    pieces.clear();
    Tokenize(line, pieces, u' ', true, static_cast<int>(maxCount));
    if (!pieces.empty()) {
        String& last = pieces.back();
        size_t end = last.size();
        while (end > 0 && IsSpace(last[end - 1]))
            --end;
        last.resize(end);
    }
}

} // namespace

Console::Console() : m_root(std::make_unique<ConsoleNamespace>())
{
    m_input.assign(1, kCursorSign);
    RegisterCommand(u"exit", 0, this);
    RegisterCommand(u"echo", 1, this);
}

Console::~Console() = default;

bool Console::RegisterCommand(StringView path, int32_t paramCount, IConsoleHandler* handler)
{
    std::vector<String> pieces;
    if (!handler || paramCount < 0 || !SplitPath(path, pieces))
        return false;
    ConsoleNamespace* ns = m_root.get();
    for (size_t i = 0; i + 1 < pieces.size(); ++i) {
        ConsoleNamespace& child = ns->children[pieces[i]];
        child.name = pieces[i];
        ns = &child;
    }
    const String& name = pieces.back();
    if (ns->functions.count(name))
        return false;
    ns->functions.emplace(name, ConsoleFunction{name, paramCount, handler, false});
    return true;
}

void Console::UnregisterCommand(StringView path)
{
    std::vector<String> pieces;
    if (!SplitPath(path, pieces))
        return;
    ConsoleNamespace* ns = m_root.get();
    for (size_t i = 0; i + 1 < pieces.size(); ++i) {
        auto it = ns->children.find(pieces[i]);
        if (it == ns->children.end())
            return;
        ns = &it->second;
    }
    ns->functions.erase(pieces.back());
}

ConsoleNamespace* Console::FindNamespace(StringView path, String& functionName)
{
    std::vector<String> pieces;
    Tokenize(path, pieces, u'.', true, -1);
    if (pieces.empty())
        return nullptr;
    ConsoleNamespace* ns = m_root.get();
    for (size_t i = 0; i + 1 < pieces.size(); ++i) {
        auto it = ns->children.find(pieces[i]);
        if (it == ns->children.end())
            return nullptr;
        ns = &it->second;
    }
    functionName = pieces.back();
    return ns;
}

void Console::Execute(StringView line, bool fromInput)
{
    std::vector<String> head;
    SplitLine(line, 2, head);
    if (fromInput) {
        ClearInput();
        Complete();
    }
    if (head.empty())
        return;
    if (fromInput) {
        m_history.emplace_back(line);
        if (m_history.size() > kHistoryLimit)
            m_history.pop_front();
    }

    const String command = head[0];
    const int dot = ReverseFind(command, u'.');
    const StringView prefix = dot < 0 ? StringView() : StringView(command).substr(0, dot);
    const StringView functionName = StringView(command).substr(dot + 1);
    if (RunInstanceCommand(line, prefix, functionName))
        return;

    String name;
    ConsoleNamespace* ns = FindNamespace(command, name);
    if (!ns) {
        PrintLine(u"Couldn't find namespace for function " + command);
        return;
    }
    auto it = ns->functions.find(name);
    if (it == ns->functions.end()) {
        PrintLine(u"Function \"" + command + u"\" wasn't found");
    } else {
        // Copy what the call needs: the handler may unregister its own command.
        const int32_t paramCount = it->second.paramCount;
        IConsoleHandler* handler = it->second.handler;
        std::vector<String> arguments;
        SplitLine(line, static_cast<size_t>(paramCount) + 1, arguments);
        if (arguments.size() < static_cast<size_t>(paramCount) + 1)
            PrintLine(u"Invalid Param Count - Function \"" + command + u"\" uses " + ToText(paramCount) +
                      u" parameters");
        else
            handler->OnConsoleCommand(arguments, Handle{});
    }
    if (m_redraw)
        m_redraw();
}

bool Console::RunInstanceCommand(StringView line, StringView prefix, StringView functionName)
{
    if (!m_scene || m_instanceCommands.empty())
        return false;
    const Handle instance = m_scene->FindInstance(prefix);
    if (!instance.IsValid())
        return false;
    const bool isImage = m_scene->IsImage(instance);
    for (const InstanceCommand& cmd : m_instanceCommands) {
        if (cmd.name != functionName || (cmd.imagesOnly && !isImage))
            continue;
        const int32_t paramCount = cmd.paramCount;
        IConsoleHandler* handler = cmd.handler;
        std::vector<String> arguments;
        SplitLine(line, static_cast<size_t>(paramCount) + 1, arguments);
        if (arguments.size() < static_cast<size_t>(paramCount) + 1) {
            PrintLine(u"Invalid Param Count - Function \"" + String(functionName) + u"\" uses " + ToText(paramCount) +
                      u" parameters");
        } else {
            arguments[0] = String(functionName);
            handler->OnConsoleCommand(arguments, instance);
        }
        return true;
    }
    return false;
}

void Console::PrintLine(StringView text)
{
    if (m_output.size() >= kOutputLimit)
        m_output.erase(m_output.begin(), m_output.begin() + kOutputLimit / 4);
    m_output.emplace_back(text);
}

void Console::AddInstanceCommand(InstanceCommand command)
{
    if (command.handler && command.paramCount >= 0 && !command.name.empty())
        m_instanceCommands.push_back(std::move(command));
}

void Console::ClearInput()
{
    m_input.assign(1, kCursorSign);
    m_cursor = 0;
}

void Console::SetInput(StringView text)
{
    m_input.assign(text);
    m_input.push_back(kCursorSign);
    m_cursor = static_cast<int>(text.size());
}

String Console::InputText() const
{
    String text = m_input;
    if (m_cursor >= 0 && static_cast<size_t>(m_cursor) < text.size() && text[m_cursor] == kCursorSign)
        text.erase(m_cursor, 1);
    return text;
}

void Console::Complete()
{
    m_completion.clear();
    const String text = InputText();
    if (m_cursor < 0 || static_cast<size_t>(m_cursor) != text.size() || text.empty())
        return;
    const size_t lastBlank = text.find_last_of(u' ');
    const StringView word = lastBlank == String::npos ? StringView(text) : StringView(text).substr(lastBlank + 1);
    if (word.empty())
        return;
    m_completion = CompleteWord(text, word);
}

String Console::CompleteWord(StringView text, StringView word)
{
    const StringView before = text.substr(0, text.size() - word.size());
    String found;
    if (m_scene && m_scene->CompleteInstancePath(word, found))
        return String(before) + found;

    const int dot = ReverseFind(word, u'.');
    const StringView prefix = dot < 0 ? StringView() : word.substr(0, dot);
    const StringView partial = word.substr(dot + 1);
    Handle instance;
    if (m_scene) {
        instance = m_scene->FindInstance(prefix);
        if (instance.IsValid() && m_scene->CompleteChildPath(instance, partial, found))
            return String(before) + found;
    }

    std::vector<String> words;
    Tokenize(text, words, u' ', true, -1);
    size_t wordCount = 0;
    for (const String& w : words)
        wordCount += !w.empty();
    if (wordCount > 1)
        return String();

    if (!instance.IsValid()) {
        String name;
        ConsoleNamespace* ns = FindNamespace(word, name);
        if (!ns || name.empty())
            return String();
        // Everything of the text up to the partial name stays as typed.
        const StringView stem = text.substr(0, text.size() - partial.size());
        if (ns->functions.count(name))
            return String(text);
        if (ns->children.count(name))
            return String(text) + u".";
        for (const auto& [fname, fn] : ns->functions)
            if (StartsWith(fname, name))
                return String(stem) + fname;
        for (const auto& [cname, child] : ns->children)
            if (StartsWith(cname, name))
                return String(stem) + cname + u".";
        return String();
    }

    const bool isImage = m_scene->IsImage(instance);
    for (const InstanceCommand& cmd : m_instanceCommands)
        if ((!cmd.imagesOnly || isImage) && StartsWith(cmd.name, partial))
            return String(before) + String(prefix) + u"." + cmd.name;
    return String();
}

void Console::OnConsoleCommand(const std::vector<String>& arguments, const Handle&)
{
    if (arguments.empty())
        return;
    // A command without parameters gets the whole line as its one piece.
    StringView command = arguments[0];
    command = command.substr(0, command.find(u' '));
    if (command == u"echo") {
        if (arguments.size() >= 2)
            PrintLine(arguments[1]);
    } else if (command == u"exit") {
        if (m_quit)
            m_quit();
    }
}

size_t ConsolePrintBuffer::Layout(float left, float bottom, Line (&out)[kMaxLines]) const
{
    const std::vector<String>& lines = m_console.Output();
    const size_t count = lines.size() < kMaxLines ? lines.size() : kMaxLines;
    for (size_t i = 0; i < count; ++i) {
        const String& text = lines[lines.size() - 1 - i];
        out[i] = Line{&text, left, bottom - 20.0f * static_cast<float>(i) - 30.0f};
    }
    return count;
}

} // namespace QuillEngine
