#pragma once
// A small in-memory ZIP writer: stored and raw-deflated entries, single volume, no comment by
// default. Used by the archive packer, the file benchmark and the tests (which also use the
// overridable header fields to build damaged archives). Output is deterministic: fixed
// timestamps, entries in the order they were added.

#include <cstdint>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <zlib.h>

namespace QuillTools {

inline std::string DeflateRaw(std::string_view data, int level = Z_BEST_COMPRESSION)
{
    z_stream zs{};
    if (deflateInit2(&zs, level, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    std::string out(deflateBound(&zs, static_cast<uLong>(data.size())), '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    int result = deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    if (result != Z_STREAM_END)
        throw std::runtime_error("deflate failed");
    return out;
}

struct ZipEntry {
    static constexpr uint16_t Stored = 0;
    static constexpr uint16_t Deflated = 8;

    std::string name;
    std::string data;    // the uncompressed bytes
    std::string payload; // the bytes written after the local header
    uint16_t method = Stored;
    uint16_t flags = 0;
    uint32_t crc = 0;
    // Header overrides, for building damaged archives.
    std::optional<uint32_t> compressedSize;
    std::optional<uint32_t> uncompressedSize;
    std::optional<uint32_t> localHeaderOffset;
    std::string centralExtra;
    std::string localExtra;
    std::string comment; // the entry's comment, in the central directory only
};

class ZipWriter {
  public:
    // Adds an entry; Deflated entries are compressed here.
    ZipEntry& Add(std::string name, std::string_view data, uint16_t method = ZipEntry::Deflated,
                  int level = Z_BEST_COMPRESSION)
    {
        ZipEntry e;
        e.name = std::move(name);
        e.data.assign(data);
        e.method = method;
        e.crc = static_cast<uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
        e.payload = method == ZipEntry::Deflated ? DeflateRaw(data, level) : e.data;
        m_entries.push_back(std::move(e));
        return m_entries.back();
    }

    std::vector<ZipEntry>& Entries() { return m_entries; }

    // End-record overrides.
    std::string comment;
    uint16_t thisDisk = 0;
    uint16_t directoryDisk = 0;
    std::optional<uint16_t> entriesOnDisk;
    std::optional<uint16_t> totalEntries;

    // `localOffsets`, when given, receives where each entry's local header starts.
    std::string Build(std::vector<uint32_t>* localOffsets = nullptr) const
    {
        std::string out;
        std::vector<uint32_t> offsets;
        for (const ZipEntry& e : m_entries) {
            offsets.push_back(static_cast<uint32_t>(out.size()));
            Put32(out, 0x04034B50);
            PutCommon(out, e);
            Put16(out, static_cast<uint16_t>(e.name.size()));
            Put16(out, static_cast<uint16_t>(e.localExtra.size()));
            out += e.name;
            out += e.localExtra;
            out += e.payload;
        }
        const uint32_t directoryOffset = static_cast<uint32_t>(out.size());
        for (size_t i = 0; i < m_entries.size(); ++i) {
            const ZipEntry& e = m_entries[i];
            Put32(out, 0x02014B50);
            Put16(out, 20); // made by: version 2.0
            PutCommon(out, e);
            Put16(out, static_cast<uint16_t>(e.name.size()));
            Put16(out, static_cast<uint16_t>(e.centralExtra.size()));
            Put16(out, static_cast<uint16_t>(e.comment.size()));
            Put16(out, 0); // disk number start
            Put16(out, 0); // internal attributes
            Put32(out, 0); // external attributes
            Put32(out, e.localHeaderOffset.value_or(offsets[i]));
            out += e.name;
            out += e.centralExtra;
            out += e.comment;
        }
        const uint32_t directorySize = static_cast<uint32_t>(out.size()) - directoryOffset;
        const uint16_t count = static_cast<uint16_t>(m_entries.size());
        Put32(out, 0x06054B50);
        Put16(out, thisDisk);
        Put16(out, directoryDisk);
        Put16(out, entriesOnDisk.value_or(count));
        Put16(out, totalEntries.value_or(count));
        Put32(out, directorySize);
        Put32(out, directoryOffset);
        Put16(out, static_cast<uint16_t>(comment.size()));
        out += comment;
        if (localOffsets)
            *localOffsets = std::move(offsets);
        return out;
    }

    bool WriteTo(const std::string& path) const
    {
        std::string bytes = Build();
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return static_cast<bool>(file.flush());
    }

  private:
    static void Put16(std::string& out, uint16_t v)
    {
        out.push_back(char(v & 0xFF));
        out.push_back(char(v >> 8));
    }
    static void Put32(std::string& out, uint32_t v)
    {
        Put16(out, uint16_t(v & 0xFFFF));
        Put16(out, uint16_t(v >> 16));
    }
    // Version needed, flags, method, time, date, CRC and the two sizes: the same in both headers.
    static void PutCommon(std::string& out, const ZipEntry& e)
    {
        Put16(out, 20);
        Put16(out, e.flags);
        Put16(out, e.method);
        Put16(out, 0);      // 00:00:00
        Put16(out, 0x0021); // 1980-01-01
        Put32(out, e.crc);
        Put32(out, e.compressedSize.value_or(static_cast<uint32_t>(e.payload.size())));
        Put32(out, e.uncompressedSize.value_or(static_cast<uint32_t>(e.data.size())));
    }

    std::vector<ZipEntry> m_entries;
};

} // namespace QuillTools
