#pragma once
// A read-only INI file with the lookup rules of the Windows profile functions:
// - "[Name]" starts a section; lines before the first section belong to no section and are not
//   reachable;
// - "key=value" lines; the key and the value are trimmed of blanks and tabs, and one pair of
//   matching double or single quotes around the whole value is removed;
// - lines whose first non-blank character is ';' are comments; a ';' later in a line is part of
//   the value;
// - section and key names match without regard to ASCII case; the first section of a name and
//   the first key of a name within it win (the lines of a repeated section are unreachable);
// - values have no length limit.
// Text is read as UTF-8 (a leading byte-order mark is skipped); line ends may be LF or CRLF.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace QuillPlatform {

class IniFile {
public:
    // Files larger than this are refused rather than read.
    static constexpr size_t kMaxFileBytes = 4u << 20;

    IniFile() = default;

    // Null when the file cannot be opened or read, or is larger than kMaxFileBytes.
    static std::optional<IniFile> Load(const std::string& path);
    static IniFile Parse(std::string_view text);

    // Section names in file order, each name once (the spelling of its first occurrence).
    std::vector<std::string> SectionNames() const;
    bool HasSection(std::string_view section) const;

    // The value of a key; null when the section or the key is missing. A key given with an
    // empty value ("key=") yields an empty string.
    std::optional<std::string> Value(std::string_view section, std::string_view key) const;
    // The value, or `fallback` when the key is missing.
    std::string GetString(std::string_view section, std::string_view key, std::string_view fallback = {}) const;

private:
    struct Entry {
        std::string key;
        std::string value;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
    };

    const Section* FindSection(std::string_view name) const;

    std::vector<Section> m_sections;
};

} // namespace QuillPlatform
