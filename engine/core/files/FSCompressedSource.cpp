#include "engine/core/files/FSCompressedSource.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>

namespace QuillEngine {

namespace {

constexpr uint32_t EndRecordSignature = 0x06054B50;
constexpr uint32_t LocalHeaderSignature = 0x04034B50;
constexpr size_t EndRecordSize = 22;
constexpr size_t CentralHeaderSize = 46;
constexpr size_t LocalHeaderSize = 30;
constexpr uint16_t MethodStored = 0;
constexpr uint16_t MethodDeflated = 8;
constexpr uint16_t FlagUtf8Name = 0x0800;
constexpr size_t MaxCommentLength = 0xFFFF;
// Deflate cannot expand a byte into more than 1032 output bytes; a larger claimed ratio is a lie
// that would only make us allocate for nothing.
constexpr uint64_t MaxDeflateRatio = 1032;
// 65535 entries with the longest names and no extra fields take under 21 MB.
constexpr uint64_t MaxDirectoryBytes = uint64_t(64) << 20;
// Compressed input kept between reads up to this size; larger reads get their own buffer.
constexpr size_t MaxKeptScratch = size_t(8) << 20;

uint16_t Le16(const uint8_t* p)
{
    return uint16_t(p[0] | (p[1] << 8));
}

uint32_t Le32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

} // namespace

FSCompressedSource::FSCompressedSource(const String& path, const String& group) : m_path(path), m_group(group) {}

FSCompressedSource::~FSCompressedSource()
{
    Close();
}

String FSCompressedSource::NormalizeName(StringView name)
{
    String out;
    out.reserve(name.size());
    for (char16_t c : name) {
        if (c == u'\\')
            c = u'/';
        else if (c >= u'A' && c <= u'Z')
            c = char16_t(c - u'A' + u'a');
        if (c == u'/' && !out.empty() && out.back() == u'/')
            continue;
        out.push_back(c);
    }
    return out;
}

void FSCompressedSource::Close()
{
    m_file.Close();
}

// The end record closes the archive, followed only by the archive comment whose length it gives:
// the last candidate from the end whose comment reaches exactly to the end of the file.
bool FSCompressedSource::FindEndRecord(const QuillPlatform::ReadOnlyFile& file, uint64_t fileSize, uint8_t* record, uint64_t& recordOffset)
{
    const uint64_t tail = std::min<uint64_t>(fileSize, EndRecordSize + MaxCommentLength);
    std::vector<uint8_t> bytes(tail);
    if (!file.ReadAt(bytes.data(), bytes.size(), fileSize - tail))
        return false;
    for (size_t at = bytes.size() - EndRecordSize + 1; at-- > 0;) {
        const uint8_t* p = bytes.data() + at;
        if (Le32(p) != EndRecordSignature || at + EndRecordSize + Le16(p + 20) != bytes.size())
            continue;
        std::memcpy(record, p, EndRecordSize);
        recordOffset = fileSize - tail + at;
        return true;
    }
    return false;
}

bool FSCompressedSource::Open()
{
    Close();
    m_directory.clear();
    m_lastDamaged = nullptr;
    m_skipped = 0;

    std::string path = ToUtf8(m_path);
    for (char& c : path) {
        if (c == '\\')
            c = '/';
    }
    QuillPlatform::ReadOnlyFile file;
    if (!file.Open(path))
        return false;
    auto fail = [&] {
        m_directory.clear();
        return false;
    };

    const uint64_t fileSize = file.Size();
    if (fileSize < EndRecordSize)
        return fail();

    uint8_t end[EndRecordSize];
    uint64_t endOffset = 0;
    if (!FindEndRecord(file, fileSize, end, endOffset))
        return fail();
    if (Le16(end + 6) != 0 || Le16(end + 8) != Le16(end + 10))
        return fail();
    const uint16_t total = Le16(end + 10);
    const uint64_t directoryOffset = Le32(end + 16);
    const uint64_t directoryEnd = endOffset;
    if (directoryOffset > directoryEnd)
        return fail();

    // The whole directory in one read. It lies between its offset and the end record; entries
    // with long extra fields or comments beyond the cap make the directory come up short.
    std::vector<uint8_t> directory(std::min<uint64_t>(directoryEnd - directoryOffset, MaxDirectoryBytes));
    if (!directory.empty() && !file.ReadAt(directory.data(), directory.size(), directoryOffset))
        return fail();

    size_t pos = 0;
    for (uint32_t i = 0; i < total; ++i) {
        if (directory.size() - std::min(pos, directory.size()) < CentralHeaderSize)
            return fail();
        const uint8_t* h = directory.data() + pos; // its signature is not checked
        Entry entry;
        const uint16_t flags = Le16(h + 8);
        entry.method = Le16(h + 10);
        entry.crc = Le32(h + 16);
        entry.compressedSize = Le32(h + 20);
        entry.uncompressedSize = Le32(h + 24);
        entry.nameLength = Le16(h + 28);
        const uint16_t extraLength = Le16(h + 30);
        const uint16_t commentLength = Le16(h + 32);
        entry.localHeaderOffset = Le32(h + 42);
        pos += CentralHeaderSize;
        if (directory.size() - pos < entry.nameLength)
            return fail();
        std::string_view raw(reinterpret_cast<const char*>(directory.data() + pos), entry.nameLength);
        pos += size_t(entry.nameLength) + extraLength + commentLength;
        if (entry.nameLength >= MaxNameLength) {
            // Only this entry is lost; the rest of the archive stays usable.
            ++m_skipped;
            std::fprintf(stderr, "%s: entry skipped, its name is %u bytes long: %.40s...\n", path.c_str(),
                         unsigned(entry.nameLength), std::string(raw.substr(0, 40)).c_str());
            continue;
        }
        // Without the UTF-8 flag a name is still UTF-8 when it is valid UTF-8 (what Linux tools
        // write); otherwise it is in the ANSI code page.
        String name = (flags & FlagUtf8Name) || IsValidUtf8(raw) ? FromUtf8(raw) : FromCp1252(raw);
        // A repeated name replaces the earlier entry.
        String key = NormalizeName(name);
        entry.name = std::move(name);
        m_directory.insert_or_assign(std::move(key), std::move(entry));
    }

    m_file = std::move(file);
    m_dataLimit = directoryOffset;
    MarkDamagedEntries();
    return true;
}

void FSCompressedSource::MarkDamagedEntries()
{
    // The smallest span each entry's local header and data can take; two spans that overlap
    // mean the archive reuses bytes for several entries (a decompression bomb), and a span
    // that reaches the central directory means the sizes are false.
    struct Span {
        uint64_t begin, end;
        Entry* entry;
    };
    std::vector<Span> spans;
    spans.reserve(m_directory.size());
    for (auto& [name, entry] : m_directory) {
        uint64_t dataLength = entry.method == MethodStored ? entry.uncompressedSize : entry.compressedSize;
        uint64_t begin = entry.localHeaderOffset;
        uint64_t end = begin + LocalHeaderSize + entry.nameLength + dataLength;
        // An entry whose claimed span does not fit is false by itself and must not condemn
        // the honest entries its claim would cover.
        if (end > m_dataLimit)
            entry.damaged = true;
        else
            spans.push_back({begin, end, &entry});
    }
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.begin < b.begin; });
    uint64_t reach = 0;
    Entry* reachOwner = nullptr;
    for (const Span& span : spans) {
        if (reachOwner && span.begin < reach) {
            span.entry->damaged = true;
            reachOwner->damaged = true;
        }
        if (span.end > reach) {
            reach = span.end;
            reachOwner = span.entry;
        }
    }
}

