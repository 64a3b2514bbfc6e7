// The real program started on broken data: each case gets one message naming the file and what
// is wrong (stderr, as the tests run headless), a non-zero exit, and the player's own files as
// they were.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "platform/system/Process.h"
#include "tests/game/play/PlayData.h"
#include "tests/support/TestEnvironment.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status = -1;
    std::string output;
};

struct EntryData {
    size_t offset = 0; // where the entry's stored bytes begin
    size_t length = 0;
};

// Where each entry's stored bytes lie in a ZIP archive, read from its central directory.
std::map<std::string, EntryData> EntriesOf(const std::string& zip)
{
    auto le16 = [&](size_t at) { return size_t(uint8_t(zip.at(at))) | size_t(uint8_t(zip.at(at + 1))) << 8; };
    auto le32 = [&](size_t at) { return le16(at) | le16(at + 2) << 16; };
    std::map<std::string, EntryData> entries;
    const size_t end = zip.rfind(std::string("PK\x05\x06", 4));
    if (end == std::string::npos)
        return entries;
    size_t at = le32(end + 16);
    for (size_t i = 0, count = le16(end + 10); i < count; ++i) {
        const size_t nameLength = le16(at + 28);
        const size_t local = le32(at + 42);
        entries[zip.substr(at + 46, nameLength)] = {local + 30 + le16(local + 26) + le16(local + 28), le32(at + 20)};
        at += 46 + nameLength + le16(at + 30) + le16(at + 32);
    }
    return entries;
}

// The entries the program named as damaged, each as often as it named it.
std::map<std::string, int> NamedDamage(const std::string& output, const std::string& archive)
{
    std::map<std::string, int> named;
    const std::string prefix = "The game's data file \"" + archive + "\" is damaged: its entry \"";
    for (size_t at = output.find(prefix); at != std::string::npos; at = output.find(prefix, at + 1)) {
        const size_t begin = at + prefix.size();
        ++named[output.substr(begin, output.find('"', begin) - begin)];
    }
    return named;
}

class BadDataTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = QuillTest::MakeTempDir("bad-data");
        program = root / "game";
        fs::create_directories(program);
        const fs::path bin = QuillPlatform::ProgramFolder();
        for (const char* file : {"VelvetAisle", "data.dat", "ui.dat", "concentration.dat"})
            fs::copy_file(bin / file, program / file);
        // The player's files, which no failed start may touch.
        save = root / "data" / "Quillon Games" / "Velvet Aisle" / "velv.save";
        prefs = root / "config" / "Quillon Games" / "Velvet Aisle" / "System.prefs";
        fs::create_directories(save.parent_path());
        fs::create_directories(prefs.parent_path());
        QuillTest::WriteFile(save, "the player's progress");
        QuillTest::WriteFile(prefs, "the player's settings");
    }

    Outcome Run(int seconds = 60, const std::string& arguments = std::string(), const std::string& extraEnv = {})
    {
        const std::string env = extraEnv + " HOME='" + root.string() + "' XDG_DATA_HOME='" + (root / "data").string() +
                                "' XDG_CONFIG_HOME='" + (root / "config").string() + "' XDG_RUNTIME_DIR='" +
                                root.string() + "' SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy ";
        const std::string cmd = env + "timeout " + std::to_string(seconds) + " '" + (program / "VelvetAisle").string() +
                                "' " + arguments + " 2>&1";
        Outcome outcome;
        FILE* out = popen(cmd.c_str(), "r");
        if (!out)
            return outcome;
        char buf[512];
        while (size_t n = fread(buf, 1, sizeof buf, out))
            outcome.output.append(buf, n);
        outcome.status = pclose(out);
        return outcome;
    }

    // The program run with a play script that ends it with "quit", and the feedback it reported.
    Outcome Play(const std::string& commands, std::string& reports)
    {
        const fs::path script = root / "play.txt";
        const fs::path feedback = root / "feedback.txt";
        QuillTest::WriteFile(script, commands);
        Outcome outcome =
            Run(60, "", "QUILL_PLAY_SCRIPT='" + script.string() + "' QUILL_FEEDBACK_LOG='" + feedback.string() + "'");
        EXPECT_TRUE(WIFEXITED(outcome.status) && WEXITSTATUS(outcome.status) == 0) << outcome.output;
        reports = QuillTest::ReadFile(feedback);
        return outcome;
    }

    void ExpectOneMessageAndNoHarm(const Outcome& outcome, const std::string& file, const std::string& what)
    {
        ASSERT_TRUE(WIFEXITED(outcome.status)) << outcome.output;
        EXPECT_NE(WEXITSTATUS(outcome.status), 0);
        EXPECT_NE(WEXITSTATUS(outcome.status), 124) << "timed out: " << outcome.output;
        const std::string named = "\"" + (program / file).string() + "\" " + what;
        const size_t at = outcome.output.find(named);
        EXPECT_NE(at, std::string::npos) << outcome.output;
        EXPECT_EQ(outcome.output.find("Critical Error", at + 1), std::string::npos) << "said twice: " << outcome.output;
        EXPECT_EQ(QuillTest::ReadFile(save), "the player's progress");
        EXPECT_EQ(QuillTest::ReadFile(prefs), "the player's settings");
    }

    fs::path root, program, save, prefs;
};

