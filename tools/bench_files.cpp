// Reads every entry of a ~20 MB archive of mixed stored and deflated entries through the file
// manager, and the same entries straight with pread + zlib, and compares the times.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "engine/core/files/FSCompressedSource.h"
#include "engine/core/files/FileManager.h"
#include "tools/ZipWriter.h"

using namespace QuillEngine;
namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

uint32_t g_seed = 12345;
uint32_t Next()
{
    g_seed = g_seed * 1664525u + 1013904223u;
    return g_seed;
}

// Markup-like text that deflates to roughly a third.
std::string MakeText(size_t size)
{
    static const char* words[] = {"<Movie name=\"", "\" x=\"", "\" y=\"", "\"/>\n", "<Image ", "frame", "label",
                                  "sparkle",        "book",    "page",    "card",   "hint",    "  "};
    std::string out;
    out.reserve(size + 32);
    while (out.size() < size) {
        uint32_t r = Next();
        out += words[(r >> 8) % 13];
        out += std::to_string((r >> 16) % 1000);
    }
    out.resize(size);
    return out;
}

// Noise standing in for already-compressed pictures and sounds.
std::string MakeNoise(size_t size)
{
    std::string out(size, '\0');
    for (char& c : out)
        c = static_cast<char>(Next() >> 24);
    return out;
}

struct Item {
    std::string name;
    uint16_t method;
    uint32_t dataOffset;
    uint32_t compressedSize;
    uint32_t size;
};

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

} // namespace

int main()
{
    char tmpl[] = "/tmp/bench_files-XXXXXX";
    if (!mkdtemp(tmpl)) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path dir = tmpl;
    const fs::path archive = dir / "bench.dat";

    QuillTools::ZipWriter zip;
    for (int i = 0; i < 240; ++i)
        zip.Add("Scripts\\s" + std::to_string(i) + ".xml", MakeText(40000 + (Next() % 60000)),
                QuillTools::ZipEntry::Deflated, 6);
    for (int i = 0; i < 60; ++i)
        zip.Add("Pictures\\p" + std::to_string(i) + ".png", MakeNoise(150000 + (Next() % 200000)),
                QuillTools::ZipEntry::Stored);
    std::vector<uint32_t> offsets;
    const std::string bytes = zip.Build(&offsets);
    {
        FILE* f = std::fopen(archive.c_str(), "wb");
        if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) {
            std::fprintf(stderr, "cannot write %s\n", archive.c_str());
            return 1;
        }
    }

    std::vector<Item> items;
    size_t totalOut = 0, deflated = 0;
    for (size_t i = 0; i < zip.Entries().size(); ++i) {
        const auto& e = zip.Entries()[i];
        items.push_back({e.name, e.method, static_cast<uint32_t>(offsets[i] + 30 + e.name.size()),
                         static_cast<uint32_t>(e.payload.size()), static_cast<uint32_t>(e.data.size())});
        totalOut += e.data.size();
        deflated += e.method == QuillTools::ZipEntry::Deflated;
    }
    std::printf("archive: %.1f MB, %zu entries (%zu deflated, %zu stored), %.1f MB unpacked\n", bytes.size() / 1e6,
                items.size(), deflated, items.size() - deflated, totalOut / 1e6);

    FileManager fm;
    if (!fm.AddSource(new FSCompressedSource(FromUtf8(archive.string()), u"System"))) {
        std::fprintf(stderr, "archive does not open\n");
        return 1;
    }
    std::vector<String> names;
    for (const Item& item : items)
        names.push_back(FromUtf8(item.name));

    // Both paths must deliver the entries exactly.
    for (size_t i = 0; i < items.size(); ++i) {
        FileHandle file = fm.LoadFile(names[i]);
        const std::string& want = zip.Entries()[i].data;
        if (file.Size() != want.size() || std::memcmp(file.Data(), want.data(), want.size()) != 0) {
            std::fprintf(stderr, "file manager read %s wrongly\n", items[i].name.c_str());
            return 1;
        }
    }

    const int fd = ::open(archive.c_str(), O_RDONLY | O_CLOEXEC);
    std::vector<uint8_t> input;
    volatile uint32_t sink = 0;

    auto runManager = [&] {
        auto start = Clock::now();
        for (const String& name : names) {
            FileHandle file = fm.LoadFile(name);
            sink = sink + file.Data()[file.Size() / 2];
        }
        return Clock::now() - start;
    };
    auto runZlib = [&] {
        auto start = Clock::now();
        for (const Item& item : items) {
            std::unique_ptr<uint8_t[]> out(new uint8_t[item.size]);
            if (item.method == QuillTools::ZipEntry::Stored) {
                if (::pread(fd, out.get(), item.size, item.dataOffset) != ssize_t(item.size))
                    std::abort();
            } else {
                if (input.size() < item.compressedSize)
                    input.resize(item.compressedSize);
                if (::pread(fd, input.data(), item.compressedSize, item.dataOffset) != ssize_t(item.compressedSize))
                    std::abort();
                z_stream zs{};
                inflateInit2(&zs, -MAX_WBITS);
                zs.next_in = input.data();
                zs.avail_in = item.compressedSize;
                zs.next_out = out.get();
                zs.avail_out = item.size;
                if (inflate(&zs, Z_FINISH) != Z_STREAM_END)
                    std::abort();
                inflateEnd(&zs);
            }
            sink = sink + out[item.size / 2];
        }
        return Clock::now() - start;
    };

    runManager(); // warm the page cache and the allocator
    runZlib();
    const int rounds = 9;
    Clock::duration bestManager = Clock::duration::max(), bestZlib = Clock::duration::max();
    for (int r = 0; r < rounds; ++r) {
        bestManager = std::min(bestManager, runManager());
        bestZlib = std::min(bestZlib, runZlib());
    }
    ::close(fd);

    const double fmMs = Ms(bestManager), zlibMs = Ms(bestZlib);
    std::printf("file manager: %.2f ms per pass (best of %d)\n", fmMs, rounds);
    std::printf("pread + zlib: %.2f ms per pass (best of %d)\n", zlibMs, rounds);
    std::printf("ratio: %.3f\n", fmMs / zlibMs);
    std::error_code ec;
    fs::remove_all(dir, ec);
    std::printf("RESULT files fm_ms=%.2f zlib_ms=%.2f ratio=%.3f\n", fmMs, zlibMs, fmMs / zlibMs);
    return 0;
}
