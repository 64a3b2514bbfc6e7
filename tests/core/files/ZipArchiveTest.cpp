#include <cstring>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/core/files/FSCompressedSource.h"
#include "tests/support/TestEnvironment.h"
#include "tools/ZipWriter.h"

using namespace QuillEngine;
using QuillTools::ZipEntry;
using QuillTools::ZipWriter;

namespace {

std::string Sample(size_t size, uint32_t seed = 1)
{
    // Compressible but not trivial: words drawn by a small LCG.
    static const char* words[] = {"movie ", "image ", "label ", "frame ", "<Node a=\"1\"/>\n", "sparkle "};
    std::string out;
    while (out.size() < size) {
        seed = seed * 214013u + 2531011u;
        out += words[(seed >> 16) % 6];
    }
    out.resize(size);
    return out;
}

struct Archive {
    std::filesystem::path path;
    std::unique_ptr<FSCompressedSource> source;

    Archive(const std::string& stem, const ZipWriter& zip) : Archive(stem, zip.Build()) {}
    Archive(const std::string& stem, const std::string& bytes)
    {
        path = QuillTest::MakeTempDir(stem) / "test.dat";
        QuillTest::WriteFile(path, bytes);
        source = std::make_unique<FSCompressedSource>(FromUtf8(path.string()), u"System");
    }
    bool Open() { return source->Open(); }
    std::string Read(const String& name)
    {
        std::unique_ptr<uint8_t[]> data;
        size_t size = 0;
        if (!source->ReadFile(name, data, size))
            return "<fail>";
        EXPECT_NE(data, nullptr);
        return std::string(reinterpret_cast<const char*>(data.get()), size);
    }
    // What the last failed read found wrong; empty when it found nothing.
    std::string Problem() const
    {
        DamagedEntry damage;
        return source->LastReadDamage(damage) ? damage.problem : std::string();
    }
};

} // namespace

TEST(ZipArchive, ReadsStoredAndDeflatedEntriesByAnySpelling)
{
    const std::string text = Sample(50000);
    ZipWriter zip;
    zip.Add("scripts/intro.lua", text, ZipEntry::Deflated);
    zip.Add("Pictures/Book.PNG", text.substr(0, 777), ZipEntry::Stored);
    zip.Add("empty-stored", "", ZipEntry::Stored);
    zip.Add("empty-deflated", "", ZipEntry::Deflated);
    Archive a("zip-read", zip);
    ASSERT_TRUE(a.Open());
    EXPECT_TRUE(a.source->IsOpen());
    EXPECT_EQ(a.source->EntryCount(), 4u);
    EXPECT_EQ(a.Read(u"scripts/intro.lua"), text);
    EXPECT_EQ(a.Read(u"SCRIPTS\\\\Intro.Lua"), text);
    EXPECT_EQ(a.Read(u"pictures\\book.png"), text.substr(0, 777));
    EXPECT_EQ(a.Read(u"empty-stored"), "");
    EXPECT_EQ(a.Read(u"empty-deflated"), "");
    EXPECT_TRUE(a.source->Exists(u"Scripts\\\\INTRO.lua"));
    EXPECT_FALSE(a.source->Exists(u"scripts"));
    EXPECT_EQ(a.Read(u"scripts/intro.lu"), "<fail>");
    // Reading again after other reads gives the same bytes (the inflater is reused).
    EXPECT_EQ(a.Read(u"scripts/intro.lua"), text);

    a.source->Close();
    EXPECT_FALSE(a.source->IsOpen());
    EXPECT_EQ(a.Read(u"scripts/intro.lua"), "<fail>");
    ASSERT_TRUE(a.Open());
    EXPECT_EQ(a.Read(u"pictures/book.png"), text.substr(0, 777));
}

