#pragma once
// The user's own files: the player file in the Saved Games folder and the preferences in the
// Local Data folder ($XDG_DATA_HOME and $XDG_CONFIG_HOME + "Quillon Games/<window name>/").
//
// File format: a CRC-32 of the rest (4 bytes, little-endian), then XXTEA-enciphered words holding
// FF FE + the document's UTF-16LE text + zero padding. The key comes from the game's raw title.
// Files are replaced safely (".sxs" temporary, fsync, rename) and read leniently: a file that
// fails the checksum or does not decipher to XML is tried as plain XML.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "engine/core/strings/EngineString.h"
#include "engine/core/files/MemoryStream.h"
#include "engine/core/Singleton.h"
#include "platform/system/SafeFile.h"

namespace QuillEngine {

class XmlNode;

class UserDataFolders : public Singleton<UserDataFolders> {
public:
    static constexpr uint32_t kMaxFileSize = 64u << 20;
    static constexpr const char16_t* kTempSuffix = u".sxs";

    // `windowName` names the folders; `rawTitle` (the title as the game gave it, before
    // localisation) makes the key.
    UserDataFolders(StringView windowName, StringView rawTitle);

    // Resolves (and remembers) a folder. With `mustExist`, a missing folder gives false and is
    // neither created nor remembered; otherwise every missing folder of its path is created.
    bool GetSavedGamesFolder(bool mustExist);
    bool GetLocalDataFolder(bool mustExist);
    // The remembered folder, ending in '/'; empty until resolved.
    const String& SavedGamesFolder() const { return m_savedGamesFolder; }
    const String& LocalDataFolder() const { return m_localDataFolder; }

    // Opens folder + name. Names holding ':' or a ".." component, or beginning with '.', '/' or
    // '\', are refused. Writing creates missing folders.
    QuillPlatform::FileHandle OpenFile(StringView name, bool localData, bool forRead);
    // Reads the whole file (at most kMaxFileSize bytes) into `out`.
    bool ReadFile(StringView name, bool localData, MemoryStream& out);

    // What a read found. `Unreadable` is a file that is there but could not be read in full (too
    // large, no regular file, no permission, an I/O error): unlike a missing file, it must not be
    // written over as if it were new.
    enum class ReadOutcome { Read, Missing, Unreadable };
    struct ReadReport {
        ReadOutcome outcome = ReadOutcome::Missing;
        int error = 0;    // errno of the failure (EFBIG: larger than kMaxFileSize)
        std::string path; // the file as the system names it
    };
    ReadReport ReadFileReport(StringView name, bool localData, MemoryStream& out);

    // Writes the stream's unread bytes as a new file named `stem`, or `stem`.2, `stem`.3 ... when
    // taken: an existing file is never replaced. True with the name used in `usedName`.
    static constexpr int kMaxKeptCopies = 999;
    bool KeepCopy(StringView stem, bool localData, MemoryStream& stream, String* usedName = nullptr);
    // The path the system knows folder + name by (empty for a refused name).
    std::string SystemPath(StringView name, bool localData) const;

    // Why a read failed, in words for the player.
    static std::string DescribeReadError(int error);
    // LoadXml tells the player, once per file, about a file that is there but cannot be read; by
    // default on stderr (the engine shows a message box). Such a file is never written over or
    // deleted for the rest of the run.
    using NoticeFunction = std::function<void(const std::string& captionUtf8, const std::string& textUtf8)>;
    void SetNoticeFunction(NoticeFunction fn) { m_notice = std::move(fn); }
    bool IsKeptUnread(StringView name, bool localData) const;

    // Test hook at the file layer: called before each read and write of a user file with its
    // path; a non-zero errno makes that operation fail with it.
    enum class FileOp { Read, Write };
    using FaultHook = std::function<int(FileOp op, const std::string& path)>;
    void SetFaultHook(FaultHook hook) { m_faultHook = std::move(hook); }
    void DeleteFile(StringView name, bool localData);
    // Writes the stream's unread bytes to name + ".sxs", syncs it and renames it over the file.
    // On any failure the old file stays as it was.
    bool SafeWrite(StringView name, bool localData, MemoryStream& stream);

    bool SaveXml(StringView name, bool localData, const XmlNode* document);
    std::unique_ptr<XmlNode> LoadXml(StringView name, bool localData);
    // The document in bytes already read from a user file (as LoadXml after its read).
    std::unique_ptr<XmlNode> DecodeXml(const uint8_t* data, size_t size) const;

    static bool CreateDirectoryPath(StringView path);

    // The pieces of the file format, usable on their own.
    static void BuildKey(StringView rawTitle, uint8_t key[16]);
    static MemoryStream EncodeContainer(StringView documentText, const uint8_t key[16]);
    static std::unique_ptr<XmlNode> DecodeContainer(const uint8_t* data, size_t size, const uint8_t key[16]);
    // File bytes as UTF-8 text: after FF FE the UTF-16LE characters up to the first zero
    // character (bounded by the length), otherwise the bytes as they are.
    static std::string UserTextToUtf8(const uint8_t* data, size_t size);
    // A window name made safe as one folder name.
    static String FolderNameFor(StringView windowName);

private:
    bool ResolveFolder(bool localData, bool mustExist);
    std::string PathOf(StringView name, bool localData) const;
    int InjectedFault(FileOp op, const std::string& path) const { return m_faultHook ? m_faultHook(op, path) : 0; }

    String m_windowName;
    String m_rawTitle;
    String m_savedGamesFolder;
    String m_localDataFolder;
    FaultHook m_faultHook;
    NoticeFunction m_notice;
    std::set<std::string> m_keptUnread; // system paths
};

} // namespace QuillEngine
