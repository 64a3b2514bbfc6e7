// A profile and its scene and level records: their saved form and the progress rules.

#include <gtest/gtest.h>

#include <limits>

#include "engine/core/xml/XmlNode.h"
#include "game/profile/Profile.h"
#include "game/profile/ProfileMgr.h"

using namespace QuillEngine;

namespace {

std::unique_ptr<XmlNode> RoundTrip(const XmlNode& node)
{
    return XmlNode::ParseDocument(node.ToUtf8String(), false);
}

std::unique_ptr<FindListEntry> Entry(const char16_t* name, const char16_t* plural, int32_t count)
{
    auto e = std::make_unique<FindListEntry>(name, plural);
    e->count = count;
    e->maxcount = count;
    e->UpdateText();
    return e;
}

TEST(ProfileRecords, LevelFromTemplateStartsFresh)
{
    LevelRecord templ(u"Garden", 600.0f, 120.0f, 25, 4, true);
    templ.items = 9;
    templ.hints = 0;
    templ.bonusPlayed = true;
    auto level = templ.MakeFromTemplate();
    EXPECT_EQ(level->key, u"Garden");
    EXPECT_FLOAT_EQ(level->timeLeft, 600.0f);
    EXPECT_FLOAT_EQ(level->maxTime, 600.0f);
    EXPECT_FLOAT_EQ(level->bonusTimeLeft, 120.0f);
    EXPECT_FLOAT_EQ(level->bonusMaxTime, 120.0f);
    EXPECT_EQ(level->maxItems, 25);
    EXPECT_EQ(level->items, 0);
    EXPECT_EQ(level->hints, 3);
    EXPECT_EQ(level->maxHints, 3);
    EXPECT_TRUE(level->crisis);
    EXPECT_FALSE(level->crisisSound);
    EXPECT_EQ(level->number, 4);
    EXPECT_FALSE(level->bonusPlayed);
    EXPECT_TRUE(level->firstTimeSeen);
}

TEST(ProfileRecords, FindListEntryTextCountsAGroup)
{
    auto group = Entry(u"plate", u"plates", 3);
    EXPECT_TRUE(group->group);
    EXPECT_EQ(group->text, u"3 plates");
    group->count = 1;
    group->UpdateText();
    EXPECT_EQ(group->text, u"plate");
    group->count = 0; // all found: the full count shows again
    group->UpdateText();
    EXPECT_EQ(group->text, u"3 plates");
    auto single = Entry(u"teapot", u"", 1);
    single->maxcount = 4;
    single->UpdateText();
    EXPECT_FALSE(single->group);
    EXPECT_EQ(single->text, u"teapot");
}

TEST(ProfileRecords, OnlyASceneInProgressKeepsItsEntries)
{
    SceneRecord scene(SceneRecord::InProgress, 7, 2, u"Parlour", 12, 1.5f);
    scene.replay = true;
    scene.findList.push_back(Entry(u"plate", u"plates", 3));
    scene.findList.back()->count = 1;
    scene.findList.push_back(Entry(u"teapot", u"", 1));
    scene.findList.back()->found = true;
    scene.findList.back()->count = 0;
    scene.bluebirds.push_back(Entry(u"Bluebird_3", u"", 1));
    EXPECT_EQ(scene.ItemsLeft(), 1); // bluebirds are extra, not items

    XmlNode parent(u"profile");
    scene.Save(&parent);
    auto doc = RoundTrip(parent);
    ASSERT_TRUE(doc);
    const XmlNode* saved = doc->GetChild(0);
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->GetStringAttribute(u"difficulty", u""), u"1.500000");

