// The profile manager over the save file: loading with its fall-backs, saving, profile
// creation and switching, the level templates and the console commands.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "engine/core/audio/Audio.h"
#include "engine/core/console/Console.h"
#include "engine/core/files/FSLooseFiles.h"
#include "engine/core/files/FileManager.h"
#include "engine/core/prefs/UserData.h"
#include "engine/core/resources/ResourceCache.h"
#include "engine/core/strings/StringUtil.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/core/xml/XmlNode.h"
#include "game/profile/ProfileMgr.h"
#include "tests/support/TestEnvironment.h"

using namespace QuillEngine;
namespace fs = std::filesystem;

namespace {

class CountingBook : public IProfileBookLink {
public:
    void LeaveRunningGame() override { ++leaves; }
    void ResetBoards() override { ++resets; }
    void OnProfileChanged(bool newProfile) override { ++(newProfile ? created : switched); }
    void UpdatePageControls() override { ++pageUpdates; }
    void StoreRunningGames(Profile& current) override
    {
        ++stores;
        if (onStore)
            onStore(current);
    }
    int resets = 0, created = 0, switched = 0, pageUpdates = 0, stores = 0, leaves = 0;
    std::function<void(Profile&)> onStore;
};

class ProfileMgrTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const String window =
            FromUtf8(std::string("Profiles ") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        store = std::make_unique<UserDataFolders>(window, u"Velvet Aisle");
        ASSERT_TRUE(store->GetSavedGamesFolder(false));
        folder = fs::path(ToUtf8(store->SavedGamesFolder()));
        for (const auto& entry : fs::directory_iterator(folder))
            fs::remove_all(entry.path());
    }

    // A manager whose notices are counted instead of shown.
    std::unique_ptr<ProfileMgr> QuietManager()
    {
        auto mgr = std::make_unique<ProfileMgr>(nullptr);
        mgr->SetNoticeFunction([this](const std::string&, const std::string& text) { notices.push_back(text); });
        return mgr;
    }
    std::vector<std::string> notices;

    fs::path SavePath() const { return folder / "velv.save"; }
    fs::path DamagedPath() const { return folder / "velv.save.damaged"; }

    String DefaultName() const
    {
        const String name = GetCurrentUserName();
        return name.empty() ? String(u"Player") : name;
    }

    // A save file as the game would write it, from a hand-built document.
    void StoreDocument(const XmlNode& root) { ASSERT_TRUE(store->SaveXml(u"velv.save", false, &root)); }

    // A manager with `names` as its profiles, saved; the last one is current.
    void StoreProfiles(std::initializer_list<const char16_t*> names)
    {
        ProfileMgr mgr(nullptr);
        mgr.Load();
        for (const char16_t* name : names)
            ASSERT_TRUE(mgr.NewProfile(name));
        ASSERT_TRUE(mgr.DeleteProfile(DefaultName()));
        ASSERT_TRUE(mgr.Save());
    }

    std::unique_ptr<XmlNode> StoredDocument() { return store->LoadXml(u"velv.save", false); }

    std::unique_ptr<UserDataFolders> store;
    fs::path folder;
};

std::vector<String> Names(const ProfileMgr& mgr)
{
    std::vector<String> out;
    for (const Profile* p : mgr.GetProfiles())
        out.push_back(p->name);
    return out;
}

TEST_F(ProfileMgrTest, FirstRunMakesOneProfileAfterTheUser)
{
    ProfileMgr mgr(nullptr);
    EXPECT_EQ(ProfileMgr::Instance(), &mgr);
    EXPECT_TRUE(mgr.Load());
    ASSERT_NE(mgr.CurrentProfile(), nullptr);
    EXPECT_EQ(Names(mgr), std::vector<String>{DefaultName()});
    EXPECT_EQ(mgr.GetHighScores().Count(), 10u);
    EXPECT_FALSE(fs::exists(DamagedPath()));
}

