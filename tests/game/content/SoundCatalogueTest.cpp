// Every sound the game asks the audio catalogue for is catalogued and plays: the names are read
// from the game's own sources (its calls of PlayEffect/PlaySound, the tables it plays from and the
// interface scripts) and from the level catalogue's ambiences; each must be an "Audio\Audio.xml"
// entry of the right class whose file decodes from the data archive, and an effect must stay a
// short, soft accent.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "engine/core/files/FSCompressedSource.h"
#include "engine/core/files/FileManager.h"
#include "engine/core/strings/EngineString.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/core/xml/XmlNode.h"
#include "platform/audio/SoundCodec.h"
#include "tests/support/TestEnvironment.h"

using namespace QuillEngine;
namespace fs = std::filesystem;

namespace {

// An effect is an accent under the game's music: at most this long, and never near full scale.
constexpr double kMaxEffectSeconds = 2.0;
constexpr double kMaxEffectPeak = 0.75;

std::string Attribute(const XmlNode& node, const char16_t* name)
{
    String value;
    node.GetAttribute(name, value);
    return ToUtf8(value);
}

// Names in quotes on the source lines that play a sound or fill a table of sounds to play (a
// table's initialiser may run over several lines, up to its closing brace).
void CollectNames(const fs::path& file, std::map<std::string, std::string>& names)
{
    static const std::regex kPlays(R"(PlayEffect\(|PlaySound\(|m_ambientName =)");
    static const std::regex kTable(R"(k(Sounds|MusicTracks)\[\w*\] = \{)");
    static const std::regex kQuoted(R"(u?"([A-Za-z][A-Za-z0-9]*)\")");
    std::ifstream in(file);
    std::string line;
    bool inTable = false;
    for (int number = 1; std::getline(in, line); ++number) {
        const bool tableStarts = std::regex_search(line, kTable);
        const bool taken = inTable || tableStarts || std::regex_search(line, kPlays);
        if (tableStarts || inTable)
            inTable = line.find('}') == std::string::npos;
        if (!taken)
            continue;
        for (auto it = std::sregex_iterator(line.begin(), line.end(), kQuoted); it != std::sregex_iterator(); ++it) {
            // A stem joined to a number ("Choice" .. scene) plays the numbered sounds from 1 on.
            const std::string after = it->suffix().str();
            const bool stem = after.find_first_not_of(' ') != std::string::npos &&
                              after.compare(after.find_first_not_of(' '), 2, "..") == 0;
            names.emplace((*it)[1].str() + (stem ? "1" : ""), file.filename().string() + ":" + std::to_string(number));
        }
    }
}

TEST(SoundCatalogue, EverySoundTheGamePlaysIsCataloguedAndPlays)
{
    const auto bin = fs::read_symlink("/proc/self/exe").parent_path();
    if (!fs::exists(bin / "data.dat"))
        GTEST_SKIP() << "the data archives are not built (target quill_data)";
    const fs::path root = QuillTest::SourceRoot();

    std::map<std::string, std::string> played; // name -> where it is asked for
    for (const auto& entry : fs::recursive_directory_iterator(root / "game"))
        if (entry.path().extension() == ".cpp" || entry.path().extension() == ".h")
            CollectNames(entry.path(), played);
    for (const auto& entry : fs::directory_iterator(root / "data" / "ui" / "script"))
        if (entry.path().extension() == ".lua")
            CollectNames(entry.path(), played);
    // The scan reads what the board, the cards, the story and the book play; if it finds less,
    // the calls were renamed and this test would pass on nothing.
    for (const char* known : {"FindItem", "MatchFlip", "ChoiceMade", "LevelStart", "Choice1", "Click",
                              "BackgroundSerenade", "BackgroundNocturne", "Environment1"})
        ASSERT_TRUE(played.count(known)) << known << " not found among the game's sounds";

    FileManager files;
    ASSERT_TRUE(files.AddSource(new FSCompressedSource(FromUtf8((bin / "data.dat").string()), u"data")));
    XmlCache cache(&files);
    const XmlNode* levels = cache.Get(u"Levels\\levels.xml");
    ASSERT_NE(levels, nullptr);
    for (const auto& level : levels->Children())
        for (const auto& photo : level->Children())
            if (const std::string sound = Attribute(*photo, u"sound"); !sound.empty())
                played.emplace(sound, "photo " + Attribute(*photo, u"number") + " of levels.xml");

    const XmlNode* audio = cache.Get(u"Audio\\Audio.xml");
    ASSERT_NE(audio, nullptr);
    std::map<std::string, const XmlNode*> catalogue;
    for (const auto& sound : audio->Children())
        if (sound->GetName() == u"Sound")
            catalogue.emplace(Attribute(*sound, u"name"), sound.get());

    for (const auto& [name, where] : played) {
        SCOPED_TRACE(name + " (played at " + where + ")");
        const auto found = catalogue.find(name);
        ASSERT_NE(found, catalogue.end()) << "not in the audio catalogue";
        const std::string kind = Attribute(*found->second, u"class");
        if (name.rfind("Background", 0) == 0 || name == "WeddingMarch")
            EXPECT_EQ(kind, "Music");
        else if (name.rfind("Environment", 0) == 0)
            EXPECT_EQ(kind, "Ambient");
        else
            EXPECT_EQ(kind, "Effects");

        const FileHandle bytes = files.LoadFile(FromUtf8(Attribute(*found->second, u"source")));
        ASSERT_TRUE(bytes) << "no file";
        QuillPlatform::Audio::DecodedSound decoded;
        ASSERT_EQ(QuillPlatform::Audio::DecodeSound(bytes.Data(), bytes.Size(), decoded),
                  QuillPlatform::Audio::Result::Ok);
        if (kind != "Effects")
            continue;
        const double seconds = double(decoded.frames) / decoded.sampleRate;
        int peak = 0;
        for (int16_t sample : decoded.samples)
            peak = std::max(peak, std::abs(int(sample)));
        EXPECT_LE(seconds, kMaxEffectSeconds);
        EXPECT_LE(peak / 32768.0, kMaxEffectPeak) << "too loud for an effect";
        EXPECT_GT(peak / 32768.0, 0.05) << "silent";
    }
}

} // namespace
