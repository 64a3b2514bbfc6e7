#include "engine/core/prefs/UserData.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include "engine/core/prefs/SystemPrefs.h"
#include "engine/core/xml/XmlNode.h"
#include "platform/system/SafeFile.h"
#include "tests/support/TestEnvironment.h"

using namespace QuillEngine;
namespace fs = std::filesystem;

namespace {

using QuillTest::ScopedEnv;

fs::path LocalFolder(const std::string& windowName)
{
    return fs::path(QuillPlatform::XdgConfigHome()) / "Quillon Games" / windowName;
}

std::unique_ptr<XmlNode> Document(const char* root, int children)
{
    auto doc = std::make_unique<XmlNode>(Widen(root));
    for (int i = 0; i < children; ++i)
        doc->AddChild(u"Item")->SetText(Widen("value number " + std::to_string(i)));
    return doc;
}

} // namespace

TEST(UserData, KeyRuleIsFixed)
{
    uint8_t key[16];
    UserDataFolders::BuildKey(u"Velvet Aisle", key);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(key), 16), "Velvet AisleVelv");

    // Zero bytes of the UTF-16LE form are skipped; both bytes of a wide character count.
    UserDataFolders::BuildKey(u"\u4E2Dx", key);
    const uint8_t wide[16] = {0x2D, 0x4E, 'x',  0x2D, 0x4E, 'x',  0x2D, 0x4E,
                              'x',  0x2D, 0x4E, 'x',  0x2D, 0x4E, 'x',  0x2D};
    EXPECT_EQ(std::memcmp(key, wide, 16), 0);

    UserDataFolders::BuildKey(u"", key);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(key), 16), "Quillon-UserData");
}

TEST(UserData, ContainerIsChecksumThenEncipheredUtf16)
{
    uint8_t key[16];
    UserDataFolders::BuildKey(u"Velvet Aisle", key);
    // FF FE + 7 characters = 16 bytes: no padding. 8 characters = 18 bytes: 2 padding bytes.
    for (const char16_t* text : {u"<a>é</a", u"<a>é</a>"}) {
        const size_t plainSize = 2 + 2 * std::char_traits<char16_t>::length(text);
        MemoryStream file = UserDataFolders::EncodeContainer(text, key);
        ASSERT_EQ(file.Size(), 4 + (plainSize + 3) / 4 * 4);
        const uint8_t* d = file.Data();
        const uint32_t stored = d[0] | d[1] << 8 | d[2] << 16 | uint32_t(d[3]) << 24;
        EXPECT_EQ(stored, crc32(0, d + 4, file.Size() - 4));

        MemoryStream body(d + 4, file.Size() - 4);
        body.Decipher(key);
        EXPECT_EQ(body.Data()[0], 0xFF);
        EXPECT_EQ(body.Data()[1], 0xFE);
        EXPECT_EQ(UserDataFolders::UserTextToUtf8(body.Data(), body.Size()), ToUtf8(text));
        for (size_t i = plainSize; i < body.Size(); ++i)
            EXPECT_EQ(body.Data()[i], 0);
    }
    // Even the shortest text fills the two words the cipher needs.
    EXPECT_EQ(UserDataFolders::EncodeContainer(u"", key).Size(), 12u);
}

TEST(UserData, UserTextIsBoundedByItsLength)
{
    // An odd-length UTF-16LE file without any zero character: the last odd byte is dropped.
    const uint8_t odd[] = {0xFF, 0xFE, '<', 0, 'r', 0, '/', 0, '>', 0, 'x'};
    EXPECT_EQ(UserDataFolders::UserTextToUtf8(odd, sizeof(odd)), "<r/>");
    const uint8_t stops[] = {0xFF, 0xFE, 'a', 0, 0, 0, 'b', 0};
    EXPECT_EQ(UserDataFolders::UserTextToUtf8(stops, sizeof(stops)), "a");
    const uint8_t utf8[] = {'<', 'r', '/', '>'};
    EXPECT_EQ(UserDataFolders::UserTextToUtf8(utf8, sizeof(utf8)), "<r/>");
    EXPECT_EQ(UserDataFolders::UserTextToUtf8(nullptr, 0), "");
}