TEST_F(ProfileMgrTest, SavedProfilesAndScoresReadBack)
{
    {
        ProfileMgr mgr(nullptr);
        mgr.Load();
        mgr.AddLevelTemplate(u"One", 300.0f, 60.0f, 10, 1, false);
        mgr.AddSceneTemplate(1, 1, u"Hall", 10, 1.0f);
        ASSERT_TRUE(mgr.NewProfile(u"Ann"));
        ASSERT_TRUE(mgr.NewProfile(u"Bo"));
        ASSERT_TRUE(mgr.SwitchProfile(u"Ann"));
        mgr.CurrentProfile()->bluebirds = 9;
        mgr.CurrentProfile()->FindLevel(1)->items = 4;
        mgr.GetHighScores().Insert(u"Ann", 1234);
        ASSERT_TRUE(mgr.Save());
    }
    // The file is the enciphered container, not plain text.
    const std::string bytes = QuillTest::ReadFile(SavePath());
    EXPECT_EQ(bytes.find("profile"), std::string::npos);
    auto doc = StoredDocument();
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->GetStringAttribute(u"version", u""), u"26");
    EXPECT_EQ(doc->GetStringAttribute(u"currentprofile", u""), u"Ann");

    ProfileMgr mgr(nullptr);
    mgr.Load();
    EXPECT_EQ(Names(mgr), (std::vector<String>{DefaultName(), u"Ann", u"Bo"}));
    EXPECT_EQ(mgr.CurrentProfile()->name, u"Ann");
    EXPECT_EQ(mgr.CurrentProfile()->bluebirds, 9);
    ASSERT_NE(mgr.CurrentProfile()->FindLevel(1), nullptr);
    EXPECT_EQ(mgr.CurrentProfile()->FindLevel(1)->items, 4);
    EXPECT_EQ(mgr.GetHighScores().Entries().front().time, 1234u);
    EXPECT_FALSE(fs::exists(DamagedPath()));

    // A page edited beyond the catalogue opens on the last level's spread; others stay.
    mgr.AddLevelTemplate(u"One", 300.0f, 60.0f, 10, 1, false);
    mgr.AddLevelTemplate(u"Two", 300.0f, 60.0f, 10, 2, false);
    mgr.CurrentProfile()->page = 999;
    mgr.GetProfiles().front()->page = 2;
    mgr.FitToCatalogue();
    EXPECT_EQ(mgr.CurrentProfile()->page, 4u);
    EXPECT_EQ(mgr.GetProfiles().front()->page, 2u);
}

TEST_F(ProfileMgrTest, UnknownCurrentNameMakesTheFirstCurrent)
{
    StoreProfiles({u"Ann", u"Bo"});
    auto doc = StoredDocument();
    doc->SetAttribute(u"currentprofile", u"Nobody");
    StoreDocument(*doc);
    ProfileMgr mgr(nullptr);
    mgr.Load();
    EXPECT_EQ(mgr.CurrentProfile()->name, u"Ann");
}

TEST_F(ProfileMgrTest, OtherVersionStartsAfreshKeepingScoresAndTheOldFile)
{
    StoreProfiles({u"Ann"});
    auto doc = StoredDocument();
    doc->SetAttribute(u"version", u"25");
    XmlNode* scores = doc->FindChild(u"highscores");
    scores->Clear();
    scores->SetName(u"highscores");
    XmlNode* score = scores->AddChild(u"score");
    score->SetAttribute(u"name", u"Old");
    score->SetAttribute(u"time", u"99");
    StoreDocument(*doc);
    const std::string before = QuillTest::ReadFile(SavePath());

    ProfileMgr mgr(nullptr);
    mgr.Load();
    EXPECT_EQ(Names(mgr), std::vector<String>{DefaultName()});
    ASSERT_EQ(mgr.GetHighScores().Count(), 1u);
    EXPECT_EQ(mgr.GetHighScores().Entries()[0].name, u"Old");
    // Saving the fresh profile cannot lose the old players: their file was kept aside.
    ASSERT_TRUE(mgr.Save());
    EXPECT_EQ(QuillTest::ReadFile(DamagedPath()), before);
}