TEST_F(BadDataTest, MissingDataArchive)
{
    fs::remove(program / "data.dat");
    ExpectOneMessageAndNoHarm(Run(), "data.dat", "is missing");
}

TEST_F(BadDataTest, CutShortDataArchive)
{
    fs::resize_file(program / "data.dat", 1000);
    ExpectOneMessageAndNoHarm(Run(), "data.dat", "is damaged");
}

TEST_F(BadDataTest, DamagedInterfaceArchive)
{
    fs::resize_file(program / "ui.dat", 500);
    ExpectOneMessageAndNoHarm(Run(), "ui.dat", "is damaged");
}

// One bit flipped in the list of definition files: the start cannot go on, and says so once,
// naming the archive and the entry.
TEST_F(BadDataTest, AFlippedBitInTheDefinitionListStopsTheStartNamingIt)
{
    std::string archive = QuillTest::ReadFile(program / "data.dat");
    const auto entries = EntriesOf(archive);
    ASSERT_EQ(entries.count("libraries.xml"), 1u);
    const EntryData list = entries.at("libraries.xml");
    archive[list.offset + list.length / 2] ^= 0x04;
    QuillTest::WriteFile(program / "data.dat", archive);

    const Outcome outcome = Run();
    const std::string path = (program / "data.dat").string();
    EXPECT_EQ(NamedDamage(outcome.output, path), (std::map<std::string, int>{{"libraries.xml", 1}})) << outcome.output;
    ExpectOneMessageAndNoHarm(outcome, "data.dat", "these entries cannot be read: \"libraries.xml\"");
}

// Damage the start can go past (two entries of the data archive) and then damage it cannot (the
// interface archive's definition list): the one message lists each archive's entries under it,
// set apart by commas, in the order they were met.
TEST_F(BadDataTest, DamageInTwoArchivesIsListedUnderEachArchive)
{
    for (const auto& [file, names] : std::map<std::string, std::vector<std::string>>{
             {"data.dat", {"SplashScreens.xml", "Audio/Audio.xml"}}, {"ui.dat", {"libraries.xml"}}}) {
        std::string archive = QuillTest::ReadFile(program / file);
        const auto entries = EntriesOf(archive);
        for (const std::string& name : names) {
            ASSERT_EQ(entries.count(name), 1u) << file << ": " << name;
            archive[entries.at(name).offset + entries.at(name).length / 2] ^= 0x08;
        }
        QuillTest::WriteFile(program / file, archive);
    }

    const Outcome outcome = Run();
    ExpectOneMessageAndNoHarm(outcome, "data.dat",
                              "these entries cannot be read: \"SplashScreens.xml\", \"Audio/Audio.xml\". In \"" +
                                  (program / "ui.dat").string() +
                                  "\" these entries cannot be read: \"libraries.xml\". Please reinstall the game.");
}

