// bench_text [font folder]: three figures of the text path on the software device, with DejaVu
// Sans at 18 pixels (the folder defaults to the system's DejaVu fonts).
//
// (1) render_ms: a new string ("Golden key 123", 256x32 box) laid out, rasterised into a fresh
//     texture and cached; median over 300 distinct strings.
// (2) lookup_ns: a cached string found again, as every drawn frame does; 40 strings in the
//     cache, 200000 lookups round robin.
// (3) measure_us: measuring a 41-character line.
//
// Goals: render_ms at most 0.5, lookup_ns at most 200.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "engine/core/files/FSLooseFiles.h"
#include "engine/core/files/FileManager.h"
#include "engine/core/resources/ResourceCache.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/graphics/render/RenderManager.h"
#include "engine/graphics/text/TextRenderer.h"

namespace fs = std::filesystem;
using namespace QuillEngine;
using namespace QuillD3D;

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double MsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    const fs::path fontDir = argc > 1 ? fs::path(argv[1]) : fs::path("/usr/share/fonts/truetype/dejavu");
    // The font manager reads "fonts\" + file: a private folder holds the configuration and a copy.
    const fs::path root = fs::temp_directory_path() / ("bench_text_" + std::to_string(::getpid()));
    fs::create_directories(root / "fonts");
    fs::copy_file(fontDir / "DejaVuSans.ttf", root / "fonts" / "DejaVuSans.ttf", fs::copy_options::overwrite_existing);
    {
        FILE* f = std::fopen((root / "fonts" / "fonts.xml").c_str(), "wb");
        if (!f)
            return 1;
        std::fputs("<fonts><file src=\"DejaVuSans.ttf\"/></fonts>", f);
        std::fclose(f);
    }

    int status = 0;
    {
        FileManager files;
        files.AddSource(new FSLooseFiles(FromUtf8(root.string() + "/"), u"data"));
        XmlCache xml(&files);
        ResourceCache cache;
        CRenderManager renderer(nullptr);
        renderer.SetBackends(Backend::Soft, Backend::Soft);
        renderer.SetDevicePreferences(true, false);
        renderer.SetMessageBoxFunction([](const String&, const String&) {});
        TextRenderer* text = nullptr;
        int32_t font = -1;
        if (renderer.Init(nullptr, false)) {
            text = renderer.GetTextRenderer();
            font = text->AcquireFont(FontKey(u"DejaVu Sans", 18));
        }
        if (font < 0) {
            std::fprintf(stderr, "bench_text: no software device or no font\n");
            status = 1;
        } else {
            std::vector<double> renders;
            for (int i = 0; i < 300; ++i) {
                const String s = u"Golden key " + Widen(std::to_string(i));
                const auto start = Clock::now();
                const TextQuad q = text->GetString(font, s, 256, 32, 0x11);
                renders.push_back(MsSince(start));
                if (!q.texture)
                    status = 1;
            }
            text->FlushAll();

            std::vector<String> strings;
            for (int i = 0; i < 40; ++i) {
                strings.push_back(u"Find the lantern " + Widen(std::to_string(i)));
                text->GetString(font, strings.back(), 256, 32, 0x10);
            }
            const int lookups = 200000;
            uint64_t sink = 0;
            auto start = Clock::now();
            for (int i = 0; i < lookups; ++i)
                sink += text->GetString(font, strings[size_t(i) % strings.size()], 256, 32, 0x10).texture;
            const double lookupNs = MsSince(start) * 1e6 / lookups;

            const String line = u"The quick brown fox jumps over the lazy d";
            int32_t w = 0, h = 0;
            const int measures = 2000;
            start = Clock::now();
            for (int i = 0; i < measures; ++i)
                text->MeasureText(font, line, w, h);
            const double measureUs = MsSince(start) * 1e3 / measures;

            const double renderMs = Median(renders);
            std::printf("text on the soft device, DejaVu Sans 18 px:\n");
            std::printf("  new string rendered and cached: %.4f ms (median of 300)\n", renderMs);
            std::printf("  cached string lookup: %.1f ns (%d lookups over 40 strings; check %llu)\n", lookupNs, lookups,
                        static_cast<unsigned long long>(sink % 7));
            std::printf("  measuring a %zu-character line: %.2f us (%dx%d)\n", line.size(), measureUs, w, h);
            std::printf("RESULT text render_ms=%.4f lookup_ns=%.1f measure_us=%.2f\n", renderMs, lookupNs, measureUs);
        }
    }
    std::error_code ec;
    fs::remove_all(root, ec);
    return status;
}