TEST_F(ProfileMgrTest, DamagedFileIsKeptAsideBeforeItIsOverwritten)
{
    StoreProfiles({u"Ann"});
    std::string bytes = QuillTest::ReadFile(SavePath());
    bytes[0] = static_cast<char>(bytes[0] ^ 0x5A);
    QuillTest::WriteFile(SavePath(), bytes);

    auto mgr = QuietManager();
    mgr->Load();
    EXPECT_EQ(Names(*mgr), std::vector<String>{DefaultName()});
    EXPECT_EQ(mgr->GetHighScores().Count(), 10u);
    ASSERT_TRUE(mgr->Save());
    EXPECT_EQ(QuillTest::ReadFile(DamagedPath()), bytes);
    // The player hears of it once, with where the old file went.
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find(DamagedPath().string()), std::string::npos) << notices[0];
}

// A failed write is told once; a change of player it refuses is told every time, with the file
// and the reason, and changes nothing: the running game is not even left.
TEST_F(ProfileMgrTest, AFailedWriteIsToldOnceAndEveryPlayerChangeItRefusesIsTold)
{
    CountingBook book;
    auto mgr = QuietManager();
    mgr->SetBookLink(&book);
    mgr->Load();
    ASSERT_TRUE(mgr->NewProfile(u"Bo"));
    store->SetFaultHook([](UserDataFolders::FileOp op, const std::string&) {
        return op == UserDataFolders::FileOp::Write ? EIO : 0;
    });
    EXPECT_FALSE(mgr->Save());
    EXPECT_FALSE(mgr->Save());
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find(SavePath().string()), std::string::npos) << notices[0];
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_FALSE(mgr->NewProfile(u"Ann")) << "a player is not added when the save before fails";
        EXPECT_FALSE(mgr->SwitchProfile(DefaultName()));
    }
    ASSERT_EQ(notices.size(), 5u) << "each refusal says why";
    for (size_t i = 1; i < notices.size(); ++i) {
        EXPECT_NE(notices[i].find(i % 2 ? "\"Ann\" cannot be added" : "cannot change to the player"), std::string::npos)
            << notices[i];
        EXPECT_NE(notices[i].find(SavePath().string()), std::string::npos) << notices[i];
        EXPECT_NE(notices[i].find(std::strerror(EIO)), std::string::npos) << notices[i];
    }
    EXPECT_EQ(mgr->CurrentProfile()->name, u"Bo");
    EXPECT_EQ(mgr->GetProfiles().size(), 2u);
    EXPECT_EQ(book.leaves, 1) << "only the change that was made left the game";

    store->SetFaultHook(nullptr);
    EXPECT_TRUE(mgr->Save());
    EXPECT_TRUE(mgr->NewProfile(u"Ann"));
    EXPECT_EQ(notices.size(), 5u);

    // A refusal that is the first failure of a run is told once, as the refusal.
    mgr.reset();
    auto fresh = QuietManager();
    fresh->Load();
    notices.clear();
    store->SetFaultHook(
        [](UserDataFolders::FileOp op, const std::string&) { return op == UserDataFolders::FileOp::Write ? EIO : 0; });
    ASSERT_EQ(fresh->CurrentProfile()->name, u"Bo");
    EXPECT_FALSE(fresh->SwitchProfile(DefaultName()));
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find("cannot change to the player"), std::string::npos) << notices[0];
    EXPECT_FALSE(fresh->Save());
    EXPECT_EQ(notices.size(), 1u);
}

TEST_F(ProfileMgrTest, BrokenOrDuplicateProfilesAreDroppedAndTheRestLoad)
{
    StoreProfiles({u"Ann", u"Bo", u"Cy"});
    auto doc = StoredDocument();
    std::vector<XmlNode*> profiles;
    doc->SelectNodes(u"profile", profiles);
    ASSERT_EQ(profiles.size(), 3u);
    profiles[1]->RemoveAttribute(u"relaxed");   // Bo cannot load
    profiles[2]->SetAttribute(u"name", u"Ann"); // a second "Ann"
    StoreDocument(*doc);

    ProfileMgr mgr(nullptr);
    mgr.Load();
    EXPECT_EQ(Names(mgr), std::vector<String>{u"Ann"});
    EXPECT_TRUE(fs::exists(DamagedPath()));
}