// Many bytes flipped, one inside each entry: the start stops with one message naming the archive
// and the entries it met, each of which really is damaged, and no entry is named twice.
TEST_F(BadDataTest, AnArchiveWithManyFlippedBytesStopsNamingItAndItsDamagedEntries)
{
    std::string archive = QuillTest::ReadFile(program / "data.dat");
    const auto entries = EntriesOf(archive);
    ASSERT_GT(entries.size(), 50u);
    std::mt19937 random(25);
    for (const auto& [name, data] : entries) {
        if (data.length > 0)
            archive[data.offset + random() % data.length] ^= char(1 + random() % 255);
    }
    QuillTest::WriteFile(program / "data.dat", archive);

    const Outcome outcome = Run();
    ASSERT_TRUE(WIFEXITED(outcome.status)) << outcome.output;
    const int status = WEXITSTATUS(outcome.status);
    EXPECT_TRUE(status != 0 && status != 124 && status < 128) << "status " << status << ": " << outcome.output;
    const std::string path = (program / "data.dat").string();
    const auto named = NamedDamage(outcome.output, path);
    EXPECT_FALSE(named.empty()) << outcome.output;
    for (const auto& [name, times] : named) {
        EXPECT_EQ(entries.count(name), 1u) << name;
        EXPECT_EQ(times, 1) << name;
    }
    const size_t box = outcome.output.find("In \"" + path + "\" these entries cannot be read:");
    ASSERT_NE(box, std::string::npos) << outcome.output;
    for (const auto& [name, times] : named)
        EXPECT_NE(outcome.output.find("\"" + name + "\"", box), std::string::npos)
            << name << " missing from the message";
    EXPECT_EQ(QuillTest::ReadFile(save), "the player's progress");
    EXPECT_EQ(QuillTest::ReadFile(prefs), "the player's settings");
}

// Damaged entries the game can do without (its particle effects): it plays on and names each
// one once, with the archive.
TEST_F(BadDataTest, DamagedEffectsAreNamedEachAndTheGamePlaysOn)
{
    std::string archive = QuillTest::ReadFile(program / "data.dat");
    std::map<std::string, int> damaged;
    for (const auto& [name, data] : EntriesOf(archive)) {
        if (name.starts_with("Emitters/") && data.length > 0) {
            archive[data.offset + data.length / 3] ^= 0x10;
            damaged[name] = 1;
        }
    }
    ASSERT_GE(damaged.size(), 5u);
    QuillTest::WriteFile(program / "data.dat", archive);
    fs::remove(save);

    const Outcome outcome = Run(6);
    ASSERT_TRUE(WIFEXITED(outcome.status)) << outcome.output;
    EXPECT_EQ(WEXITSTATUS(outcome.status), 124) << "it did not play on: " << outcome.output;
    EXPECT_EQ(NamedDamage(outcome.output, (program / "data.dat").string()), damaged) << outcome.output;
    EXPECT_EQ(outcome.output.find("Critical Error"), std::string::npos) << outcome.output;
}

// A preferences file that cannot be read (here a folder has its name): the game says so once and
// plays on with its defaults; the file is neither deleted nor replaced at exit.
TEST_F(BadDataTest, UnreadablePreferencesAreNamedAndLeftAlone)
{
    fs::remove(prefs);
    fs::create_directory(prefs);
    QuillTest::WriteFile(prefs / "inside", "kept");
    // The game plays on until the time-out asks it to close (SIGTERM: a normal shutdown).
    const Outcome outcome = Run(4);
    const std::string named = "\"" + prefs.string() + "\" could not be read";
    const size_t at = outcome.output.find(named);
    EXPECT_NE(at, std::string::npos) << outcome.output;
    EXPECT_EQ(outcome.output.find(named, at + 1), std::string::npos) << "said twice: " << outcome.output;
    ASSERT_TRUE(WIFEXITED(outcome.status)) << outcome.output;
    EXPECT_EQ(WEXITSTATUS(outcome.status), 124) << "it did not play on: " << outcome.output;
    EXPECT_TRUE(fs::is_directory(prefs));
    EXPECT_EQ(QuillTest::ReadFile(prefs / "inside"), "kept");
    // The game got this far: the save file, which is no save, was kept aside before a new one.
    EXPECT_EQ(QuillTest::ReadFile(save.string() + ".damaged"), "the player's progress");
}

