#include "engine/core/prefs/UserData.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include <zlib.h>

#include "engine/core/xml/XmlNode.h"

namespace QuillEngine {

namespace {

// Used when the title gives no key bytes; part of the file format, never to change.
constexpr uint8_t kEmptyTitleKey[16] = {0x51, 0x75, 0x69, 0x6C, 0x6C, 0x6F, 0x6E, 0x2D,
                                        0x55, 0x73, 0x65, 0x72, 0x44, 0x61, 0x74, 0x61};

// The name with '\' turned into '/', or empty when the name is refused.
std::string CheckedName(StringView name)
{
    if (name.empty() || name[0] == u'.' || name[0] == u'/' || name[0] == u'\\')
        return std::string();
    String normal(name);
    for (char16_t& ch : normal) {
        if (ch == u':' || ch == 0)
            return std::string();
        if (ch == u'\\')
            ch = u'/';
    }
    size_t start = 0;
    while (start <= normal.size()) {
        size_t end = normal.find(u'/', start);
        if (end == String::npos)
            end = normal.size();
        const StringView part = StringView(normal).substr(start, end - start);
        if (part == u".." || part == u".")
            return std::string();
        start = end + 1;
    }
    return ToUtf8(normal);
}

uint32_t Crc32(const uint8_t* data, size_t size)
{
    uLong crc = crc32(0L, Z_NULL, 0);
    while (size > 0) {
        const uInt chunk = size > 0x40000000u ? 0x40000000u : static_cast<uInt>(size);
        crc = crc32(crc, data, chunk);
        data += chunk;
        size -= chunk;
    }
    return static_cast<uint32_t>(crc);
}

uint32_t ReadLe32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

std::unique_ptr<XmlNode> ParseUserText(const uint8_t* data, size_t size)
{
    const std::string text = UserDataFolders::UserTextToUtf8(data, size);
    if (text.empty())
        return nullptr;
    return XmlNode::ParseDocument(text, false);
}

} // namespace

UserDataFolders::UserDataFolders(StringView windowName, StringView rawTitle)
    : m_windowName(windowName), m_rawTitle(rawTitle)
{
}

String UserDataFolders::FolderNameFor(StringView windowName)
{
    String name(windowName);
    for (char16_t& ch : name)
        if (ch < 0x20 || ch == 0x7F || ch == u'/' || ch == u'\\')
            ch = u'_';
    if (name.empty() || name == u"." || name == u"..")
        name = u"_";
    return name;
}

bool UserDataFolders::CreateDirectoryPath(StringView path)
{
    return QuillPlatform::CreateDirectoryPath(ToUtf8(path));
}

bool UserDataFolders::ResolveFolder(bool localData, bool mustExist)
{
    String& folder = localData ? m_localDataFolder : m_savedGamesFolder;
    if (!folder.empty())
        return true;
    const std::string base = localData ? QuillPlatform::XdgConfigHome() : QuillPlatform::XdgDataHome();
    String path;
    if (base.empty())
        path = localData ? u"./Local Data/" : u"./Saved Games/";
    else
        path = FromUtf8(base) + u"/Quillon Games/" + FolderNameFor(m_windowName) + u"/";

    const std::string native = ToUtf8(path);
    if (mustExist && QuillPlatform::GetPathKind(native) != QuillPlatform::PathKind::Folder)
        return false;
    if (!QuillPlatform::CreateDirectoryPath(native))
        return false;
    folder = path;
    return true;
}

bool UserDataFolders::GetSavedGamesFolder(bool mustExist)
{
    return ResolveFolder(false, mustExist);
}

bool UserDataFolders::GetLocalDataFolder(bool mustExist)
{
    return ResolveFolder(true, mustExist);
}

std::string UserDataFolders::PathOf(StringView name, bool localData) const
{
    return ToUtf8(localData ? m_localDataFolder : m_savedGamesFolder) + CheckedName(name);
}

QuillPlatform::FileHandle UserDataFolders::OpenFile(StringView name, bool localData, bool forRead)
{
    const std::string checked = CheckedName(name);
    if (checked.empty() || !ResolveFolder(localData, forRead))
        return QuillPlatform::FileHandle();
    const std::string path = PathOf(name, localData);
    if (forRead)
        return QuillPlatform::FileHandle::OpenRead(path);
    QuillPlatform::FileHandle file = QuillPlatform::FileHandle::OpenWrite(path);
    if (!file.IsOpen() && file.Error() == ENOENT) {
        const size_t slash = path.rfind('/');
        if (slash != std::string::npos && QuillPlatform::CreateDirectoryPath(path.substr(0, slash)))
            file = QuillPlatform::FileHandle::OpenWrite(path);
    }
    return file;
}

bool UserDataFolders::ReadFile(StringView name, bool localData, MemoryStream& out)
{
    return ReadFileReport(name, localData, out).outcome == ReadOutcome::Read;
}

UserDataFolders::ReadReport UserDataFolders::ReadFileReport(StringView name, bool localData, MemoryStream& out)
{
    ReadReport report;
    if (CheckedName(name).empty()) {
        report.outcome = ReadOutcome::Unreadable;
        report.error = EINVAL;
        return report;
    }
    // No folder yet means no file yet.
    if (!ResolveFolder(localData, true))
        return report;
    report.path = PathOf(name, localData);
    if (const int fault = InjectedFault(FileOp::Read, report.path)) {
        report.outcome = fault == ENOENT ? ReadOutcome::Missing : ReadOutcome::Unreadable;
        report.error = fault;
        return report;
    }
    QuillPlatform::FileHandle file = QuillPlatform::FileHandle::OpenRead(report.path);
    if (!file.IsOpen()) {
        report.error = file.Error();
        report.outcome = report.error == ENOENT ? ReadOutcome::Missing : ReadOutcome::Unreadable;
        return report;
    }
    std::vector<uint8_t> bytes;
    if (!file.ReadAll(bytes, kMaxFileSize)) {
        report.outcome = ReadOutcome::Unreadable;
        report.error = file.Error() ? file.Error() : EIO;
        return report;
    }
    out.Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
    report.outcome = ReadOutcome::Read;
    return report;
}

std::string UserDataFolders::SystemPath(StringView name, bool localData) const
{
    if (CheckedName(name).empty())
        return std::string();
    return PathOf(name, localData);
}

bool UserDataFolders::KeepCopy(StringView stem, bool localData, MemoryStream& stream, String* usedName)
{
    if (CheckedName(stem).empty())
        return false;
    const String tempName = String(stem) + kTempSuffix;
    QuillPlatform::FileHandle file = OpenFile(tempName, localData, false);
    if (!file.IsOpen())
        return false;
    const std::string tempPath = PathOf(tempName, localData);
    const bool written = InjectedFault(FileOp::Write, tempPath) == 0 &&
                         file.WriteAll(stream.Data() + stream.Position(), stream.Remaining()) && file.Sync();
    if (!file.Close() || !written) {
        QuillPlatform::RemoveFile(tempPath);
        return false;
    }
    for (int number = 1; number <= kMaxKeptCopies; ++number) {
        const String name = number == 1 ? String(stem) : String(stem) + u"." + FromUtf8(std::to_string(number));
        const int error = QuillPlatform::PlaceFileNew(tempPath, PathOf(name, localData));
        if (error == EEXIST)
            continue;
        if (error != 0)
            break;
        stream.Seek(0, 2);
        if (usedName)
            *usedName = name;
        return true;
    }
    QuillPlatform::RemoveFile(tempPath);
    return false;
}

std::string UserDataFolders::DescribeReadError(int error)
{
    if (error == EFBIG)
        return "it is larger than such a file can be";
    if (error == EISDIR)
        return "a folder has its name";
    return std::strerror(error);
}

bool UserDataFolders::IsKeptUnread(StringView name, bool localData) const
{
    return !CheckedName(name).empty() && m_keptUnread.count(PathOf(name, localData)) != 0;
}

void UserDataFolders::DeleteFile(StringView name, bool localData)
{
    if (CheckedName(name).empty() || !ResolveFolder(localData, true) || IsKeptUnread(name, localData))
        return;
    QuillPlatform::RemoveFile(PathOf(name, localData));
}

bool UserDataFolders::SafeWrite(StringView name, bool localData, MemoryStream& stream)
{
    if (CheckedName(name).empty())
        return false;
    const String tempName = String(name) + kTempSuffix;
    if (IsKeptUnread(name, localData))
        return false;
    QuillPlatform::FileHandle file = OpenFile(tempName, localData, false);
    if (!file.IsOpen())
        return false;
    const std::string tempPath = PathOf(tempName, localData);
    const uint32_t size = stream.Remaining();
    const int fault = InjectedFault(FileOp::Write, tempPath);
    const bool written = fault == 0 && file.WriteAll(stream.Data() + stream.Position(), size) && file.Sync();
    const bool closed = file.Close();
    if (!written || !closed) {
        // The caller tells the player why, from errno: an injected fault reads as a real one.
        const int error = fault != 0 ? fault : errno;
        QuillPlatform::RemoveFile(tempPath);
        errno = error;
        return false;
    }
    stream.Seek(0, 2);
    if (!QuillPlatform::ReplaceFile(tempPath, PathOf(name, localData))) {
        QuillPlatform::RemoveFile(tempPath);
        return false;
    }
    return true;
}

void UserDataFolders::BuildKey(StringView rawTitle, uint8_t key[16])
{
    std::vector<uint8_t> bytes;
    bytes.reserve(rawTitle.size() * 2);
    for (char16_t ch : rawTitle) {
        if (const uint8_t lo = static_cast<uint8_t>(ch & 0xFF))
            bytes.push_back(lo);
        if (const uint8_t hi = static_cast<uint8_t>(ch >> 8))
            bytes.push_back(hi);
    }
    for (size_t i = 0; i < 16; ++i)
        key[i] = bytes.empty() ? kEmptyTitleKey[i] : bytes[i % bytes.size()];
}

MemoryStream UserDataFolders::EncodeContainer(StringView documentText, const uint8_t key[16])
{
    MemoryStream plain;
    plain.Reserve(static_cast<uint32_t>(2 + documentText.size() * 2 + 8));
    const uint8_t bom[2] = {0xFF, 0xFE};
    plain.Write(bom, 2);
    for (char16_t ch : documentText) {
        const uint8_t le[2] = {static_cast<uint8_t>(ch & 0xFF), static_cast<uint8_t>(ch >> 8)};
        plain.Write(le, 2);
    }
    // XXTEA leaves fewer than two words as they are: keep at least two. Readers stop at the first
    // zero character, so the extra zeros are invisible.
    static const uint8_t zeros[8] = {};
    if (plain.Size() < 8)
        plain.Write(zeros, 8 - plain.Size());
    plain.Encipher(key);

    uint32_t crc = Crc32(plain.Data(), plain.Size());
    MemoryStream file;
    file.Reserve(plain.Size() + 4);
    const uint8_t crcBytes[4] = {static_cast<uint8_t>(crc), static_cast<uint8_t>(crc >> 8),
                                 static_cast<uint8_t>(crc >> 16), static_cast<uint8_t>(crc >> 24)};
    file.Write(crcBytes, 4);
    plain.Seek(0, 0);
    file.Append(plain);
    file.Seek(0, 0);
    return file;
}

std::unique_ptr<XmlNode> UserDataFolders::DecodeContainer(const uint8_t* data, size_t size, const uint8_t key[16])
{
    if (!data || size <= 4)
        return nullptr;
    if (ReadLe32(data) == Crc32(data + 4, size - 4)) {
        MemoryStream body(data + 4, static_cast<uint32_t>(size - 4));
        body.Decipher(key);
        if (auto document = ParseUserText(body.Data(), body.Size()))
            return document;
    }
    return ParseUserText(data, size);
}

std::string UserDataFolders::UserTextToUtf8(const uint8_t* data, size_t size)
{
    if (!data || size == 0)
        return std::string();
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
        String text;
        text.reserve((size - 2) / 2);
        for (size_t i = 2; i + 1 < size; i += 2) {
            const char16_t ch = static_cast<char16_t>(data[i] | data[i + 1] << 8);
            if (ch == 0)
                break;
            text.push_back(ch);
        }
        return ToUtf8(text);
    }
    size_t end = 0;
    while (end < size && data[end] != 0)
        ++end;
    return std::string(reinterpret_cast<const char*>(data), end);
}