TEST(UserData, SaveCreatesTheWholePathAndLoadsBack)
{
    const fs::path base = QuillTest::MakeTempDir("xdg") / "deep" / "config";
    ScopedEnv config("XDG_CONFIG_HOME", base.string());
    UserDataFolders store(u"Velvet/Aisle", u"Velvet Aisle");
    auto doc = Document("Settings", 3);
    ASSERT_TRUE(store.SaveXml(u"System.prefs", true, doc.get()));
    const fs::path folder = base / "Quillon Games" / "Velvet_Aisle";
    EXPECT_TRUE(fs::is_regular_file(folder / "System.prefs"));
    EXPECT_FALSE(fs::exists(folder / "System.prefs.sxs"));
    EXPECT_EQ(store.LocalDataFolder(), FromUtf8(folder.string() + "/"));

    auto loaded = store.LoadXml(u"System.prefs", true);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->ToString(), doc->ToString());

    // Another title makes another key: the file no longer deciphers, and is no plain XML.
    UserDataFolders otherKey(u"Velvet/Aisle", u"Another Title");
    EXPECT_FALSE(otherKey.LoadXml(u"System.prefs", true));
}

TEST(UserData, LoadingFromAMissingFolderCreatesNothing)
{
    UserDataFolders store(u"Never Saved", u"Never Saved");
    EXPECT_FALSE(store.LoadXml(u"System.prefs", true));
    EXPECT_FALSE(store.LoadXml(u"velv.save", false));
    store.DeleteFile(u"System.prefs", true);
    EXPECT_FALSE(fs::exists(LocalFolder("Never Saved")));
    EXPECT_FALSE(fs::exists(fs::path(QuillPlatform::XdgDataHome()) / "Quillon Games" / "Never Saved"));
    EXPECT_TRUE(store.LocalDataFolder().empty());
}

TEST(UserData, SavedGamesLiveInTheDataFolder)
{
    UserDataFolders store(u"Saver", u"Saver");
    auto doc = Document("Profiles", 2);
    ASSERT_TRUE(store.SaveXml(u"velv.save", false, doc.get()));
    EXPECT_TRUE(fs::is_regular_file(fs::path(QuillPlatform::XdgDataHome()) / "Quillon Games" / "Saver" / "velv.save"));
    EXPECT_TRUE(store.LoadXml(u"velv.save", false));
    store.DeleteFile(u"velv.save", false);
    EXPECT_FALSE(store.LoadXml(u"velv.save", false));
}

TEST(UserData, DamagedFileFallsBackToPlainXmlAndFailsThere)
{
    UserDataFolders store(u"Damaged", u"Damaged");
    auto doc = Document("Settings", 2);
    ASSERT_TRUE(store.SaveXml(u"System.prefs", true, doc.get()));
    const fs::path file = LocalFolder("Damaged") / "System.prefs";
    std::string bytes = QuillTest::ReadFile(file);
    bytes[0] = static_cast<char>(bytes[0] ^ 0x5A);
    QuillTest::WriteFile(file, bytes);
    EXPECT_FALSE(store.LoadXml(u"System.prefs", true));

    // A flipped bit inside the enciphered part fails the checksum too.
    bytes[0] = static_cast<char>(bytes[0] ^ 0x5A);
    bytes[9] = static_cast<char>(bytes[9] ^ 1);
    QuillTest::WriteFile(file, bytes);
    EXPECT_FALSE(store.LoadXml(u"System.prefs", true));

    QuillTest::WriteFile(file, "abcd");
    EXPECT_FALSE(store.LoadXml(u"System.prefs", true));
}

TEST(UserData, HandWrittenPlainFilesAreAccepted)
{
    UserDataFolders store(u"Plain", u"Plain");
    const fs::path folder = LocalFolder("Plain");
    QuillTest::WriteFile(folder / "System.prefs", "<Settings><Version>2</Version><Name>Zoë</Name></Settings>");
    auto utf8 = store.LoadXml(u"System.prefs", true);
    ASSERT_TRUE(utf8);
    EXPECT_EQ(utf8->GetName(), u"Settings");
    EXPECT_EQ(utf8->FindChild(u"Name")->GetText(), u"Zoë");

    // UTF-16LE with its signature, and an odd last byte.
    const String text = u"<Root><WindowX>12</WindowX></Root>";
    std::string utf16 = "\xFF\xFE";
    for (char16_t ch : text) {
        utf16.push_back(static_cast<char>(ch & 0xFF));
        utf16.push_back(static_cast<char>(ch >> 8));
    }
    utf16.push_back('\x7F');
    QuillTest::WriteFile(folder / "Window.prefs", utf16);
    auto wide = store.LoadXml(u"Window.prefs", true);
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->FindChild(u"WindowX")->GetText(), u"12");
}