    SceneRecord back;
    ASSERT_TRUE(back.Load(saved));
    EXPECT_EQ(back.status, SceneRecord::InProgress);
    EXPECT_EQ(back.number, 7);
    EXPECT_EQ(back.level, 2);
    EXPECT_EQ(back.title, u"Parlour");
    EXPECT_EQ(back.items, 12);
    EXPECT_FLOAT_EQ(back.difficulty, 1.5f);
    EXPECT_TRUE(back.replay);
    ASSERT_EQ(back.findList.size(), 2u);
    ASSERT_EQ(back.bluebirds.size(), 1u);
    EXPECT_EQ(back.findList[0]->text, u"3 plates");
    EXPECT_EQ(back.findList[0]->count, 1);
    EXPECT_EQ(back.findList[0]->maxcount, 3);
    EXPECT_TRUE(back.findList[0]->group);
    EXPECT_TRUE(back.findList[1]->found);
    EXPECT_EQ(back.bluebirds[0]->name, u"Bluebird_3");

    scene.status = SceneRecord::Complete;
    XmlNode parent2(u"profile");
    scene.Save(&parent2);
    EXPECT_EQ(parent2.GetChild(0)->GetChildCount(), 0u);
    EXPECT_EQ(scene.ItemsLeft(), 0);
    scene.status = SceneRecord::Locked;
    EXPECT_EQ(scene.ItemsLeft(), 12);
}

