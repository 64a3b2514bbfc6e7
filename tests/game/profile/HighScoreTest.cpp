// The high-score table: its order, its ten-line limit and its stored form.

#include <gtest/gtest.h>

#include <set>

#include "engine/core/strings/Format.h"
#include "engine/core/xml/XmlNode.h"
#include "game/profile/HighScores.h"

using namespace QuillEngine;

namespace {

std::vector<uint32_t> Times(const HighScores& table)
{
    std::vector<uint32_t> out;
    for (const HighScoreEntry& e : table.Entries())
        out.push_back(e.time);
    return out;
}

TEST(HighScores, DefaultsAreTenNamedLinesFromOneToFiveHours)
{
    HighScores table;
    table.Insert(u"Leftover", 1);
    table.Defaults();
    EXPECT_EQ(Times(table), (std::vector<uint32_t>{3600, 4000, 5000, 6000, 8000, 10000, 12000, 14000, 16000, 18000}));
    std::set<String> names;
    for (const HighScoreEntry& e : table.Entries())
        names.insert(e.name);
    EXPECT_EQ(names.size(), 10u);
    EXPECT_EQ(names.count(u""), 0u);
}

TEST(HighScores, InsertKeepsTheTenFastestInArrivalOrderForTies)
{
    HighScores table;
    table.Defaults();
    EXPECT_TRUE(table.Insert(u"Quick", 100));
    EXPECT_EQ(table.Entries().front().name, u"Quick");
    EXPECT_EQ(table.Count(), 10u);
    EXPECT_EQ(table.Entries().back().time, 16000u); // 18000 dropped out

    const std::vector<uint32_t> before = Times(table);
    EXPECT_FALSE(table.Insert(u"Slow", 99999));
    EXPECT_FALSE(table.Insert(u"AsSlowAsLast", 16000)); // equal to the last line goes after it
    EXPECT_EQ(Times(table), before);

    HighScores ties;
    EXPECT_TRUE(ties.Insert(u"First", 50));
    EXPECT_TRUE(ties.Insert(u"Second", 50));
    EXPECT_TRUE(ties.Insert(u"Before", 49));
    EXPECT_TRUE(ties.Insert(u"Third", 50));
    ASSERT_EQ(ties.Count(), 4u);
    EXPECT_EQ(ties.Entries()[0].name, u"Before");
    EXPECT_EQ(ties.Entries()[1].name, u"First");
    EXPECT_EQ(ties.Entries()[2].name, u"Second");
    EXPECT_EQ(ties.Entries()[3].name, u"Third");
}

TEST(HighScores, LoadReadsStoredLinesAndStopsAtABrokenOne)
{
    HighScores table;
    EXPECT_TRUE(table.Load(nullptr));
    EXPECT_EQ(table.Count(), 10u);

    XmlNode empty(u"highscores");
    EXPECT_TRUE(table.Load(&empty));
    EXPECT_EQ(table.Count(), 0u);

    XmlNode twelve(u"highscores");
    for (uint32_t i = 12; i >= 1; --i) {
        XmlNode* score = twelve.AddChild(u"score");
        score->SetAttribute(u"name", u"P");
        score->SetAttribute(u"time", Format(u"%d", {i * 10}));
    }
    EXPECT_TRUE(table.Load(&twelve));
    EXPECT_EQ(Times(table), (std::vector<uint32_t>{10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));

    XmlNode broken(u"highscores");
    XmlNode* good = broken.AddChild(u"score");
    good->SetAttribute(u"name", u"Kept");
    good->SetAttribute(u"time", u"77");
    broken.AddChild(u"score")->SetAttribute(u"name", u"NoTime");
    XmlNode* after = broken.AddChild(u"score");
    after->SetAttribute(u"name", u"NeverRead");
    after->SetAttribute(u"time", u"5");
    EXPECT_FALSE(table.Load(&broken));
    ASSERT_EQ(table.Count(), 1u);
    EXPECT_EQ(table.Entries()[0].name, u"Kept");

    XmlNode negative(u"highscores");
    XmlNode* edited = negative.AddChild(u"score");
    edited->SetAttribute(u"name", u"Edited");
    edited->SetAttribute(u"time", u"-100");
    EXPECT_TRUE(table.Load(&negative));
    EXPECT_EQ(Times(table), std::vector<uint32_t>{0}) << "a negative time is 0, not wrapped";
}

TEST(HighScores, SavedTableReadsBackUnchanged)
{
    HighScores table;
    table.Insert(u"Ann & <Bo>", 3000000000u); // beyond the signed range: still read back whole
    table.Insert(u"Cy", 42);
    XmlNode root(u"root");
    table.Save(&root);
    const std::string text = root.ToUtf8String();
    auto parsed = XmlNode::ParseDocument(text, false);
    ASSERT_TRUE(parsed);
    HighScores back;
    EXPECT_TRUE(back.Load(parsed->FindChild(u"highscores")));
    ASSERT_EQ(back.Count(), 2u);
    EXPECT_EQ(back.Entries()[0].name, u"Cy");
    EXPECT_EQ(back.Entries()[0].time, 42u);
    EXPECT_EQ(back.Entries()[1].name, u"Ann & <Bo>");
    EXPECT_EQ(back.Entries()[1].time, 3000000000u);
}

} // namespace
