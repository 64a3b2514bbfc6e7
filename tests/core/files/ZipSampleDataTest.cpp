#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "engine/core/files/FSCompressedSource.h"
#include "engine/core/files/FileManager.h"

using namespace QuillEngine;

// The packed sample data beside the test program, mounted the way the engine mounts it.
TEST(ZipSampleData, PackagesOpenAndHoldTheirStartUpFiles)
{
    const auto bin = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    if (!std::filesystem::exists(bin / "data.dat"))
        GTEST_SKIP() << "the data archives are not built (target quill_data)";

    FileManager fm;
    for (const char* package : {"data", "ui", "concentration"}) {
        const std::string path = (bin / (std::string(package) + ".dat")).string();
        ASSERT_TRUE(fm.AddSource(new FSCompressedSource(FromUtf8(path), Widen(package)))) << path;
        ASSERT_TRUE(fm.SelectGroup(Widen(package)));
        FileHandle libraries = fm.LoadFile(u"libraries.xml");
        ASSERT_TRUE(libraries.IsValid()) << package;
        EXPECT_NE(std::string(reinterpret_cast<const char*>(libraries.Data()), libraries.Size()).find("<libraries"),
                  std::string::npos);
    }
    ASSERT_TRUE(fm.SelectGroup(u"data"));
    FileHandle strings = fm.LoadFile(u"StringTable.xml");
    ASSERT_TRUE(strings.IsValid());
    const std::string text(reinterpret_cast<const char*>(strings.Data()), strings.Size());
    for (const char* id : {"\"893\"", "\"895\"", "\"897\"", "\"901\""})
        EXPECT_NE(text.find(id), std::string::npos) << id;
    EXPECT_TRUE(fm.Exists(u"Engine.xml"));
}
