// The packed fonts configuration: the aliases the text instances use reach real faces in data.dat.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "engine/core/files/FSCompressedSource.h"
#include "engine/core/files/FileManager.h"
#include "engine/core/strings/EngineString.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/graphics/text/FontManager.h"

using namespace QuillEngine;

namespace {

TEST(FontSampleData, AliasesResolveToThePackedFaces)
{
    const auto bin = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    if (!std::filesystem::exists(bin / "data.dat"))
        GTEST_SKIP() << "the data archives are not built (target quill_data)";
    FileManager files;
    ASSERT_TRUE(files.AddSource(new FSCompressedSource(FromUtf8((bin / "data.dat").string()), u"data")));
    XmlCache xml(&files);
    FontManager manager;
    manager.LoadConfiguration();
    const struct {
        const char16_t* alias;
        bool bold;
        const char* family;
        bool boldFace; // the title face has no bold cut: bold titles use the one face
    } cases[] = {
        {u"Velvet Body", false, "TeX Gyre Pagella", false},
        {u"Velvet Body", true, "TeX Gyre Pagella", true},
        {u"Velvet Title", false, "TeX Gyre Chorus", false},
        {u"Velvet Title", true, "TeX Gyre Chorus", false},
        {u"Lucida Console", false, "DejaVu Sans Mono", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.alias) + (c.bold ? " bold" : ""));
        const FontManager::Resolved resolved = manager.ResolveFont(FontKey(c.alias, 18, c.bold), false);
        ASSERT_NE(resolved.face, nullptr);
        EXPECT_EQ(std::string(resolved.face->family_name), c.family);
        EXPECT_EQ((resolved.face->style_flags & FT_STYLE_FLAG_BOLD) != 0, c.boldFace);
    }
}

} // namespace
