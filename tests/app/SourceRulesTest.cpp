// The layering the build relies on, checked over the committed sources: the engine and the game
// reach the system only through platform/, core stays below graphics and script, and the engine
// never reaches into the game.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "tests/support/TestEnvironment.h"

namespace fs = std::filesystem;

namespace {

struct Include {
    std::string file; // relative to the repository root
    std::string name;
    bool angled = false;
};

std::vector<Include> IncludesBelow(const std::string& folder)
{
    std::vector<Include> out;
    const fs::path root = QuillTest::SourceRoot();
    for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
        const std::string ext = entry.path().extension().string();
        if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp"))
            continue;
        std::ifstream in(entry.path());
        std::string line;
        while (std::getline(in, line)) {
            const size_t start = line.find_first_not_of(" \t");
            if (start == std::string::npos || line.compare(start, 8, "#include") != 0)
                continue;
            const size_t open = line.find_first_of("<\"", start + 8);
            if (open == std::string::npos)
                continue; // a macro include (FreeType's)
            const size_t close = line.find(line[open] == '<' ? '>' : '"', open + 1);
            if (close == std::string::npos)
                continue;
            out.push_back({fs::relative(entry.path(), root).string(), line.substr(open + 1, close - open - 1),
                           line[open] == '<'});
        }
    }
    return out;
}

// The C++ library's headers have bare names; the few libraries the engine wraps as its own
// formats are named. Anything else (SDL, OpenGL, POSIX) belongs behind platform/.
bool AllowedLibraryHeader(const std::string& name)
{
    static const std::set<std::string> wrapped = {"zlib.h",     "png.h",     "jpeglib.h", "jerror.h",
                                                  "ft2build.h", "tinyxml.h", "lua.hpp",  "isa-l/crc.h",
                                                  "isa-l/igzip_lib.h"};
    return wrapped.count(name) != 0 || name.find_first_of("./") == std::string::npos;
}

} // namespace

TEST(SourceRules, EngineAndGameIncludeNoSystemHeaders)
{
    for (const char* folder : {"engine", "game"}) {
        const std::vector<Include> includes = IncludesBelow(folder);
        EXPECT_GT(includes.size(), 100u) << folder;
        for (const Include& inc : includes)
            EXPECT_TRUE(!inc.angled || AllowedLibraryHeader(inc.name)) << inc.file << " includes <" << inc.name << ">";
    }
}

TEST(SourceRules, CoreStaysBelowGraphicsAndScriptAndTheEngineBelowTheGame)
{
    for (const Include& inc : IncludesBelow("engine")) {
        EXPECT_NE(inc.name.rfind("game/", 0), 0u) << inc.file;
        if (inc.file.rfind("engine/core/", 0) == 0) {
            for (const char* above : {"engine/graphics/", "engine/script/", "engine/app/"})
                EXPECT_NE(inc.name.rfind(above, 0), 0u) << inc.file << " includes " << inc.name;
        }
    }
    for (const Include& inc : IncludesBelow("platform"))
        EXPECT_TRUE(inc.name.rfind("engine/", 0) != 0 && inc.name.rfind("game/", 0) != 0) << inc.file;
}
