#include "platform/ini/IniFile.h"

#include <cstdio>
#include <memory>

namespace QuillPlatform {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    }
    return true;
}

std::string_view Unquote(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

} // namespace

std::optional<IniFile> IniFile::Load(const std::string& path)
{
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file)
        return std::nullopt;
    std::string text;
    char chunk[16384];
    for (;;) {
        const size_t n = std::fread(chunk, 1, sizeof chunk, file.get());
        if (n == 0)
            break;
        if (text.size() + n > kMaxFileBytes)
            return std::nullopt;
        text.append(chunk, n);
    }
    if (std::ferror(file.get()))
        return std::nullopt;
    return Parse(text);
}

IniFile IniFile::Parse(std::string_view text)
{
    IniFile ini;
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);

    Section* current = nullptr;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = Trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);

        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            // A missing ']' takes the rest of the line as the name, as the profile functions do.
            const size_t close = line.find(']');
            const std::string_view name =
                Trim(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
            // A repeated section name is never reached by a lookup: its lines are skipped.
            current = nullptr;
            if (!ini.FindSection(name)) {
                ini.m_sections.push_back(Section{std::string(name), {}});
                current = &ini.m_sections.back();
            }
            continue;
        }
        if (!current)
            continue;
        const size_t eq = line.find('=');
        // A line without '=' is a key with no value.
        const std::string_view key = Trim(line.substr(0, eq));
        const std::string_view value =
            eq == std::string_view::npos ? std::string_view() : Unquote(Trim(line.substr(eq + 1)));
        if (key.empty())
            continue;
        bool seen = false;
        for (const Entry& e : current->entries) {
            if (EqualsNoCase(e.key, key)) {
                seen = true;
                break;
            }
        }
        if (!seen)
            current->entries.push_back(Entry{std::string(key), std::string(value)});
    }
    return ini;
}

std::vector<std::string> IniFile::SectionNames() const
{
    std::vector<std::string> names;
    names.reserve(m_sections.size());
    for (const Section& s : m_sections)
        names.push_back(s.name);
    return names;
}

bool IniFile::HasSection(std::string_view section) const
{
    return FindSection(section) != nullptr;
}

const IniFile::Section* IniFile::FindSection(std::string_view name) const
{
    for (const Section& s : m_sections) {
        if (EqualsNoCase(s.name, name))
            return &s;
    }
    return nullptr;
}

std::optional<std::string> IniFile::Value(std::string_view section, std::string_view key) const
{
    const Section* s = FindSection(section);
    if (!s)
        return std::nullopt;
    for (const Entry& e : s->entries) {
        if (EqualsNoCase(e.key, key))
            return e.value;
    }
    return std::nullopt;
}

std::string IniFile::GetString(std::string_view section, std::string_view key, std::string_view fallback) const
{
    std::optional<std::string> v = Value(section, key);
    return v ? std::move(*v) : std::string(fallback);
}

} // namespace QuillPlatform
