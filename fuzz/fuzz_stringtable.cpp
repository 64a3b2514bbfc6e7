// Arbitrary bytes as "StringTable.xml", loaded through the document cache as the engine loads it
// (white space kept), then every text looked up: ids in any base, repeated ids, missing texts.

#include "engine/core/files/FSLooseFiles.h"
#include "engine/core/files/FileManager.h"
#include "engine/core/strings/EngineString.h"
#include "engine/core/strings/StringTable.h"
#include "engine/core/xml/XmlCache.h"
#include "fuzz/FuzzFolder.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

using namespace QuillEngine;

namespace {

std::string g_folder;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const std::string folder = QuillFuzz::MakeRunFolder("strings");
    const char* root = folder.c_str();
    g_folder = std::string(root) + "/";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FILE* file = std::fopen((g_folder + "StringTable.xml").c_str(), "wb");
    if (!file)
        std::abort();
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    FileManager files;
    files.AddSource(std::make_unique<FSLooseFiles>(FromUtf8(g_folder), u"data"));
    files.SelectGroup(u"data");
    XmlCache cache(&files);
    StringTable table(&cache);
    table.Load();
    for (uint32_t id : {0u, 1u, 7u, 0x10u, 0xFFFFFFFFu})
        (void)table.Get(id);
    return 0;
}