bool FSCompressedSource::Exists(const String& name)
{
    return m_directory.find(NormalizeName(name)) != m_directory.end();
}

bool FSCompressedSource::ReadFile(const String& name, std::unique_ptr<uint8_t[]>& data, size_t& size)
{
    m_lastDamaged = nullptr;
    m_lastProblem.clear();
    if (!m_file.IsOpen())
        return false;
    auto it = m_directory.find(NormalizeName(name));
    if (it == m_directory.end())
        return false;
    std::string problem;
    if (ReadEntry(it->second, data, size, problem))
        return true;
    m_lastDamaged = &it->second;
    m_lastProblem = std::move(problem);
    return false;
}

bool FSCompressedSource::LastReadDamage(DamagedEntry& damage) const
{
    if (!m_lastDamaged || m_lastProblem.empty())
        return false;
    damage.archive = m_path;
    damage.entry = m_lastDamaged->name;
    damage.problem = m_lastProblem;
    return true;
}

bool FSCompressedSource::ReadEntry(const Entry& entry, std::unique_ptr<uint8_t[]>& data, size_t& size,
                                   std::string& problem)
{
    auto fail = [&problem](const char* why) {
        problem = why;
        return false;
    };
    if (entry.damaged)
        return fail("its data overlaps another entry or runs past the archive's data");
    if (entry.method != MethodStored && entry.method != MethodDeflated)
        return fail("it is packed with a method this game cannot read");
    if (entry.uncompressedSize > MaxEntrySize || entry.compressedSize > MaxEntrySize)
        return fail("its sizes are too large");
    if (entry.method == MethodStored && entry.compressedSize != entry.uncompressedSize)
        return fail("its sizes disagree");
    // Checked before the output buffer is allocated: the claimed size is what would be allocated.
    if (entry.method == MethodDeflated &&
        entry.uncompressedSize > uint64_t(entry.compressedSize) * MaxDeflateRatio + 1024) {
        problem = "it claims " + std::to_string(entry.uncompressedSize) + " bytes unpacked from " +
                  std::to_string(entry.compressedSize) + " packed, more than deflate can make of them";
        return false;
    }

    uint8_t local[LocalHeaderSize];
    if (!m_file.ReadAt(local, sizeof local, entry.localHeaderOffset))
        return fail("its header cannot be read");
    if (Le32(local) != LocalHeaderSignature)
        return fail("its header is damaged");
    const uint64_t dataOffset =
        uint64_t(entry.localHeaderOffset) + LocalHeaderSize + Le16(local + 26) + Le16(local + 28);
    const uint32_t dataLength = entry.method == MethodStored ? entry.uncompressedSize : entry.compressedSize;
    if (dataOffset + dataLength > m_dataLimit)
        return fail("its header is damaged");

    const uint32_t outSize = entry.uncompressedSize;
    auto out = std::make_unique_for_overwrite<uint8_t[]>(outSize ? outSize : 1);
    if (entry.method == MethodStored) {
        if (!m_file.ReadAt(out.get(), outSize, dataOffset))
            return fail("its data cannot be read");
    } else {
        std::vector<uint8_t> ownInput;
        std::vector<uint8_t>& input = dataLength <= MaxKeptScratch ? m_scratch : ownInput;
        if (input.size() < dataLength)
            input.resize(dataLength);
        if (!m_file.ReadAt(input.data(), dataLength, dataOffset))
            return fail("its data cannot be read");
        if (!Inflate(input.data(), dataLength, out.get(), outSize))
            return fail("its compressed data is damaged");
    }
    // Damaged bytes, or a stream cut short (its zero-filled tail), do not match the checksum.
    // ISA-L's CRC (the same reflected CRC-32 as zlib's) uses the processor's carry-less multiply
    // and costs a fraction of zlib's on large entries.
    if (crc32_gzip_refl(0, out.get(), outSize) != entry.crc)
        return fail("its checksum does not match");
    data = std::move(out);
    size = outSize;
    return true;
}

bool FSCompressedSource::Inflate(const uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize)
{
    // ISA-L's inflate reads raw deflate two to three times as fast as zlib's.
    if (!m_inflate)
        m_inflate = std::make_unique<inflate_state>();
    inflate_state& state = *m_inflate;
    isal_inflate_init(&state);
    state.crc_flag = ISAL_DEFLATE;
    state.next_in = const_cast<uint8_t*>(in);
    state.avail_in = inSize;
    state.next_out = out;
    state.avail_out = outSize;
    if (isal_inflate(&state) != ISAL_DECOMP_OK)
        return false;
    // A stream that ended early leaves the rest of the buffer unwritten: deliver zeros there,
    // never stale heap bytes.
    if (state.avail_out > 0)
        std::memset(state.next_out, 0, state.avail_out);
    return true;
}

} // namespace QuillEngine
