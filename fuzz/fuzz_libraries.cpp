// Arbitrary bytes as "libraries.xml", the import list of the definition files, read the way a
// package mount reads it: through the document cache over a loose folder that also holds two
// small library files (one of them refers to the other). Listed names may be missing, repeated,
// unsafe, or the list itself.

#include "engine/core/files/FSLooseFiles.h"
#include "engine/core/files/FileManager.h"
#include "engine/core/strings/EngineString.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/scene/DefinitionLibrary.h"
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

void Put(const std::string& name, const void* data, size_t size)
{
    FILE* file = std::fopen((g_folder + name).c_str(), "wb");
    if (!file)
        std::abort();
    std::fwrite(data, 1, size, file);
    std::fclose(file);
}

void Put(const std::string& name, const std::string& text)
{
    Put(name, text.data(), text.size());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const std::string folder = QuillFuzz::MakeRunFolder("libraries");
    const char* root = folder.c_str();
    g_folder = std::string(root) + "/";
    Put("Cake.xml", "<Library><Definition type=\"image\" name=\"Cake\" src=\"Pictures\\Cake.png\" "
                    "bi=\"8 8 8 8 0 0 0 0\"/></Library>");
    Put("Table.xml", "<Library><Definition type=\"movie\" name=\"Table\" length=\"2\" fps=\"30\">"
                     "<Instance type=\"library\" definition=\"Cake\" instancename=\"cake\" depth=\"1\" create=\"0\" "
                     "death=\"2\" regx=\"0\" regy=\"0\"/></Definition></Library>");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Put("libraries.xml", data, size);
    FileManager files;
    files.AddSource(std::make_unique<FSLooseFiles>(FromUtf8(g_folder), u"data"));
    files.SelectGroup(u"data");
    XmlCache cache(&files);
    DefinitionLibrary library;
    XmlNode* list = cache.Get(u"libraries.xml");
    if (!list)
        return 0;
    library.ImportLibraries(cache, *list, nullptr);
    library.CheckReferences();
    for (const auto& [name, definitions] : library.Definitions()) {
        if (definitions.empty() || library.GetDefinition(name, -1) != definitions.back().get())
            std::abort();
    }
    return 0;
}
