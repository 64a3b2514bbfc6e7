#pragma once
// File source over one ZIP archive: the plain single-volume subset (no spanning, no ZIP64, no
// encryption), stored and deflated entries; an archive comment is allowed. The central directory
// is read once when opened; the archive stays open and entries are read whole on demand, each
// checked against its CRC-32.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/files/FileManager.h"
#include "platform/system/FileIO.h"

struct inflate_state; // ISA-L's inflate state, large enough to be worth keeping

namespace QuillEngine {

class FSCompressedSource : public FileManager::IFSSource {
  public:
    // Neither size of an entry may exceed this.
    static constexpr uint32_t MaxEntrySize = uint32_t(1) << 30;
    // Entries whose names are this long or longer are left out (and named on stderr).
    static constexpr uint32_t MaxNameLength = 260;

    FSCompressedSource(const String& path, const String& group);
    ~FSCompressedSource() override;
    FSCompressedSource(const FSCompressedSource&) = delete;
    FSCompressedSource& operator=(const FSCompressedSource&) = delete;

    bool Open() override;
    void Close() override;
    bool IsOpen() const override { return m_file.IsOpen(); }
    bool ReadFile(const String& name, std::unique_ptr<uint8_t[]>& data, size_t& size) override;
    bool Exists(const String& name) override;
    String GetGroupName() const override { return m_group; }
    bool LastReadDamage(DamagedEntry& damage) const override;

    size_t EntryCount() const { return m_directory.size(); }
    // Entries left out when the archive was opened (names too long).
    size_t SkippedCount() const { return m_skipped; }
    // Lower-cases ASCII letters, turns '\' into '/' and collapses runs of '/'.
    static String NormalizeName(StringView name);

  private:
    struct Entry {
        uint32_t compressedSize = 0;
        uint32_t uncompressedSize = 0;
        uint32_t localHeaderOffset = 0;
        uint32_t crc = 0;
        uint16_t method = 0;
        uint16_t nameLength = 0;
        String name; // as the archive spells it, for messages
        // Its data overlaps another entry's or runs into the central directory.
        bool damaged = false;
    };

    void MarkDamagedEntries();
    // Reads one entry whole; on failure `problem` says what is wrong with it.
    bool ReadEntry(const Entry& entry, std::unique_ptr<uint8_t[]>& data, size_t& size, std::string& problem);
    static bool FindEndRecord(const QuillPlatform::ReadOnlyFile& file, uint64_t fileSize, uint8_t* record, uint64_t& recordOffset);
    bool Inflate(const uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize);

    String m_path;
    String m_group;
    QuillPlatform::ReadOnlyFile m_file;
    // Everything at or after this offset is the central directory and end record.
    uint64_t m_dataLimit = 0;
    std::map<String, Entry> m_directory;
    size_t m_skipped = 0;
    // The entry the last failed read found damaged; null when none.
    const Entry* m_lastDamaged = nullptr;
    std::string m_lastProblem;

    // Reused across reads so a read costs no set-up beyond its output buffer.
    std::vector<uint8_t> m_scratch;
    std::unique_ptr<inflate_state> m_inflate;
};

} // namespace QuillEngine