TEST(ZipArchive, NamesWidenFromTheirCodePage)
{
    ZipWriter zip;
    zip.Add("caf\xE9.txt", "ansi", ZipEntry::Stored);
    zip.Add("na\xC3\xAFve.txt", "utf8", ZipEntry::Stored).flags = 0x0800;
    zip.Add("r\xC3\xA9sum\xC3\xA9.txt", "utf8 without the flag", ZipEntry::Stored);
    zip.Add("Later.txt", "first", ZipEntry::Stored);
    zip.Add("later.TXT", "second", ZipEntry::Stored);
    Archive a("zip-names", zip);
    ASSERT_TRUE(a.Open());
    EXPECT_EQ(a.Read(u"CAF\u00E9.txt"), "ansi");
    EXPECT_EQ(a.Read(u"na\u00EFve.txt"), "utf8");
    EXPECT_EQ(a.Read(u"r\u00E9sum\u00E9.txt"), "utf8 without the flag");
    // A repeated name (ignoring case) replaces the earlier entry.
    EXPECT_EQ(a.source->EntryCount(), 4u);
    EXPECT_EQ(a.Read(u"later.txt"), "second");
}

// Extra fields (of different lengths in the two headers) and entry comments sit between one
// directory record and the next, and between a local header and its data.
TEST(ZipArchive, ExtraFieldsAndEntryCommentsAreSteppedOver)
{
    const std::string text = Sample(3000, 5);
    ZipWriter zip;
    ZipEntry& first = zip.Add("first.xml", text, ZipEntry::Deflated);
    first.centralExtra = std::string("\x55\x54\x05\x00\x03\x00\x00\x00\x00", 9);
    first.localExtra = std::string("\x55\x54\x09\x00\x03\x00\x00\x00\x00\x00\x00\x00\x00", 13);
    first.comment = "the first entry's comment";
    ZipEntry& second = zip.Add("second.txt", "stored after a commented entry", ZipEntry::Stored);
    second.comment = "PK\x01\x02 looks like a header";
    zip.Add("third.txt", text.substr(100, 400), ZipEntry::Deflated).localExtra = std::string(40, '\x7F');
    Archive a("zip-extras", zip);
    ASSERT_TRUE(a.Open());
    EXPECT_EQ(a.source->EntryCount(), 3u);
    EXPECT_EQ(a.Read(u"first.xml"), text);
    EXPECT_EQ(a.Read(u"second.txt"), "stored after a commented entry");
    EXPECT_EQ(a.Read(u"third.txt"), text.substr(100, 400));
    EXPECT_FALSE(a.source->Exists(u"the first entry's comment"));
}

TEST(ZipArchive, EndRecordMustDescribeOnePlainVolume)
{
    auto opens = [](const char* stem, auto change) {
        ZipWriter zip;
        zip.Add("a.txt", "alpha");
        zip.Add("b.txt", "beta");
        change(zip);
        Archive a(stem, zip);
        return a.Open();
    };
    EXPECT_TRUE(opens("zip-plain", [](ZipWriter&) {}));
    // An archive comment, even one that holds what looks like an end record, is allowed.
    EXPECT_TRUE(opens("zip-comment", [](ZipWriter& z) { z.comment = "made by hand"; }));
    EXPECT_TRUE(opens("zip-tricky-comment",
                      [](ZipWriter& z) { z.comment = std::string("PK\x05\x06", 4) + std::string(30, '\0'); }));
    EXPECT_FALSE(opens("zip-disk", [](ZipWriter& z) { z.directoryDisk = 1; }));
    EXPECT_FALSE(opens("zip-count", [](ZipWriter& z) { z.entriesOnDisk = 1; }));
    // The number of this disk is not looked at.
    EXPECT_TRUE(opens("zip-thisdisk", [](ZipWriter& z) { z.thisDisk = 3; }));
    // More entries announced than the directory holds.
    EXPECT_FALSE(opens("zip-short", [](ZipWriter& z) {
        z.entriesOnDisk = 3;
        z.totalEntries = 3;
    }));

    EXPECT_FALSE(Archive("zip-tiny", std::string("PK\x05\x06", 4)).Open());
    EXPECT_FALSE(Archive("zip-garbage", std::string(100, 'x')).Open());
    FSCompressedSource missing(u"/nonexistent/folder/data.dat", u"System");
    EXPECT_FALSE(missing.Open());
    EXPECT_FALSE(missing.IsOpen());

    // An archive with no entries is valid.
    Archive empty("zip-empty", ZipWriter());
    EXPECT_TRUE(empty.Open());
    EXPECT_EQ(empty.source->EntryCount(), 0u);
}