TEST_F(ProfileMgrTest, ProfileCountFromTheFileIsBounded)
{
    StoreProfiles({u"Ann"});
    auto doc = StoredDocument();
    const String text = doc->FindChild(u"profile")->ToString();
    for (size_t i = 0; i < ProfileMgr::kMaxProfiles + 5; ++i) {
        auto copy = XmlNode::ParseDocument(ToUtf8(text), false);
        copy->SetAttribute(u"name", Format(u"P%d", {static_cast<int>(i)}));
        doc->InsertChild(std::move(copy));
    }
    StoreDocument(*doc);
    ProfileMgr mgr(nullptr);
    mgr.Load();
    EXPECT_EQ(mgr.GetProfiles().size(), ProfileMgr::kMaxProfiles);
    EXPECT_FALSE(mgr.NewProfile(u"OneTooMany"));
}

TEST_F(ProfileMgrTest, NamesStayUniqueAndTheCurrentProfileStays)
{
    CountingBook book;
    ProfileMgr mgr(nullptr);
    mgr.SetBookLink(&book);
    mgr.Load();
    ASSERT_TRUE(mgr.NewProfile(u"Ann"));
    EXPECT_EQ(book.resets, 1);
    EXPECT_EQ(book.created, 1);
    EXPECT_FALSE(mgr.NewProfile(u"Ann"));
    EXPECT_FALSE(mgr.NewProfile(u""));
    ASSERT_TRUE(mgr.NewProfile(u"Bo"));
    EXPECT_EQ(Names(mgr), (std::vector<String>{DefaultName(), u"Ann", u"Bo"}));

    EXPECT_FALSE(mgr.SwitchProfile(u"Nobody"));
    EXPECT_EQ(mgr.CurrentProfile()->name, u"Bo");
    EXPECT_EQ(book.switched, 0);
    const int leaves = book.leaves;
    ASSERT_TRUE(mgr.SwitchProfile(u"Ann"));
    EXPECT_EQ(book.switched, 1);
    EXPECT_EQ(book.leaves, leaves + 1);
    EXPECT_EQ(mgr.CurrentProfile()->name, u"Ann");
    // The player who is playing chosen again: their game runs on and no board is loaded afresh.
    const int resets = book.resets;
    ASSERT_TRUE(mgr.SwitchProfile(u"Ann"));
    EXPECT_EQ(book.leaves, leaves + 1);
    EXPECT_EQ(book.resets, resets);
    EXPECT_EQ(book.switched, 1);

    EXPECT_FALSE(mgr.DeleteProfile(u"Ann"));
    EXPECT_TRUE(mgr.DeleteProfile(DefaultName()));
    EXPECT_FALSE(mgr.DeleteProfile(u"Nobody"));
    EXPECT_EQ(Names(mgr), (std::vector<String>{u"Ann", u"Bo"}));
    EXPECT_EQ(mgr.CurrentProfile()->name, u"Ann");
}

TEST_F(ProfileMgrTest, FailedSaveBlocksNewAndSwitch)
{
    ProfileMgr mgr(nullptr);
    mgr.Load();
    ASSERT_TRUE(mgr.NewProfile(u"Ann"));
    store.reset(); // no user-data store: nothing can be written
    EXPECT_FALSE(mgr.Save());
    EXPECT_FALSE(mgr.NewProfile(u"Bo"));
    EXPECT_FALSE(mgr.SwitchProfile(DefaultName()));
    EXPECT_EQ(mgr.CurrentProfile()->name, u"Ann");
    EXPECT_EQ(mgr.GetProfiles().size(), 2u);
}