TEST(UserData, UnsafeNamesAreRefused)
{
    UserDataFolders store(u"Names", u"Names");
    auto doc = Document("Root", 1);
    for (const char16_t* name :
         {u".hidden", u"/etc/passwd", u"\\x.prefs", u"a:b", u"sub/../../x", u"sub\\..\\x", u""}) {
        EXPECT_FALSE(store.SaveXml(name, true, doc.get())) << ToUtf8(name);
        EXPECT_FALSE(store.OpenFile(name, true, true).IsOpen()) << ToUtf8(name);
    }
    EXPECT_TRUE(store.SaveXml(u"sub\\ok.prefs", true, doc.get()));
    EXPECT_TRUE(fs::is_regular_file(LocalFolder("Names") / "sub" / "ok.prefs"));
    EXPECT_FALSE(store.SaveXml(u"null.prefs", true, nullptr));
}

TEST(UserData, FailedWriteLeavesTheOldFile)
{
    UserDataFolders store(u"Blocked", u"Blocked");
    auto oldDoc = Document("Old", 1);
    ASSERT_TRUE(store.SaveXml(u"System.prefs", true, oldDoc.get()));
    const fs::path folder = LocalFolder("Blocked");
    // The temporary cannot be created: a folder is in its way.
    fs::create_directory(folder / "System.prefs.sxs");
    auto newDoc = Document("New", 1);
    EXPECT_FALSE(store.SaveXml(u"System.prefs", true, newDoc.get()));
    auto loaded = store.LoadXml(u"System.prefs", true);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->GetName(), u"Old");
}

TEST(UserData, OversizedFilesAreNotRead)
{
    UserDataFolders store(u"Huge", u"Huge");
    const fs::path folder = LocalFolder("Huge");
    QuillTest::WriteFile(folder / "big.prefs", "");
    fs::resize_file(folder / "big.prefs", UserDataFolders::kMaxFileSize + 1); // sparse
    MemoryStream stream;
    EXPECT_FALSE(store.ReadFile(u"big.prefs", true, stream));
    EXPECT_EQ(stream.Size(), 0u);
}

// A process saving in a loop is killed at random moments; every time, the file that remains
// loads as one of the two complete documents.
TEST(UserData, KilledWhileSavingLeavesTheOldOrTheNewDocument)
{
    UserDataFolders store(u"Kill Test", u"Kill Test");
    const auto first = Document("Settings", 400);
    const auto second = Document("Settings", 700);
    const String firstText = first->ToString();
    const String secondText = second->ToString();
    const auto saveStart = std::chrono::steady_clock::now();
    ASSERT_TRUE(store.SaveXml(u"System.prefs", true, first.get()));
    const auto saveUs = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                              saveStart).count();

    // Kills land anywhere within a few saves, however slow the disk's fsync is here.
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> delayUs(0, static_cast<int>(std::max<long long>(4000, 4 * saveUs)));
    int sawFirst = 0, sawSecond = 0;
    for (int round = 0; round < 200; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (unsigned i = 0;; ++i)
                store.SaveXml(u"System.prefs", true, (i % 2 ? first : second).get());
        }
        usleep(static_cast<useconds_t>(delayUs(random)));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));

        auto loaded = store.LoadXml(u"System.prefs", true);
        ASSERT_TRUE(loaded) << "round " << round;
        const String text = loaded->ToString();
        ASSERT_TRUE(text == firstText || text == secondText) << "round " << round;
        (text == firstText ? sawFirst : sawSecond)++;
    }
    // Both documents were seen, so the kills really landed amid the saves.
    EXPECT_GT(sawFirst, 0);
    EXPECT_GT(sawSecond, 0);
}