TEST(ZipArchive, AFolderOrAPipeIsNoArchive)
{
    const auto dir = QuillTest::MakeTempDir("zip-kinds");
    FSCompressedSource folder(FromUtf8(dir.string()), u"System");
    EXPECT_FALSE(folder.Open());
    // Opening a pipe for reading would wait for a writer that never comes.
    const auto pipe = dir / "pipe.dat";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    FSCompressedSource fifo(FromUtf8(pipe.string()), u"System");
    EXPECT_FALSE(fifo.Open());
    EXPECT_FALSE(fifo.IsOpen());
}

TEST(ZipArchive, NameLengthLimit)
{
    ZipWriter ok;
    ok.Add(std::string(259, 'n'), "long", ZipEntry::Stored);
    Archive a("zip-259", ok);
    ASSERT_TRUE(a.Open());
    EXPECT_EQ(a.Read(Widen(std::string(259, 'N'))), "long");

    // A name of 260 or more loses only its own entry.
    ZipWriter tooLong;
    tooLong.Add("short.txt", "s");
    tooLong.Add(std::string(260, 'n'), "long", ZipEntry::Stored);
    tooLong.Add("after.txt", "a");
    Archive b("zip-260", tooLong);
    ASSERT_TRUE(b.Open());
    EXPECT_EQ(b.source->EntryCount(), 2u);
    EXPECT_EQ(b.source->SkippedCount(), 1u);
    EXPECT_EQ(b.Read(u"short.txt"), "s");
    EXPECT_EQ(b.Read(u"after.txt"), "a");
}

TEST(ZipArchive, UnsupportedMethodExistsButDoesNotRead)
{
    ZipWriter zip;
    zip.Add("bzip.bin", "BZh91AY&SY", ZipEntry::Stored).method = 12;
    zip.Add("lzma.bin", "xxxx", ZipEntry::Stored).method = 14;
    Archive a("zip-method", zip);
    ASSERT_TRUE(a.Open());
    EXPECT_TRUE(a.source->Exists(u"bzip.bin"));
    EXPECT_EQ(a.Read(u"bzip.bin"), "<fail>");
    EXPECT_EQ(a.Read(u"lzma.bin"), "<fail>");
}

// Every entry is checked against its CRC-32: a flipped byte anywhere in stored or deflated data,
// or a stream cut short, is a failure rather than wrong bytes delivered as success.
TEST(ZipArchive, DamagedDataFailsItsChecksum)
{
    const std::string text = Sample(20000, 7);
    ZipWriter zip;
    zip.Add("stored.txt", text, ZipEntry::Stored);
    zip.Add("deflated.txt", text, ZipEntry::Deflated);
    std::vector<uint32_t> offsets;
    const std::string good = zip.Build(&offsets);
    {
        Archive a("zip-crc-good", good);
        ASSERT_TRUE(a.Open());
        EXPECT_EQ(a.Read(u"stored.txt"), text);
        EXPECT_EQ(a.Read(u"deflated.txt"), text);
    }
    const size_t deflatedSize = zip.Entries()[1].payload.size();
    for (int i = 0; i < 10; ++i) {
        // Local headers are 30 bytes plus the name.
        std::string bad = good;
        bad[offsets[0] + 30 + 10 + size_t(i) * 1999 % text.size()] ^= 0x20;
        Archive a("zip-crc-stored", bad);
        ASSERT_TRUE(a.Open());
        EXPECT_EQ(a.Read(u"stored.txt"), "<fail>") << "flip " << i;
        bad = good;
        bad[offsets[1] + 30 + 12 + 40 + size_t(i) * 613 % (deflatedSize - 80)] ^= 0x01;
        Archive b("zip-crc-deflated", bad);
        ASSERT_TRUE(b.Open());
        EXPECT_EQ(b.Read(u"deflated.txt"), "<fail>") << "flip " << i;
    }

    ZipWriter cut;
    ZipEntry& e = cut.Add("cut.xml", text, ZipEntry::Deflated);
    e.payload.resize(e.payload.size() / 2);
    Archive c("zip-cut", cut);
    ASSERT_TRUE(c.Open());
    EXPECT_EQ(c.Read(u"cut.xml"), "<fail>");

    // Corrupt deflate data is a failure too.
    ZipWriter corrupt;
    corrupt.Add("bad.xml", "whatever", ZipEntry::Deflated).payload = std::string("\xFF\xFF\xFF\xFF", 4);
    Archive d("zip-corrupt", corrupt);
    ASSERT_TRUE(d.Open());
    EXPECT_EQ(d.Read(u"bad.xml"), "<fail>");
}