bool UserDataFolders::SaveXml(StringView name, bool localData, const XmlNode* document)
{
    if (!document)
        return false;
    uint8_t key[16];
    BuildKey(m_rawTitle, key);
    MemoryStream file = EncodeContainer(document->ToString(), key);
    return SafeWrite(name, localData, file);
}

std::unique_ptr<XmlNode> UserDataFolders::LoadXml(StringView name, bool localData)
{
    MemoryStream file;
    const ReadReport read = ReadFileReport(name, localData, file);
    if (read.outcome == ReadOutcome::Unreadable && !read.path.empty() && m_keptUnread.insert(read.path).second) {
        const std::string text = "The file \"" + read.path + "\" could not be read (" + DescribeReadError(read.error) +
                                 "). The game goes on without it and leaves it as it is.";
        const std::string caption = ToUtf8(m_windowName);
        if (m_notice)
            m_notice(caption, text);
        else
            std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    }
    if (read.outcome != ReadOutcome::Read || file.Size() <= 4)
        return nullptr;
    return DecodeXml(file.Data(), file.Size());
}

std::unique_ptr<XmlNode> UserDataFolders::DecodeXml(const uint8_t* data, size_t size) const
{
    uint8_t key[16];
    BuildKey(m_rawTitle, key);
    return DecodeContainer(data, size, key);
}

} // namespace QuillEngine
