// The layering the build relies on, checked over the committed sources: the engine and the game
// reach the system only through platform/, core stays below graphics and script, the engine
// never reaches into the game, and the game's rooms include only downward, without circles.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
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
    static const std::set<std::string> wrapped = {"zlib.h",   "png.h",       "jpeglib.h",
                                                  "jerror.h", "ft2build.h",  "tinyxml.h",
                                                  "lua.hpp",  "isa-l/crc.h", "isa-l/igzip_lib.h"};
    return wrapped.count(name) != 0 || name.find_first_of("./") == std::string::npos;
}

// The game's rooms, top to bottom: a room includes only rooms of a lower rank (and itself). The
// areas (the album, the boards, the mini-games, the intro) share a rank, so none reaches another.
int GameRoomRank(const std::string& room)
{
    static const std::map<std::string, int> ranks = {
        {"app", 5},     {"book", 4},    {"board", 4},  {"cards", 4},    {"story", 4},  {"intro", 4},
        {"screens", 3}, {"profile", 2}, {"states", 1}, {"feedback", 1}, {"curves", 1},
    };
    const auto found = ranks.find(room);
    return found == ranks.end() ? -1 : found->second;
}

// "game/board/Item.cpp" -> "board"
std::string GameRoomOf(const std::string& path)
{
    const size_t start = path.find('/') + 1;
    return path.substr(start, path.find('/', start) - start);
}

// A header and its source are one unit: "game/board/Item".
std::string UnitOf(const std::string& path)
{
    return path.substr(0, path.rfind('.'));
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

TEST(SourceRules, TheGameRoomsIncludeOnlyDownwardAndWithoutCircles)
{
    const std::vector<Include> includes = IncludesBelow("game");
    std::map<std::string, std::set<std::string>> uses;
    for (const Include& inc : includes) {
        if (inc.angled || inc.name.rfind("game/", 0) != 0)
            continue;
        const std::string from = GameRoomOf(inc.file);
        const std::string to = GameRoomOf(inc.name);
        ASSERT_GE(GameRoomRank(from), 0) << "a room with no rank: " << inc.file;
        ASSERT_GE(GameRoomRank(to), 0) << "a room with no rank: " << inc.name;
        EXPECT_TRUE(from == to || GameRoomRank(to) < GameRoomRank(from)) << inc.file << " includes " << inc.name;
        if (UnitOf(inc.file) != UnitOf(inc.name))
            uses[UnitOf(inc.file)].insert(UnitOf(inc.name));
    }
    // No unit reaches itself through others (a depth-first walk that meets a unit still open).
    std::map<std::string, int> mark; // 1 open, 2 done
    std::vector<std::string> path;
    std::function<void(const std::string&)> visit = [&](const std::string& unit) {
        mark[unit] = 1;
        path.push_back(unit);
        for (const std::string& next : uses[unit]) {
            if (mark[next] == 1) {
                std::string circle;
                for (auto it = std::find(path.begin(), path.end(), next); it != path.end(); ++it)
                    circle += *it + " -> ";
                ADD_FAILURE() << "include circle: " << circle << next;
            } else if (mark[next] == 0) {
                visit(next);
            }
        }
        path.pop_back();
        mark[unit] = 2;
    };
    for (const auto& [unit, targets] : uses) {
        if (mark[unit] == 0)
            visit(unit);
    }
}
