#include "engine/app/PlayScript.h"

#include <fstream>
#include <sstream>

#include "platform/window/InjectedInput.h"

namespace QuillEngine {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

// The next blank-separated word from `pos`; empty at the end of the line.
std::string NextWord(const std::string& line, size_t& pos)
{
    while (pos < line.size() && IsBlank(line[pos]))
        ++pos;
    const size_t start = pos;
    while (pos < line.size() && !IsBlank(line[pos]))
        ++pos;
    return line.substr(start, pos - start);
}

// The rest of the line without its surrounding blanks.
std::string Rest(const std::string& line, size_t pos)
{
    while (pos < line.size() && IsBlank(line[pos]))
        ++pos;
    size_t end = line.size();
    while (end > pos && IsBlank(line[end - 1]))
        --end;
    return line.substr(pos, end - pos);
}

bool ParseStep(const std::string& word, uint64_t& step)
{
    // Plain decimal digits only, at most nine of them: a step count of years is a typing error.
    if (word.empty() || word.size() > 9)
        return false;
    uint64_t value = 0;
    for (char c : word) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    step = value;
    return true;
}

bool ParseCoordinate(const std::string& word, int32_t& out)
{
    size_t i = 0;
    const bool negative = !word.empty() && word[0] == '-';
    if (negative)
        i = 1;
    if (i >= word.size() || word.size() - i > 6)
        return false;
    int32_t value = 0;
    for (; i < word.size(); ++i) {
        if (word[i] < '0' || word[i] > '9')
            return false;
        value = value * 10 + (word[i] - '0');
    }
    if (value > PlayScript::kMaxCoordinate)
        return false;
    out = negative ? -value : value;
    return true;
}

} // namespace

bool PlayScript::Parse(const std::string& text, const std::string& sourceName, std::string& error)
{
    commands_.clear();
    std::istringstream in(text);
    std::string line;
    int number = 0;
    uint64_t lastStep = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        auto refuse = [&](const std::string& why) {
            error = sourceName + ", line " + std::to_string(number) + ": " + why + ": \"" + line + "\"";
            commands_.clear();
            return false;
        };
        size_t pos = 0;
        const std::string first = NextWord(line, pos);
        if (first.empty() || first[0] == '#')
            continue;
        if (first != "at")
            return refuse("a command starts with \"at <step>\"");
        PlayCommand command;
        command.line = number;
        if (!ParseStep(NextWord(line, pos), command.step))
            return refuse("the step is not a whole number of at most nine digits");
        if (command.step < lastStep)
            return refuse("the step goes back (the last command was at " + std::to_string(lastStep) + ")");
        const std::string verb = NextWord(line, pos);
        using Kind = PlayCommand::Kind;
        if (verb == "move" || verb == "down" || verb == "up" || verb == "rdown" || verb == "rup") {
            command.kind = verb == "move"    ? Kind::Move
                           : verb == "down"  ? Kind::Down
                           : verb == "up"    ? Kind::Up
                           : verb == "rdown" ? Kind::RightDown
                                             : Kind::RightUp;
            if (!ParseCoordinate(NextWord(line, pos), command.x) || !ParseCoordinate(NextWord(line, pos), command.y))
                return refuse("\"" + verb + "\" takes two whole-number coordinates");
            if (!Rest(line, pos).empty())
                return refuse("unexpected text after the coordinates");
        } else if (verb == "key") {
            command.kind = Kind::Key;
            command.text = NextWord(line, pos);
            if (command.text.empty() || !Rest(line, pos).empty())
                return refuse("\"key\" takes one key name");
            if (!QuillPlatform::InjectedInput::IsKeyName(command.text))
                return refuse("unknown key name \"" + command.text + "\"");
        } else if (verb == "console") {
            command.kind = Kind::Console;
            command.text = Rest(line, pos);
            if (command.text.empty())
                return refuse("\"console\" takes a console line");
        } else if (verb == "shot" || verb == "shown") {
            command.kind = verb == "shot" ? Kind::Shot : Kind::Shown;
            command.text = Rest(line, pos);
            const std::string suffix = ".png";
            if (command.text.size() <= suffix.size() ||
                command.text.compare(command.text.size() - suffix.size(), suffix.size(), suffix) != 0)
                return refuse("\"" + verb + "\" takes a file name ending in .png");
        } else if (verb == "quit") {
            command.kind = Kind::Quit;
            if (!Rest(line, pos).empty())
                return refuse("\"quit\" takes nothing");
        } else if (verb == "wait") {
            command.kind = Kind::Wait;
            command.text = Rest(line, pos);
            if (command.text.empty())
                return refuse("\"wait\" takes a file name");
        } else if (verb == "live") {
            command.kind = Kind::Live;
            if (!Rest(line, pos).empty())
                return refuse("\"live\" takes nothing");
        } else if (verb == "terminate") {
            command.kind = Kind::Terminate;
            if (!Rest(line, pos).empty())
                return refuse("\"terminate\" takes nothing");
        } else {
            return refuse(verb.empty() ? std::string("a command is missing after the step")
                                       : "unknown command \"" + verb + "\"");
        }
        if (!commands_.empty() && commands_.back().kind == Kind::Live)
            return refuse("nothing follows \"live\"");
        lastStep = command.step;
        commands_.push_back(std::move(command));
    }
    return true;
}

bool PlayScript::Load(const std::string& path, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read the play script " + path;
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return Parse(text.str(), path, error);
}

} // namespace QuillEngine
