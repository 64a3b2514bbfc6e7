// quill_pack <folder> <archive>: packs every file below <folder> into a ZIP archive the engine
// reads. Text-like files are deflated; pictures, sounds and other already-compressed files are
// stored, as is anything that deflate would not make smaller. Entries are sorted by name and
// carry fixed timestamps, so the same folder always gives the same bytes.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "tools/ZipWriter.h"

namespace fs = std::filesystem;

namespace {

bool IsAlreadyCompressed(const fs::path& path)
{
    static const std::set<std::string> kinds = {".png",  ".jpg", ".jpeg", ".ogg", ".mp3",
                                                ".flac", ".gz",  ".zip",  ".dat", ".swf"};
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return kinds.count(ext) != 0;
}

bool ReadWhole(const fs::path& path, std::string& out)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    out.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: quill_pack <folder> <archive>\n");
        return 2;
    }
    const fs::path folder = argv[1];
    const fs::path archive = argv[2];
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        std::fprintf(stderr, "quill_pack: %s is not a folder\n", folder.c_str());
        return 1;
    }

    std::vector<std::string> names;
    for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const std::string leaf = it->path().filename().string();
        if (!leaf.empty() && leaf[0] == '.') { // editor and VCS droppings
            if (it->is_directory())
                it.disable_recursion_pending();
            continue;
        }
        if (it->is_regular_file())
            names.push_back(it->path().lexically_relative(folder).generic_string());
    }
    if (ec) {
        std::fprintf(stderr, "quill_pack: cannot list %s: %s\n", folder.c_str(), ec.message().c_str());
        return 1;
    }
    std::sort(names.begin(), names.end());
    if (names.size() > 0xFFFF) {
        std::fprintf(stderr, "quill_pack: too many files (%zu)\n", names.size());
        return 1;
    }

    QuillTools::ZipWriter zip;
    size_t stored = 0, deflated = 0;
    for (const std::string& name : names) {
        if (name.size() >= 260) {
            std::fprintf(stderr, "quill_pack: name too long: %s\n", name.c_str());
            return 1;
        }
        std::string data;
        if (!ReadWhole(folder / name, data) || data.size() > (size_t(1) << 30)) {
            std::fprintf(stderr, "quill_pack: cannot read %s\n", name.c_str());
            return 1;
        }
        bool store = IsAlreadyCompressed(name);
        if (!store) {
            QuillTools::ZipEntry& e = zip.Add(name, data, QuillTools::ZipEntry::Deflated);
            if (e.payload.size() < data.size()) {
                ++deflated;
                continue;
            }
            zip.Entries().pop_back();
        }
        zip.Add(name, data, QuillTools::ZipEntry::Stored);
        ++stored;
    }

    const std::string bytes = zip.Build();
    if (bytes.size() > 0xFFFFFFFFull) {
        std::fprintf(stderr, "quill_pack: archive over 4 GiB\n");
        return 1;
    }
    // Written beside the target and renamed, so an interrupted build never leaves half an archive.
    fs::path temp = archive;
    temp += ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) {
            std::fprintf(stderr, "quill_pack: cannot write %s\n", temp.c_str());
            return 1;
        }
    }
    fs::rename(temp, archive, ec);
    if (ec) {
        std::fprintf(stderr, "quill_pack: cannot write %s: %s\n", archive.c_str(), ec.message().c_str());
        fs::remove(temp, ec);
        return 1;
    }
    std::printf("quill_pack: %s: %zu files (%zu deflated, %zu stored), %zu bytes\n", archive.c_str(), names.size(),
                deflated, stored, bytes.size());
    return 0;
}