// A script that does not compile (here the one the command line starts): named once with its
// error, and the game plays on.
TEST_F(BadDataTest, ScriptWithASyntaxErrorIsNamedAndTheGamePlaysOn)
{
    fs::create_directories(program / "input" / "script");
    QuillTest::WriteFile(program / "input" / "script" / "Broken.lua", "function broken(\n  x = = 1\n");
    const Outcome outcome = Run(4, "-startscript Broken.lua");
    const std::string named = "\"script\\Broken.lua\" has an error";
    const size_t at = outcome.output.find(named);
    EXPECT_NE(at, std::string::npos) << outcome.output;
    EXPECT_EQ(outcome.output.find(named, at + 1), std::string::npos) << "said twice: " << outcome.output;
    ASSERT_TRUE(WIFEXITED(outcome.status)) << outcome.output;
    EXPECT_EQ(WEXITSTATUS(outcome.status), 124) << "it did not play on: " << outcome.output;
}

// A font the font configuration names is missing from the data (its entry renamed in place): the
// game names it once and plays on.
TEST_F(BadDataTest, AMissingFontIsNamedAndTheGamePlaysOn)
{
    std::string archive = QuillTest::ReadFile(program / "data.dat");
    const std::string entry = "fonts/texgyrechorus-mediumitalic.otf";
    size_t renamed = 0;
    for (size_t at = archive.find(entry); at != std::string::npos; at = archive.find(entry, at + 1), ++renamed)
        archive[at + entry.size() - 1] = 'x';
    ASSERT_EQ(renamed, 2u) << "the entry's local and central names";
    QuillTest::WriteFile(program / "data.dat", archive);
    fs::remove(save); // a new player: the game plays on and saves normally
    const Outcome outcome = Run(4);
    const std::string named = "\"fonts\\texgyrechorus-mediumitalic.otf\" named in \"fonts\\fonts.xml\" is missing";
    const size_t at = outcome.output.find(named);
    EXPECT_NE(at, std::string::npos) << outcome.output;
    EXPECT_EQ(outcome.output.find("Font Error", at + 1), std::string::npos) << "said twice: " << outcome.output;
    ASSERT_TRUE(WIFEXITED(outcome.status)) << outcome.output;
    EXPECT_EQ(WEXITSTATUS(outcome.status), 124) << "it did not play on: " << outcome.output;
}

} // namespace

// A scene package missing beside the program: the player who opens its photo is told which file
// is missing, once, and stays in the album instead of entering an empty scene.
TEST_F(BadDataTest, AMissingScenePackageIsNamedAndTheAlbumStaysOpen)
{
    fs::remove(save);
    ASSERT_FALSE(fs::exists(program / "Boutique.dat"));
    std::string reports;
    const Outcome outcome =
        Play(PlayData::AlbumToFirstScene() + PlayData::ClickAt(PlayData::kPhotoClick + 30, 400, 300) + "at " +
                 std::to_string(PlayData::kFirstSceneOpen + 60) + " quit\n",
             reports);
    const size_t at = outcome.output.find("\"Boutique.dat\" beside the program is missing");
    EXPECT_NE(at, std::string::npos) << outcome.output;
    EXPECT_EQ(outcome.output.find("Boutique.dat", at + 16), std::string::npos) << "said twice: " << outcome.output;
    EXPECT_NE(reports.find("Book_TutorialDialog"), std::string::npos) << reports;
    EXPECT_EQ(reports.find("ISpyPanel"), std::string::npos) << "an empty scene was entered: " << reports;
}