TEST_F(ProfileMgrTest, TemplatesReachEveryProfileOnce)
{
    ProfileMgr mgr(nullptr);
    mgr.Load();
    mgr.AddLevelTemplate(u"One", 300.0f, 60.0f, 10, 1, false);
    mgr.AddLevelTemplate(u"Two", 400.0f, 60.0f, 12, 2, true);
    mgr.AddLevelTemplate(u"Again", 1.0f, 1.0f, 1, 2, false); // number taken: ignored
    mgr.AddSceneTemplate(1, 1, u"Hall", 10, 1.0f);
    mgr.AddSceneTemplate(2, 2, u"Parlour", 12, 2.0f);
    mgr.AddSceneTemplate(2, 2, u"Twice", 1, 1.0f);
    const Profile* first = mgr.CurrentProfile();
    ASSERT_EQ(first->levels.size(), 2u);
    ASSERT_EQ(first->scenes.size(), 2u);
    EXPECT_EQ(first->FindScene(1)->status, SceneRecord::Open);
    EXPECT_EQ(first->FindScene(2)->status, SceneRecord::Locked);
    EXPECT_EQ(first->FindScene(2)->title, u"Parlour");
    EXPECT_EQ(mgr.FindLevelTemplate(2)->key, u"Two");
    EXPECT_EQ(mgr.FindLevelTemplate(3), nullptr);

    first->FindScene(1)->status = SceneRecord::Complete;
    ASSERT_TRUE(mgr.NewProfile(u"Ann"));
    const Profile* ann = mgr.CurrentProfile();
    ASSERT_EQ(ann->scenes.size(), 2u);
    EXPECT_EQ(ann->FindScene(1)->status, SceneRecord::Open); // from the template, not a profile
    EXPECT_FLOAT_EQ(ann->FindLevel(2)->timeLeft, 400.0f);
    EXPECT_TRUE(ann->FindLevel(2)->crisis);
}

TEST_F(ProfileMgrTest, OpeningTheNextLevelSavesOnce)
{
    CountingBook book;
    ProfileMgr mgr(nullptr);
    mgr.SetBookLink(&book);
    mgr.Load();
    mgr.AddLevelTemplate(u"One", 300.0f, 60.0f, 10, 1, false);
    mgr.AddLevelTemplate(u"Two", 300.0f, 60.0f, 10, 2, false);
    mgr.AddSceneTemplate(1, 1, u"A", 10, 1.0f);
    mgr.AddSceneTemplate(2, 2, u"B", 10, 1.0f);
    mgr.AddSceneTemplate(3, 2, u"C", 10, 1.0f);
    Profile* p = mgr.CurrentProfile();
    p->page = 2;
    p->SetStoryState(std::make_unique<XmlNode>(u"storygame"));
    mgr.OpenNextLevel();
    EXPECT_EQ(p->FindScene(2)->status, SceneRecord::Open);
    EXPECT_EQ(p->FindScene(3)->status, SceneRecord::Open);
    EXPECT_EQ(p->StoryState(), nullptr);
    EXPECT_EQ(book.pageUpdates, 1);
    EXPECT_EQ(book.stores, 1);
    EXPECT_TRUE(fs::exists(SavePath()));

    mgr.OpenNextLevel(); // already open: nothing more
    EXPECT_EQ(book.pageUpdates, 1);
    EXPECT_EQ(book.stores, 1);

    const LevelRecord* one = p->FindLevel(1);
    p->SpendTime(*const_cast<LevelRecord*>(one), 10.0f);
    EXPECT_FLOAT_EQ(one->timeLeft, 290.0f);
    p->relaxed = true;
    p->SpendTime(*const_cast<LevelRecord*>(one), 10.0f);
    EXPECT_FLOAT_EQ(one->timeLeft, 290.0f);
}

TEST_F(ProfileMgrTest, NoSaveInTheMiddleOfAStepOrOfAnotherSave)
{
    CountingBook book;
    ProfileMgr mgr(nullptr);
    mgr.SetBookLink(&book);
    mgr.Load();
    mgr.AddSceneTemplate(2, 2, u"B", 10, 1.0f);
    Profile* p = mgr.CurrentProfile();
    p->page = 2;
    {
        ProfileMgr::UpdateScope step(mgr);
        mgr.OpenNextLevel();
        EXPECT_FALSE(fs::exists(SavePath()));
        EXPECT_TRUE(mgr.SavePending());
        p->bluebirds = 5; // the rest of the step's changes still go into the file
    }
    EXPECT_FALSE(mgr.SavePending());
    auto doc = StoredDocument();
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->FindChild(u"profile")->GetStringAttribute(u"bluebirds", u""), u"5");

    // A save asked for while one is being written runs after it, once, instead of inside it.
    int depth = 0;
    book.stores = 0;
    book.onStore = [&](Profile& current) {
        ++depth;
        EXPECT_EQ(depth, 1);
        EXPECT_FALSE(mgr.Save());
        current.bluebirds = 6;
        --depth;
    };
    EXPECT_TRUE(mgr.Save());
    EXPECT_EQ(book.stores, 2);
    EXPECT_FALSE(mgr.SavePending());
}

