#include "engine/core/files/FSLooseFiles.h"

#include <vector>

#include "platform/system/FileIO.h"

namespace QuillEngine {

namespace {

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    }
    return true;
}

bool IsRegularFile(const std::string& path)
{
    return QuillPlatform::GetFileKind(path) == QuillPlatform::FileKind::File;
}

// Splits a data name into path components; false for an absolute name or a ".." component.
bool SplitName(const String& name, std::vector<std::string>& parts)
{
    std::string utf8 = ToUtf8(name);
    if (utf8.empty() || utf8[0] == '/' || utf8[0] == '\\')
        return false;
    // A drive letter ("C:...") is absolute on the platform the data was authored on.
    if (utf8.size() >= 2 && utf8[1] == ':')
        return false;
    size_t start = 0;
    while (start <= utf8.size()) {
        size_t end = utf8.find_first_of("/\\", start);
        if (end == std::string::npos)
            end = utf8.size();
        std::string part = utf8.substr(start, end - start);
        if (part == "..")
            return false;
        if (part.find('\0') != std::string::npos)
            return false;
        if (!part.empty() && part != ".")
            parts.push_back(std::move(part));
        start = end + 1;
    }
    return !parts.empty();
}

} // namespace

FSLooseFiles::FSLooseFiles(const String& folder, const String& group) : m_group(group)
{
    m_folder = ToUtf8(folder);
    for (char& c : m_folder) {
        if (c == '\\')
            c = '/';
    }
    if (!m_folder.empty() && m_folder.back() != '/')
        m_folder.push_back('/');
}

std::optional<std::string> FSLooseFiles::FindIgnoringCase(const std::string& dir, const std::string& part) const
{
    const uint64_t stamp = QuillPlatform::FolderStamp(dir);
    std::lock_guard<std::mutex> lock(m_listingsMutex);
    Listing& listing = m_listings[dir];
    if (stamp == 0 || listing.stamp != stamp) {
        listing.stamp = 0;
        if (!QuillPlatform::ListFolder(dir, listing.entries))
            return std::nullopt;
        listing.stamp = stamp;
    }
    std::optional<std::string> best;
    for (const std::string& entry : listing.entries) {
        if (EqualsIgnoreAsciiCase(entry, part) && (!best || entry < *best))
            best = entry;
    }
    return best;
}

std::optional<std::string> FSLooseFiles::Resolve(const String& name) const
{
    std::vector<std::string> parts;
    if (!SplitName(name, parts))
        return std::nullopt;

    std::string exact = m_folder;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i)
            exact.push_back('/');
        exact += parts[i];
    }
    const QuillPlatform::FileKind kind = QuillPlatform::GetFileKind(exact);
    if (kind == QuillPlatform::FileKind::File)
        return exact;
    if (kind != QuillPlatform::FileKind::Missing)
        return std::nullopt; // a folder (or such) by that exact name, as the walk below would find
    // Most often the folders are spelled right and only the file's case differs, or the file is
    // missing (the picture loader asks for every picture's alpha pair): one look at the folder's
    // kept listing answers.
    const std::string parent = exact.substr(0, exact.size() - parts.back().size());
    if (QuillPlatform::FolderStamp(parent) != 0) {
        const auto found = FindIgnoringCase(parent, parts.back());
        return found && IsRegularFile(parent + *found) ? std::optional<std::string>(parent + *found) : std::nullopt;
    }

    // Walk component by component, keeping exact matches and falling back to a case-blind one.
    std::string path = m_folder;
    for (size_t i = 0; i < parts.size(); ++i) {
        std::string candidate = path + parts[i];
        if (QuillPlatform::GetFileKind(candidate) == QuillPlatform::FileKind::Missing) {
            auto found = FindIgnoringCase(path, parts[i]);
            if (!found)
                return std::nullopt;
            candidate = path + *found;
        }
        path = std::move(candidate);
        if (i + 1 < parts.size())
            path.push_back('/');
    }
    return IsRegularFile(path) ? std::optional<std::string>(path) : std::nullopt;
}

bool FSLooseFiles::Exists(const String& name)
{
    return Resolve(name).has_value();
}

bool FSLooseFiles::ReadFile(const String& name, std::unique_ptr<uint8_t[]>& data, size_t& size)
{
    auto path = Resolve(name);
    if (!path)
        return false;
    QuillPlatform::ReadOnlyFile file;
    if (!file.Open(*path) || file.Size() > MaxFileSize)
        return false;
    const size_t total = static_cast<size_t>(file.Size());
    auto buffer = std::make_unique_for_overwrite<uint8_t[]>(total ? total : 1);
    // A file that shrank since it was opened comes up short and is refused.
    if (total && !file.ReadAt(buffer.get(), total, 0))
        return false;
    data = std::move(buffer);
    size = total;
    return true;
}

} // namespace QuillEngine