TEST(ZipArchive, DishonestSizesAreRefused)
{
    const std::string text = Sample(5000, 3);
    ZipWriter zip;
    zip.Add("good.txt", text, ZipEntry::Deflated);
    zip.Add("stored-mismatch", "12345678", ZipEntry::Stored).compressedSize = 4;
    zip.Add("huge-stored", "x", ZipEntry::Stored).uncompressedSize = FSCompressedSource::MaxEntrySize + 1;
    // A few bytes claiming 100 MB: more than deflate can ever produce from them.
    zip.Add("bomb", "tiny", ZipEntry::Deflated).uncompressedSize = 100u << 20;
    ZipEntry& big = zip.Add("big-deflate", "y", ZipEntry::Deflated);
    big.compressedSize = FSCompressedSource::MaxEntrySize + 1;
    zip.Add("after.txt", "after", ZipEntry::Stored);
    Archive a("zip-sizes", zip);
    ASSERT_TRUE(a.Open());
    EXPECT_EQ(a.Read(u"good.txt"), text);
    EXPECT_EQ(a.Read(u"stored-mismatch"), "<fail>");
    EXPECT_EQ(a.Read(u"huge-stored"), "<fail>");
    EXPECT_EQ(a.Read(u"bomb"), "<fail>");
    const std::string packed = std::to_string(zip.Entries()[3].payload.size());
    EXPECT_EQ(a.Problem(),
              "it claims 104857600 bytes unpacked from " + packed + " packed, more than deflate can make of them");
    EXPECT_EQ(a.Read(u"big-deflate"), "<fail>");
    EXPECT_EQ(a.Read(u"after.txt"), "after");
}