TEST(ProfileRecords, BrokenSceneAndLevelElementsAreRefused)
{
    SceneRecord scene(SceneRecord::InProgress, 1, 1, u"Hall", 3, 1.0f);
    scene.findList.push_back(Entry(u"cup", u"", 1));
    XmlNode parent(u"p");
    scene.Save(&parent);
    XmlNode* saved = parent.GetChild(0);

    SceneRecord back;
    saved->SetAttribute(u"status", u"4");
    EXPECT_FALSE(back.Load(saved));
    saved->SetAttribute(u"status", u"-1"); // reads unsigned: far above 3
    EXPECT_FALSE(back.Load(saved));
    saved->SetAttribute(u"status", u"1");
    EXPECT_TRUE(back.Load(saved));
    saved->GetChild(0)->RemoveAttribute(u"maxcount");
    EXPECT_FALSE(back.Load(saved));
    saved->GetChild(0)->SetAttribute(u"maxcount", u"1");
    saved->RemoveAttribute(u"replay");
    EXPECT_FALSE(back.Load(saved));
    saved->SetAttribute(u"replay", u"0");
    for (size_t i = 0; i <= SceneRecord::kMaxEntries; ++i) {
        XmlNode* extra = saved->AddChild(u"bluebird");
        for (const auto& [name, value] : saved->GetChild(0)->Attributes())
            extra->SetAttribute(name, value);
    }
    EXPECT_FALSE(back.Load(saved)); // more bluebirds than a scene can hold

    LevelRecord level(u"L", 60.0f, 30.0f, 5, 2, false);
    XmlNode levels(u"p");
    level.Save(&levels);
    XmlNode* lsaved = levels.GetChild(0);
    LevelRecord lback;
    EXPECT_TRUE(lback.Load(lsaved));
    lsaved->SetAttribute(u"items", u"4294967295"); // a count read unsigned never turns negative
    lsaved->SetAttribute(u"timeleft", u"nan");
    ASSERT_TRUE(lback.Load(lsaved));
    EXPECT_EQ(lback.items, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(lback.timeLeft, 0.0f);
    lsaved->RemoveAttribute(u"firsttimeseen");
    EXPECT_FALSE(lback.Load(lsaved));
}

std::unique_ptr<Profile> MakeProfile()
{
    auto owner = std::make_unique<Profile>(u"Ann & <Bo>");
    Profile& p = *owner;
    p.page = 4;
    p.introSeen = true;
    p.bouquet = 2;
    p.gift = 1;
    p.bluebirds = 17;
    p.honeymoonItems = 3;
    p.musicVolume = 0.25;
    p.relaxed = true;
    p.tutorial.Set(TutorialFlags::HintPrompt, false);
    p.AddLevelRecord(LevelRecord(u"One", 300.0f, 60.0f, 10, 1, false).MakeFromTemplate());
    p.AddLevelRecord(LevelRecord(u"Two", 400.0f, 60.0f, 10, 2, true).MakeFromTemplate());
    p.AddSceneRecord(std::make_unique<SceneRecord>(SceneRecord::Complete, 1, 1, u"A", 5, 1.0f));
    p.AddSceneRecord(std::make_unique<SceneRecord>(SceneRecord::InProgress, 2, 2, u"B", 5, 1.0f));
    p.AddSceneRecord(std::make_unique<SceneRecord>(SceneRecord::Locked, 3, 3, u"C", 5, 1.0f));
    auto con = std::make_unique<XmlNode>(u"concentration");
    con->SetAttribute(u"cards", u"12");
    p.SetConcentrationState(std::move(con));
    return owner;
}

TEST(ProfileRecords, ProfileReadsBackAsSaved)
{
    auto owner = MakeProfile();
    Profile& p = *owner;
    EXPECT_FALSE(p.AddSceneRecord(std::make_unique<SceneRecord>(SceneRecord::Open, 2, 9, u"Dup", 1, 1.0f)));
    XmlNode root(u"root");
    p.Save(&root);
    auto doc = RoundTrip(root);
    ASSERT_TRUE(doc);
    Profile back(u"NewProfile");
    ASSERT_TRUE(back.Load(doc->GetChild(0)));
    EXPECT_EQ(back.name, u"Ann & <Bo>");
    EXPECT_EQ(back.page, 4u);
    EXPECT_TRUE(back.introSeen);
    EXPECT_FALSE(back.tableauxSeen);
    EXPECT_EQ(back.bouquet, 2);
    EXPECT_EQ(back.gift, 1);
    EXPECT_EQ(back.bluebirds, 17);
    EXPECT_EQ(back.honeymoonItems, 3);
    EXPECT_DOUBLE_EQ(back.musicVolume, 0.25);
    EXPECT_DOUBLE_EQ(back.ambientVolume, 0.5);
    EXPECT_TRUE(back.relaxed);
    EXPECT_FALSE(back.tutorial.Get(TutorialFlags::HintPrompt));
    EXPECT_TRUE(back.tutorial.Get(TutorialFlags::BluebirdPrompt));
    ASSERT_EQ(back.scenes.size(), 3u);
    ASSERT_EQ(back.levels.size(), 2u);
    EXPECT_EQ(back.levels[1]->key, u""); // the key is the catalogue's, not the file's
    ASSERT_NE(back.ConcentrationState(), nullptr);
    EXPECT_EQ(back.ConcentrationState()->GetStringAttribute(u"cards", u""), u"12");
    EXPECT_EQ(back.StoryState(), nullptr);

    // Every profile attribute is required; out-of-range volumes are pulled into 0..1.
    XmlNode* saved = doc->GetChild(0);
    saved->SetAttribute(u"effectsvolume", u"1e300");
    saved->SetAttribute(u"ambientvolume", u"-3");
    Profile clamped(u"x");
    ASSERT_TRUE(clamped.Load(saved));
    EXPECT_DOUBLE_EQ(clamped.effectsVolume, 1.0);
    EXPECT_DOUBLE_EQ(clamped.ambientVolume, 0.0);
    // Counts edited to negative numbers read as 0, not wrapped to huge ones.
    saved->SetAttribute(u"bluebirds", u"-5");
    saved->SetAttribute(u"gown", u" -1");
    ASSERT_TRUE(clamped.Load(saved));
    EXPECT_EQ(clamped.bluebirds, 0);
    EXPECT_EQ(clamped.gown, 0);
    saved->RemoveAttribute(u"honeymoonitems");
    EXPECT_FALSE(Profile(u"x").Load(saved));
}

TEST(ProfileRecords, ProgressRules)
{
    auto owner = MakeProfile();
    Profile& p = *owner;
    p.page = 2; // level 1
    EXPECT_EQ(p.CurrentLevel()->number, 1);
    EXPECT_TRUE(p.IsDone(0));
    EXPECT_TRUE(p.IsDone(6));
    EXPECT_TRUE(p.IsDone(12));
    EXPECT_FALSE(p.IsDone(18));
    EXPECT_FALSE(p.IsDone(1)); // scenes complete but its bonus game not played
    p.FindLevel(1)->bonusPlayed = true;
    EXPECT_TRUE(p.IsDone(1));
    EXPECT_FALSE(p.IsDone(2)); // a scene still in progress
    p.FindScene(2)->status = SceneRecord::Complete;
    EXPECT_TRUE(p.IsDone(2));   // a crisis level needs no bonus game
    EXPECT_FALSE(p.IsDone(40)); // no such level

    p.page = 4;
    LevelRecord* two = p.CurrentLevel();
    p.FindScene(2)->status = SceneRecord::InProgress;
    two->items = 9;
    EXPECT_FALSE(p.CompleteScene());
    EXPECT_EQ(p.FindScene(2)->status, SceneRecord::InProgress);
    two->items = 10;
    EXPECT_TRUE(p.CompleteScene());
    EXPECT_EQ(p.FindScene(2)->status, SceneRecord::Complete);
    p.page = 100;
    EXPECT_EQ(p.CurrentLevel(), nullptr);
    EXPECT_FALSE(p.CompleteScene());

    two->timeLeft = 150.0f;
    two->hints = 0;
    two->bonusPlayed = true;
    p.FindScene(2)->findList.push_back(Entry(u"cup", u"", 1));
    p.ResetLevel(2);
    EXPECT_EQ(two->items, 0);
    EXPECT_FLOAT_EQ(two->timeLeft, 400.0f);
    EXPECT_EQ(two->hints, 3);
    EXPECT_FALSE(two->bonusPlayed);
    EXPECT_EQ(p.FindScene(2)->status, SceneRecord::Open);
    EXPECT_TRUE(p.FindScene(2)->replay);
    EXPECT_TRUE(p.FindScene(2)->findList.empty());
    EXPECT_FALSE(p.FindScene(1)->replay);

    p.FindLevel(1)->timeLeft = 100.0f;
    two->timeLeft = 350.0f;
    EXPECT_FLOAT_EQ(p.TotalTimeUsed(), 250.0f);
    EXPECT_EQ(p.MaxSceneNumber(3), 3);
    EXPECT_EQ(p.MaxSceneNumber(9), 0);

    p.relaxed = true;
    p.SetClockPlaying(true);
    EXPECT_FALSE(p.clockPlaying);
    p.relaxed = false;
    p.SetClockPlaying(true);
    EXPECT_TRUE(p.clockPlaying);

    EXPECT_EQ(CrisisIndexForLevel(11), 0);
    EXPECT_EQ(CrisisIndexForLevel(17), 2);
    EXPECT_EQ(CrisisIndexForLevel(19), 3);
    EXPECT_EQ(CrisisIndexForLevel(5), 1);
}

TEST(ProfileRecords, TutorialFlagsStopAtTheFirstMissingOne)
{
    TutorialFlags flags;
    EXPECT_FALSE(flags.Save(nullptr));
    XmlNode element(u"tutorial");
    element.SetAttribute(u"m_GameBegun", u"0");
    element.SetAttribute(u"m_LevelBegun", u"-2");
    element.SetAttribute(u"m_ItemFound", u"0"); // after the gap: never read
    EXPECT_FALSE(flags.Load(&element));
    EXPECT_FALSE(flags.Get(TutorialFlags::GameBegun));
    EXPECT_TRUE(flags.Get(TutorialFlags::LevelBegun));
    EXPECT_TRUE(flags.Get(TutorialFlags::ItemFound));
}

} // namespace
