#pragma once
// Font files for font tests: the system's DejaVu faces copied into a private "fonts" folder that
// the file manager reads, with the test's own "fonts\fonts.xml".

#include <filesystem>
#include <memory>
#include <string>

#include "engine/core/files/FSLooseFiles.h"
#include "engine/core/files/FileManager.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/graphics/text/FontManager.h"
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

// A font folder with the regular sans and mono faces, mounted in a file manager, with a font
// manager that has read its configuration. Destroyed in the reverse order of making.
struct SansAndMonoFonts {
    explicit SansAndMonoFonts(const std::string& stem)
    {
        folder = MakeTempDir(stem);
        WriteFontFolder(folder, "<fonts><file src=\"DejaVuSans.ttf\"/><file src=\"DejaVuSansMono.ttf\"/></fonts>");
        files = std::make_unique<QuillEngine::FileManager>();
        files->AddSource(std::make_unique<QuillEngine::FSLooseFiles>(
            QuillEngine::FromUtf8(folder.string() + "/"), u"System"));
        xml = std::make_unique<QuillEngine::XmlCache>(files.get());
        manager = std::make_unique<QuillEngine::FontManager>();
        manager->LoadConfiguration();
    }
    ~SansAndMonoFonts()
    {
        manager.reset();
        xml.reset();
        files.reset();
    }

    std::filesystem::path folder;
    std::unique_ptr<QuillEngine::FileManager> files;
    std::unique_ptr<QuillEngine::XmlCache> xml;
    std::unique_ptr<QuillEngine::FontManager> manager;
};

} // namespace QuillTest