// Damaged entries met while playing (the scene's background and a cover in its package, the
// scene's ambient sound in the main archive) are told to the player once per archive, naming the
// archive and what is damaged and that installing the game again restores it; play goes on.
TEST_F(BadDataTest, DamagedEntriesMetInPlayAreToldOncePerArchiveAndPlayGoesOn)
{
    fs::remove(save);
    const fs::path bin = QuillPlatform::ProgramFolder();
    fs::copy_file(bin / "Boutique.dat", program / "Boutique.dat");
    const auto flip = [&](const std::string& archiveName, const std::vector<std::string>& names) {
        std::string archive = QuillTest::ReadFile(program / archiveName);
        const auto entries = EntriesOf(archive);
        for (const std::string& name : names) {
            ASSERT_EQ(entries.count(name), 1u) << name;
            const EntryData data = entries.at(name);
            archive[data.offset + data.length / 2] ^= 0x21;
        }
        QuillTest::WriteFile(program / archiveName, archive);
    };
    const std::string background = "Pictures/Boutique/Background.jpg";
    const std::string cover = "Pictures/Boutique/Cover_Button2.png";
    const std::string ambient = "Audio/Ambient/Environment1.ogg";
    flip("Boutique.dat", {background, cover});
    flip("data.dat", {ambient});

    std::string reports;
    const Outcome outcome = Play(
        PlayData::AlbumToFirstScene() + "at " + std::to_string(PlayData::kFirstSceneOpen + 60) + " quit\n", reports);
    EXPECT_NE(reports.find("ISpyPanel"), std::string::npos) << "the scene was not entered";
    for (const auto& [archive, entries] : std::map<std::string, std::vector<std::string>>{
             {"Boutique.dat", {background, cover}}, {"data.dat", {ambient}}}) {
        const std::string told = "Velvet Aisle: Part of the game's data file \"" + (program / archive).string() + "\"";
        const size_t at = outcome.output.find(told);
        ASSERT_NE(at, std::string::npos) << outcome.output;
        EXPECT_EQ(outcome.output.find(told, at + 1), std::string::npos) << "told twice: " << outcome.output;
        const std::string message = outcome.output.substr(at, outcome.output.find('\n', at) - at);
        EXPECT_NE(message.find("\"" + entries[0] + "\""), std::string::npos) << message;
        EXPECT_NE(message.find("installing the game again restores it"), std::string::npos) << message;
    }
}

// The body face and the title face each cut short (a damaged copy where the archive's is not):
// the game says which face stands in for it, and the letter and its dialog show no block of the
// missing-texture colour where their text is.
TEST_F(BadDataTest, AFontCutShortIsReplacedByAnotherFaceAndNamedOnce)
{
    fs::remove(save);
    const std::string original = QuillTest::ReadFile(program / "data.dat");
    for (const auto& [file, family] :
         std::map<std::string, std::string>{{"texgyrepagella-regular.otf", "TeX Gyre Pagella"},
                                            {"texgyrechorus-mediumitalic.otf", "TeX Gyre Chorus"}}) {
        SCOPED_TRACE(file);
        std::string archive = original;
        const std::string entry = "fonts/" + file;
        for (size_t at = archive.find(entry); at != std::string::npos; at = archive.find(entry, at + 1))
            archive[at + entry.size() - 1] = 'x';
        QuillTest::WriteFile(program / "data.dat", archive);
        fs::create_directories(program / "input" / "fonts");
        const std::string face = QuillTest::ReadFile("/usr/share/texmf/fonts/opentype/public/tex-gyre/" + file);
        QuillTest::WriteFile(program / "input" / "fonts" / file, face.substr(0, face.size() / 2));

        const PlayData::Point letter = PlayData::LetterPlayButton();
        std::string reports;
        const Outcome outcome = Play(PlayData::ClickAt(PlayData::kAlbumReady, letter.x, letter.y) + "at " +
                                         std::to_string(PlayData::kLetterRead + 10) + " shot letter.png\nat " +
                                         std::to_string(PlayData::kLetterRead + 11) + " quit\n",
                                     reports);
        const std::string named = "\"fonts\\" + file + "\" named in \"fonts\\fonts.xml\" is missing or damaged";
        const size_t at = outcome.output.find(named);
        ASSERT_NE(at, std::string::npos) << outcome.output;
        EXPECT_EQ(outcome.output.find("Font Error", at + 1), std::string::npos) << "said twice: " << outcome.output;
        EXPECT_NE(outcome.output.find("text set in \"" + family + "\" is shown in \"", at), std::string::npos)
            << outcome.output;
        uint32_t width = 0, height = 0;
        std::vector<uint32_t> pixels;
        ASSERT_TRUE(QuillTest::ReadPng(root / "letter.png", width, height, pixels));
        EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0xFFFF00FFu), 0) << "text drawn as magenta blocks";
        fs::remove_all(program / "input");
    }
}