TEST_F(ProfileMgrTest, ConsoleCommands)
{
    Console console;
    {
        ProfileMgr mgr(&console);
        mgr.Load();
        mgr.AddSceneTemplate(5, 3, u"Locked", 4, 1.0f);
        console.Execute(u"profile.new Mary Ann", false);
        EXPECT_EQ(mgr.CurrentProfile()->name, u"Mary Ann");
        console.Execute(u"profile.unlockbook", false);
        EXPECT_TRUE(mgr.CurrentProfile()->bookUnlocked);
        EXPECT_EQ(mgr.CurrentProfile()->FindScene(5)->status, SceneRecord::Open);
        console.Execute(Format(u"profile.switch %s", {DefaultName()}), false);
        EXPECT_EQ(mgr.CurrentProfile()->name, DefaultName());
        EXPECT_FALSE(mgr.CurrentProfile()->bookUnlocked);
    }
    // Gone with the manager: the name is free again, so the console no longer reaches it.
    EXPECT_TRUE(console.RegisterCommand(u"profile.new", 1, &console));
}

} // namespace

// The volumes heard are the current profile's: after loading (whatever order the profiles were
// read in), after switching, and for a new profile.
TEST_F(ProfileMgrTest, TheCurrentProfilesVolumesAreTheOnesApplied)
{
    const fs::path data = QuillTest::MakeTempDir("profile-audio");
    QuillTest::WriteFile(
        data / "Audio/Audio.xml",
        "<Audio><ClassDef name=\"Music\"/><ClassDef name=\"Ambient\"/><ClassDef name=\"Effects\"/></Audio>");
    FileManager files;
    ASSERT_TRUE(files.AddSource(new FSLooseFiles(FromUtf8(data.string() + "/"), u"input")));
    XmlCache xml(&files);
    ResourceCache cache;
    ASSERT_TRUE(cache.Init());
    Audio audio(&cache);
    ASSERT_TRUE(audio.Init(4));
    ASSERT_TRUE(audio.LoadDefinitions());
    auto music = [&] {
        float volume = -1;
        EXPECT_TRUE(audio.GetClassVolume(u"Music", volume));
        return volume;
    };
    {
        ProfileMgr mgr(nullptr);
        mgr.Load();
        ASSERT_TRUE(mgr.NewProfile(u"Quiet"));
        mgr.CurrentProfile()->musicVolume = 0.2;
        ASSERT_TRUE(mgr.NewProfile(u"Loud")); // the last one read back from the file
        mgr.CurrentProfile()->musicVolume = 0.9;
        ASSERT_TRUE(mgr.SwitchProfile(u"Quiet"));
        EXPECT_FLOAT_EQ(music(), 0.2f);
        ASSERT_TRUE(mgr.Save());
    }
    audio.SetClassVolume(u"Music", 0.5f);
    ProfileMgr mgr(nullptr);
    mgr.Load();
    EXPECT_EQ(mgr.CurrentProfile()->name, u"Quiet");
    EXPECT_FLOAT_EQ(music(), 0.2f) << "the current profile's volume, not the last one loaded";
    ASSERT_TRUE(mgr.SwitchProfile(u"Loud"));
    EXPECT_FLOAT_EQ(music(), 0.9f);
    ASSERT_TRUE(mgr.NewProfile(u"Fresh"));
    EXPECT_FLOAT_EQ(music(), static_cast<float>(mgr.CurrentProfile()->musicVolume));
}