// Deflate makes at most 1032 bytes of each packed byte (plus a little for the stream's end): an
// honest entry near that ratio reads, and a claim one byte beyond the cap is refused, naming both
// sizes, before a buffer of the claimed size is made. Just inside the cap the data is inflated and
// fails only its checksum.
TEST(ZipArchive, TheUnpackedSizeIsCappedByTheDeflateRatio)
{
    const std::string zeros(1000000, '\0');
    ZipWriter zip;
    zip.Add("zeros.bin", zeros, ZipEntry::Deflated);
    const uint32_t packed = static_cast<uint32_t>(zip.Entries()[0].payload.size());
    ASSERT_GT(zeros.size(), size_t(packed) * 900) << "the sample must come near the cap";
    const uint32_t cap = packed * 1032 + 1024;
    zip.Add("at-cap.bin", zeros, ZipEntry::Deflated).uncompressedSize = cap;
    zip.Add("past-cap.bin", zeros, ZipEntry::Deflated).uncompressedSize = cap + 1;
    Archive a("zip-ratio", zip);
    ASSERT_TRUE(a.Open());
    EXPECT_EQ(a.Read(u"zeros.bin"), zeros);
    EXPECT_EQ(a.Read(u"at-cap.bin"), "<fail>");
    EXPECT_EQ(a.Problem(), "its checksum does not match");
    EXPECT_EQ(a.Read(u"past-cap.bin"), "<fail>");
    EXPECT_EQ(a.Problem(), "it claims " + std::to_string(cap + 1) + " bytes unpacked from " + std::to_string(packed) +
                               " packed, more than deflate can make of them");

    // Packed bytes enough for the ratio to allow more than an entry may hold: the entry cap refuses it.
    std::string noise(1100000, '\0');
    uint32_t seed = 5;
    for (char& c : noise)
        c = char((seed = seed * 1664525u + 1013904223u) >> 24);
    ZipWriter large;
    large.Add("past-max.bin", noise, ZipEntry::Deflated, 1).uncompressedSize = FSCompressedSource::MaxEntrySize + 1;
    Archive b("zip-entry-cap", large);
    ASSERT_TRUE(b.Open());
    EXPECT_EQ(b.Read(u"past-max.bin"), "<fail>");
    EXPECT_EQ(b.Problem(), "its sizes are too large");
}

TEST(ZipArchive, EntriesRunningPastTheirRoomAreRefused)
{
    ZipWriter zip;
    zip.Add("first.txt", "first entry", ZipEntry::Stored);
    // The last entry claims more data than lies before the central directory.
    ZipEntry& last = zip.Add("last.txt", Sample(300), ZipEntry::Deflated);
    last.compressedSize = static_cast<uint32_t>(last.payload.size()) + 40;
    Archive a("zip-past-end", zip);
    ASSERT_TRUE(a.Open());
    EXPECT_EQ(a.Read(u"first.txt"), "first entry");
    EXPECT_EQ(a.Read(u"last.txt"), "<fail>");

    // A local header offset past the end of the file.
    ZipWriter far;
    far.Add("far.txt", "far", ZipEntry::Stored).localHeaderOffset = 0x7FFFFFF0;
    Archive b("zip-far", far);
    ASSERT_TRUE(b.Open());
    EXPECT_TRUE(b.source->Exists(u"far.txt"));
    EXPECT_EQ(b.Read(u"far.txt"), "<fail>");

    // A local header that is not one.
    ZipWriter wrong;
    wrong.Add("a.txt", "aaaa", ZipEntry::Stored);
    wrong.Add("b.txt", "bbbb", ZipEntry::Stored).localHeaderOffset = 1;
    Archive c("zip-wrong-local", wrong);
    ASSERT_TRUE(c.Open());
    EXPECT_EQ(c.Read(u"b.txt"), "<fail>");
}

TEST(ZipArchive, OverlappingEntriesAreRefused)
{
    const std::string text = Sample(4000, 9);
    ZipWriter zip;
    zip.Add("shared.txt", text, ZipEntry::Deflated);
    zip.Add("own.txt", "own", ZipEntry::Stored);
    // Two more directory entries that point at the first entry's bytes, the way a
    // decompression bomb reuses one stream many times.
    for (const char* name : {"copy1.txt", "copy2.txt"}) {
        ZipEntry& copy = zip.Add(name, text, ZipEntry::Deflated);
        copy.localHeaderOffset = 0;
        copy.payload.clear();
        copy.compressedSize = static_cast<uint32_t>(zip.Entries()[0].payload.size());
    }
    Archive a("zip-overlap", zip);
    ASSERT_TRUE(a.Open());
    EXPECT_EQ(a.source->EntryCount(), 4u);
    EXPECT_TRUE(a.source->Exists(u"copy1.txt"));
    EXPECT_EQ(a.Read(u"own.txt"), "own");
    EXPECT_EQ(a.Read(u"shared.txt"), "<fail>");
    EXPECT_EQ(a.Read(u"copy1.txt"), "<fail>");
    EXPECT_EQ(a.Read(u"copy2.txt"), "<fail>");
}
