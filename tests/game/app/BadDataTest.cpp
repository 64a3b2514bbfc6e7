// The real program started on broken data: each case gets one message naming the file and what
// is wrong (stderr, as the tests run headless), a non-zero exit, and the player's own files as
// they were.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>

#include "platform/system/Process.h"
#include "tests/game/play/PlayData.h"
#include "tests/support/TestEnvironment.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status = -1;
    std::string output;
};

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
    const fs::path script = root / "play.txt";
    QuillTest::WriteFile(script, PlayData::AlbumToFirstScene() +
                                     PlayData::ClickAt(PlayData::kPhotoClick + 30, 400, 300) + "at " +
                                     std::to_string(PlayData::kFirstSceneOpen + 60) + " quit\n");
    const fs::path feedback = root / "feedback.txt";
    const Outcome outcome =
        Run(60, "", "QUILL_PLAY_SCRIPT='" + script.string() + "' QUILL_FEEDBACK_LOG='" + feedback.string() + "'");
    ASSERT_TRUE(WIFEXITED(outcome.status)) << outcome.output;
    EXPECT_EQ(WEXITSTATUS(outcome.status), 0) << outcome.output;
    const size_t at = outcome.output.find("\"Boutique.dat\" beside the program is missing");
    EXPECT_NE(at, std::string::npos) << outcome.output;
    EXPECT_EQ(outcome.output.find("Boutique.dat", at + 16), std::string::npos) << "said twice: " << outcome.output;
    const std::string reports = QuillTest::ReadFile(feedback);
    EXPECT_NE(reports.find("Book_TutorialDialog"), std::string::npos) << reports;
    EXPECT_EQ(reports.find("ISpyPanel"), std::string::npos) << "an empty scene was entered: " << reports;
}