// A save file that is there but cannot be read is never written over: the game plays on with
// saving off, and the player hears about it once, with the file's path.
TEST_F(ProfileMgrTest, UnreadableSaveFileIsNeverOverwritten)
{
    // Too large to be a save file (a sparse file).
    QuillTest::WriteFile(SavePath(), "");
    fs::resize_file(SavePath(), UserDataFolders::kMaxFileSize + 1);
    {
        auto mgr = QuietManager();
        mgr->Load();
        EXPECT_TRUE(mgr->SavingDisabled());
        EXPECT_FALSE(mgr->Save());
        // The player can still make and switch profiles for this session.
        EXPECT_TRUE(mgr->NewProfile(u"Ann"));
        EXPECT_TRUE(mgr->SwitchProfile(DefaultName()));
        EXPECT_FALSE(mgr->Save());
        EXPECT_EQ(fs::file_size(SavePath()), UserDataFolders::kMaxFileSize + 1);
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_NE(notices[0].find(SavePath().string()), std::string::npos) << notices[0];
        EXPECT_NE(notices[0].find("larger"), std::string::npos) << notices[0];
    }

    // An I/O error on the read.
    fs::remove(SavePath());
    StoreProfiles({u"Ann"});
    const std::string bytes = QuillTest::ReadFile(SavePath());
    store->SetFaultHook([](UserDataFolders::FileOp op, const std::string& path) {
        return op == UserDataFolders::FileOp::Read && path.ends_with("velv.save") ? EIO : 0;
    });
    notices.clear();
    {
        auto mgr = QuietManager();
        mgr->Load();
        EXPECT_FALSE(mgr->Save());
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_NE(notices[0].find(std::strerror(EIO)), std::string::npos) << notices[0];
    }
    store->SetFaultHook(nullptr);
    EXPECT_EQ(QuillTest::ReadFile(SavePath()), bytes);

    // A folder where the file is expected.
    fs::remove(SavePath());
    fs::create_directory(SavePath());
    notices.clear();
    auto mgr = QuietManager();
    mgr->Load();
    EXPECT_FALSE(mgr->Save());
    EXPECT_TRUE(fs::is_directory(SavePath()));
    EXPECT_EQ(notices.size(), 1u);
}

// The original is only written over once its copy is safely kept.
TEST_F(ProfileMgrTest, FailedDamagedCopyMeansNoOverwrite)
{
    StoreProfiles({u"Ann"});
    std::string bytes = QuillTest::ReadFile(SavePath());
    bytes[0] = static_cast<char>(bytes[0] ^ 0x5A);
    QuillTest::WriteFile(SavePath(), bytes);
    store->SetFaultHook([](UserDataFolders::FileOp op, const std::string& path) {
        return op == UserDataFolders::FileOp::Write && path.find("damaged") != std::string::npos ? ENOSPC : 0;
    });

    auto mgr = QuietManager();
    mgr->Load();
    EXPECT_TRUE(mgr->SavingDisabled());
    EXPECT_FALSE(mgr->Save());
    EXPECT_EQ(QuillTest::ReadFile(SavePath()), bytes);
    EXPECT_FALSE(fs::exists(DamagedPath()));
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find(SavePath().string()), std::string::npos) << notices[0];
}

TEST_F(ProfileMgrTest, EveryDamagedFileGetsItsOwnCopy)
{
    std::vector<std::string> damaged;
    for (int incident = 0; incident < 3; ++incident) {
        StoreProfiles({u"Ann"});
        std::string bytes = QuillTest::ReadFile(SavePath());
        bytes[0] = static_cast<char>(bytes[0] ^ (0x11 + incident));
        QuillTest::WriteFile(SavePath(), bytes);
        damaged.push_back(bytes);
        auto mgr = QuietManager();
        mgr->Load();
        ASSERT_TRUE(mgr->Save());
    }
    // Each incident is told with the copy it made.
    ASSERT_EQ(notices.size(), 3u);
    EXPECT_NE(notices[2].find((folder / "velv.save.damaged.3").string()), std::string::npos) << notices[2];
    EXPECT_EQ(QuillTest::ReadFile(DamagedPath()), damaged[0]);
    EXPECT_EQ(QuillTest::ReadFile(folder / "velv.save.damaged.2"), damaged[1]);
    EXPECT_EQ(QuillTest::ReadFile(folder / "velv.save.damaged.3"), damaged[2]);
}
