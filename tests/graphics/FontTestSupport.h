#pragma once
// Font files for font tests: the system's DejaVu faces copied into a private "fonts" folder that
// the file manager reads, with the test's own "fonts\fonts.xml".

#include <filesystem>
#include <string>

#include "tests/support/TestEnvironment.h"

namespace QuillTest {

inline const std::filesystem::path& SystemFontDir()
{
    static const std::filesystem::path dir = "/usr/share/fonts/truetype/dejavu";
    return dir;
}

// Copies the regular and bold sans faces and the regular mono face (which has no kerning) into
// `folder`/fonts/ and writes `config` as fonts.xml there.
inline void WriteFontFolder(const std::filesystem::path& folder, const std::string& config)
{
    const std::filesystem::path fonts = folder / "fonts";
    std::filesystem::create_directories(fonts);
    for (const char* name : {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "DejaVuSansMono.ttf"})
        std::filesystem::copy_file(SystemFontDir() / name, fonts / name,
                                   std::filesystem::copy_options::overwrite_existing);
    WriteFile(fonts / "fonts.xml", config);
}

} // namespace QuillTest