TEST(UserData, ReadsTellAMissingFileFromOneThatCannotBeRead)
{
    UserDataFolders store(u"Unreadable", u"Unreadable");
    ASSERT_TRUE(store.GetLocalDataFolder(false));
    const fs::path folder = LocalFolder("Unreadable");
    MemoryStream stream;
    EXPECT_EQ(store.ReadFileReport(u"none.prefs", true, stream).outcome, UserDataFolders::ReadOutcome::Missing);

    QuillTest::WriteFile(folder / "big.prefs", "");
    fs::resize_file(folder / "big.prefs", UserDataFolders::kMaxFileSize + 1);
    UserDataFolders::ReadReport big = store.ReadFileReport(u"big.prefs", true, stream);
    EXPECT_EQ(big.outcome, UserDataFolders::ReadOutcome::Unreadable);
    EXPECT_EQ(big.error, EFBIG);
    EXPECT_EQ(big.path, (folder / "big.prefs").string());

    fs::create_directory(folder / "folder.prefs");
    EXPECT_EQ(store.ReadFileReport(u"folder.prefs", true, stream).error, EISDIR);

    QuillTest::WriteFile(folder / "fine.prefs", "abcdef");
    store.SetFaultHook([](UserDataFolders::FileOp op, const std::string& path) {
        return op == UserDataFolders::FileOp::Read && path.ends_with("fine.prefs") ? EIO : 0;
    });
    UserDataFolders::ReadReport failed = store.ReadFileReport(u"fine.prefs", true, stream);
    EXPECT_EQ(failed.outcome, UserDataFolders::ReadOutcome::Unreadable);
    EXPECT_EQ(failed.error, EIO);
    EXPECT_EQ(stream.Size(), 0u);
    store.SetFaultHook(nullptr);
    EXPECT_EQ(store.ReadFileReport(u"fine.prefs", true, stream).outcome, UserDataFolders::ReadOutcome::Read);
    EXPECT_EQ(stream.Size(), 6u);
}

TEST(UserData, KeptCopiesNeverReplaceOneAnother)
{
    UserDataFolders store(u"Kept", u"Kept");
    ASSERT_TRUE(store.GetSavedGamesFolder(false));
    const fs::path folder = fs::path(ToUtf8(store.SavedGamesFolder()));
    for (const auto& entry : fs::directory_iterator(folder))
        fs::remove_all(entry.path());
    std::vector<String> names;
    for (const char* text : {"first", "second", "third"}) {
        MemoryStream bytes(reinterpret_cast<const uint8_t*>(text), static_cast<uint32_t>(std::strlen(text)));
        String name;
        ASSERT_TRUE(store.KeepCopy(u"copy", false, bytes, &name));
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<String>{u"copy", u"copy.2", u"copy.3"}));
    EXPECT_EQ(QuillTest::ReadFile(folder / "copy"), "first");
    EXPECT_EQ(QuillTest::ReadFile(folder / "copy.2"), "second");
    EXPECT_EQ(QuillTest::ReadFile(folder / "copy.3"), "third");

    // A failed write leaves no copy and no temporary behind.
    store.SetFaultHook([](UserDataFolders::FileOp op, const std::string&) {
        return op == UserDataFolders::FileOp::Write ? ENOSPC : 0;
    });
    MemoryStream more(reinterpret_cast<const uint8_t*>("x"), 1);
    EXPECT_FALSE(store.KeepCopy(u"copy", false, more));
    EXPECT_FALSE(fs::exists(folder / "copy.4"));
    EXPECT_FALSE(fs::exists(folder / "copy.sxs"));
}

// A preferences file that is there but cannot be read: one notice naming it, defaults for this
// run, and the file is neither deleted nor written over.
TEST(UserData, UnreadablePrefsAreLeftAloneAfterOneNotice)
{
    UserDataFolders store(u"Locked Prefs", u"Locked Prefs");
    auto doc = Document("Settings", 1);
    ASSERT_TRUE(store.SaveXml(u"System.prefs", true, doc.get()));
    const fs::path path = LocalFolder("Locked Prefs") / "System.prefs";
    const std::string bytes = QuillTest::ReadFile(path);
    std::vector<std::string> notices;
    store.SetNoticeFunction([&](const std::string& caption, const std::string& text) {
        EXPECT_EQ(caption, "Locked Prefs");
        notices.push_back(text);
    });
    store.SetFaultHook([](UserDataFolders::FileOp op, const std::string& p) {
        return op == UserDataFolders::FileOp::Read && p.ends_with("System.prefs") ? EACCES : 0;
    });

    SystemPrefs prefs;
    prefs.Fullscreen = 1;
    EXPECT_EQ(LoadSystemPrefs(store, [] { return nullptr; }, prefs), PrefsSource::None);
    EXPECT_FALSE(store.LoadXml(u"System.prefs", true));
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find(path.string()), std::string::npos) << notices[0];
    EXPECT_NE(notices[0].find(std::strerror(EACCES)), std::string::npos) << notices[0];

    EXPECT_FALSE(SaveSystemPrefs(store, prefs));
    store.DeleteFile(u"System.prefs", true);
    store.SetFaultHook(nullptr);
    EXPECT_EQ(QuillTest::ReadFile(path), bytes);
    EXPECT_FALSE(fs::exists(path.string() + ".sxs"));
    // Other files of the folder are written as usual.
    EXPECT_TRUE(SaveWindowPosition(store, 5, 6));
}
