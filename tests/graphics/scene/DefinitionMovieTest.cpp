#include "engine/graphics/scene/Definition_Movie.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/scene/DefinitionLibrary.h"

using namespace QuillEngine;

namespace {

std::unique_ptr<XmlNode> Parse(const std::string& xml)
{
    auto doc = XmlNode::ParseDocument(xml, false);
    EXPECT_TRUE(doc) << xml;
    return doc;
}

// A movie element with the given children.
std::string MovieXml(const std::string& children, const char* timing = "length=\"48\" fps=\"24\"")
{
    return std::string("<Definition type=\"movie\" name=\"M\" ") + timing + ">" + children + "</Definition>";
}

std::string LibraryTrack(const std::string& frames, const char* extra = "")
{
    return std::string("<Instance type=\"library\" definition=\"Leaf\" instancename=\"leaf\" depth=\"3\" "
                       "create=\"5\" death=\"0x10\" regx=\"1.5\" regy=\"-2\" ") +
           extra + ">" + frames + "</Instance>";
}

std::string TextTrack(const char* text, const char* align = "center", const std::string& frames = "")
{
    return std::string("<Instance type=\"text\" instancename=\"caption\" depth=\"2\" create=\"0\" death=\"48\" "
                       "regx=\"0\" regy=\"0\" text=\"") +
           text + "\" face=\"Sans\" size=\"0x12\" color=\"0xFF8000\" align=\"" + align +
           "\" width=\"99\" height=\"19\">" + frames + "</Instance>";
}

std::unique_ptr<Definition_Movie> Load(const std::string& xml, bool expectLoads = true)
{
    auto doc = Parse(xml);
    auto movie = std::make_unique<Definition_Movie>(nullptr);
    const bool loaded = doc && movie->Load(*doc);
    EXPECT_EQ(loaded, expectLoads) << xml;
    return movie;
}

// The key of a library (or text) track with one frame.
TrackKey KeyOf(const char* frame, bool text = false)
{
    const std::string frames = std::string("<Frame ") + frame + "/>";
    auto movie = Load(MovieXml(text ? TextTrack("t", "left", frames) : LibraryTrack(frames)));
    const TrackKey* key = movie->GetTrackKey(0, movie->GetTracks().empty() ? 0 : movie->GetTracks()[0].createFrame);
    EXPECT_NE(key, nullptr) << frame;
    return key ? *key : TrackKey{};
}

} // namespace

TEST(DefinitionMovieTest, TimelineEventsAndLabelsAreRead)
{
    auto movie = Load(MovieXml("<Event frame=\"10\" type=\"stop\"/>"
                               "<Event frame=\"0x14\" type=\"gotoAndStop\" targetframe=\"3\"/>"
                               "<Event frame=\"30\" type=\"gotoAndPlay\" targetframe=\"010\"/>"
                               "<Event frame=\"10\" type=\"gotoAndPlay\" targetframe=\"0\"/>"
                               "<Label name=\"intro\" frame=\"0\"/>"
                               "<Label name=\"idle\" frame=\"24\"/>"
                               "<Label name=\"loop\" frame=\"24\"/>"
                               "<Label name=\"outro\" frame=\"40\"/>",
                               "length=\"0x30\" fps=\"30\""));
    EXPECT_EQ(movie->GetType(), Definition_Base::Type_Movie);
    EXPECT_EQ(movie->GetLength(), 48u);
    EXPECT_EQ(movie->GetFps(), 30u);

    ASSERT_EQ(movie->GetFrameEvents().size(), 3u);
    const FrameEvent* replaced = movie->FindFrameEvent(10);
    ASSERT_NE(replaced, nullptr);
    EXPECT_EQ(replaced->type, FrameEvent::GotoAndPlay) << "a later event of a frame replaces the earlier";
    EXPECT_EQ(replaced->targetFrame, 0u);
    ASSERT_NE(movie->FindFrameEvent(20), nullptr);
    EXPECT_EQ(movie->FindFrameEvent(20)->type, FrameEvent::GotoAndStop);
    EXPECT_EQ(movie->FindFrameEvent(20)->targetFrame, 3u);
    EXPECT_EQ(movie->FindFrameEvent(30)->targetFrame, 8u) << "leading zero reads as octal";
    EXPECT_EQ(movie->FindFrameEvent(11), nullptr);

    EXPECT_EQ(movie->GetLabels().size(), 3u);
    ASSERT_NE(movie->FindLabel(24), nullptr);
    EXPECT_EQ(*movie->FindLabel(24), u"loop");
    EXPECT_EQ(movie->FindLabel(23), nullptr);
    uint32_t frame = 0;
    EXPECT_TRUE(movie->FindLabelFrame(u"outro", frame));
    EXPECT_EQ(frame, 40u);
    EXPECT_FALSE(movie->FindLabelFrame(u"idle", frame));
    EXPECT_FALSE(movie->FindLabelFrame(u"Outro", frame)) << "labels match exactly";
}

TEST(DefinitionMovieTest, MalformedTimelinesFail)
{
    const char* bad[] = {
        "<Event frame=\"1\" type=\"gotoAndPlay\"/>",
        "<Event frame=\"1\" type=\"gotoAndStop\" targetframe=\"\"/>",
        "<Event frame=\"\" type=\"stop\"/>",
        "<Event type=\"stop\"/>",
        "<Event frame=\"1\" type=\"Stop\"/>",
        "<Event frame=\"1\" type=\"gotoandplay\" targetframe=\"2\"/>",
        "<Label name=\"\" frame=\"1\"/>",
        "<Label name=\"a\"/>",
    };
    for (const char* child : bad)
        Load(MovieXml(child), false);
    Load(MovieXml("<Event frame=\"1\" type=\"stop\"/>"), true);

    Load("<Definition type=\"movie\" name=\"M\" fps=\"24\"/>", false);
    Load("<Definition type=\"movie\" name=\"M\" length=\"2\"/>", false);
    Load(MovieXml("", "length=\"2\" fps=\"1000\""), true);
    Load(MovieXml("", "length=\"2\" fps=\"1001\""), false);
    Load(MovieXml("", "length=\"2\" fps=\"-1\""), false);
}

TEST(DefinitionMovieTest, TracksCarryTheirInstanceData)
{
    auto movie = Load(MovieXml(LibraryTrack("<Frame alpha=\"100\"/><Frame/>", "userdata=\"coin=3\"") +
                               TextTrack("Open.  Come in!", "right") +
                               "<Instance type=\"TEXT\" instancename=\"b\" depth=\"1\" create=\"0\" death=\"1\" "
                               "regx=\"0\" regy=\"0\" text=\"x\" face=\"F\" size=\"1\" color=\"1\" align=\"left\" "
                               "width=\"2147483647\" height=\"-5\" bold=\"1\"/>"));
    ASSERT_EQ(movie->GetTracks().size(), 3u);
    const InstanceTrack& leaf = movie->GetTracks()[0];
    EXPECT_EQ(leaf.kind, InstanceTrack::Kind_Library);
    EXPECT_EQ(leaf.content, u"Leaf");
    EXPECT_EQ(leaf.instanceName, u"leaf");
    EXPECT_EQ(leaf.depth, 3u);
    EXPECT_EQ(leaf.createFrame, 5u);
    EXPECT_EQ(leaf.deathFrame, 16u);
    EXPECT_FLOAT_EQ(leaf.regX, 1.5f);
    EXPECT_FLOAT_EQ(leaf.regY, -2.0f);
    EXPECT_EQ(leaf.userData, u"coin=3");
    EXPECT_EQ(leaf.trackIndex, 0);
    EXPECT_EQ(leaf.keys.size(), 2u);
    EXPECT_TRUE(leaf.LivesAt(5));
    EXPECT_TRUE(leaf.LivesAt(15));
    EXPECT_FALSE(leaf.LivesAt(16));
    EXPECT_FALSE(leaf.LivesAt(4));

    const InstanceTrack& caption = movie->GetTracks()[1];
    EXPECT_EQ(caption.kind, InstanceTrack::Kind_Text);
    EXPECT_EQ(caption.content, u"Open. Come in!");
    EXPECT_EQ(caption.face, u"Sans");
    EXPECT_EQ(caption.textSize, 18u);
    EXPECT_EQ(caption.textColor, 0xFF8000u);
    EXPECT_EQ(caption.alignFlags, Definition_Movie::kAlignRight);
    EXPECT_EQ(caption.boxWidth, 100);
    EXPECT_EQ(caption.boxHeight, 20);
    EXPECT_EQ(caption.bold, 0);
    EXPECT_TRUE(caption.userData.empty());
    EXPECT_EQ(caption.trackIndex, 1);

    const InstanceTrack& third = movie->GetTracks()[2];
    EXPECT_EQ(third.kind, InstanceTrack::Kind_Text) << "track types compare ignoring case";
    EXPECT_EQ(third.alignFlags, Definition_Movie::kAlignLeft);
    EXPECT_EQ(third.bold, 1);
    EXPECT_EQ(third.boxWidth, 2147483647) << "the box size saturates instead of overflowing";
    EXPECT_EQ(third.boxHeight, -4);
    EXPECT_EQ(movie->GetTrack(2), &third);
    EXPECT_EQ(movie->GetTrack(3), nullptr);
    EXPECT_EQ(movie->GetTrack(-1), nullptr);
}

TEST(DefinitionMovieTest, AFailingTrackEndsTheLoadAndDropsEveryTrack)
{
    const std::string good = LibraryTrack("<Frame/>");
    const std::string text = TextTrack("t");
    for (const char* attribute : {"type", "instancename", "depth", "create", "death", "regx", "regy", "definition"}) {
        auto doc = Parse(MovieXml(good + good));
        doc->GetChild(1)->RemoveAttribute(FromUtf8(attribute));
        Definition_Movie movie(nullptr);
        EXPECT_FALSE(movie.Load(*doc)) << attribute;
        EXPECT_TRUE(movie.GetTracks().empty()) << attribute;
    }
    for (const char* attribute : {"text", "face", "size", "color", "align", "width", "height"}) {
        auto doc = Parse(MovieXml(good + text));
        doc->GetChild(1)->RemoveAttribute(FromUtf8(attribute));
        Definition_Movie movie(nullptr);
        EXPECT_FALSE(movie.Load(*doc)) << attribute;
        EXPECT_TRUE(movie.GetTracks().empty());
    }
    Load(MovieXml(TextTrack("t", "Center")), false);
    Load(MovieXml(TextTrack("t", "justify")), false);
    Load(MovieXml(good + "<Instance type=\"sprite\" instancename=\"s\" depth=\"1\" create=\"0\" death=\"1\" "
                         "regx=\"0\" regy=\"0\" definition=\"Leaf\"/>"),
         false);
    std::string notANumber = LibraryTrack("");
    notANumber.replace(notANumber.find("regx=\"1.5\""), 10, "regx=\"nan\"");
    Load(MovieXml(notANumber), false);
}

TEST(DefinitionMovieTest, DefinitionTypesCompareIgnoringCase)
{
    auto doc = Parse("<Definition type=\"Movie\" name=\"Big\" length=\"1\" fps=\"1\"/>");
    auto definition = CreateDefinition(*doc, nullptr);
    ASSERT_NE(definition, nullptr);
    EXPECT_EQ(definition->GetType(), Definition_Base::Type_Movie);
    EXPECT_EQ(definition->GetName(), u"Big");
    doc = Parse("<Definition type=\"movie\" name=\"Big\" length=\"1\" fps=\"5000\"/>");
    EXPECT_EQ(CreateDefinition(*doc, nullptr), nullptr) << "a definition that fails to load is not made";
}

TEST(DefinitionMovieTest, SpacesAfterPunctuationShrinkBeforeAWord)
{
    EXPECT_EQ(CleanTrackText(u"Stop.  Go"), u"Stop. Go");
    EXPECT_EQ(CleanTrackText(u"Stop.   Go"), u"Stop. Go");
    EXPECT_EQ(CleanTrackText(u"Stop.     9 lives"), u"Stop. 9 lives");
    EXPECT_EQ(CleanTrackText(u"End.  "), u"End.  ") << "a run that ends the text keeps two";
    EXPECT_EQ(CleanTrackText(u"End.     "), u"End.  ");
    EXPECT_EQ(CleanTrackText(u"a,  -b"), u"a,  -b") << "a hyphen is neither letter, digit nor space";
    EXPECT_EQ(CleanTrackText(u"a,    -b"), u"a,  -b");
    EXPECT_EQ(CleanTrackText(u"a.  "), u"a.  ");
    EXPECT_EQ(CleanTrackText(u"a. b"), u"a. b");
    EXPECT_EQ(CleanTrackText(u"a  b"), u"a  b") << "only after punctuation";
    EXPECT_EQ(CleanTrackText(u"Why?!  Yes;  no:  \u00e9t\u00e9"), u"Why?! Yes; no: \u00e9t\u00e9");
    EXPECT_EQ(CleanTrackText(u"Hm.  \u2014 no"), u"Hm.  \u2014 no");
    EXPECT_EQ(CleanTrackText(u"."), u".");
    EXPECT_EQ(CleanTrackText(u""), u"");
    EXPECT_EQ(CleanTrackText(u"Line\\nTwo.  Tab\\tEnd\\"), u"Line\nTwo. Tab\tEnd");

    auto movie = Load(MovieXml(TextTrack("Come in.  We are open!\\nAll day.  ")));
    EXPECT_EQ(movie->GetTracks()[0].content, u"Come in. We are open!\nAll day.  ");
}

TEST(DefinitionMovieTest, KeysComeFromTheAuthoredTransform)
{
    TrackKey key = KeyOf("transform=\"1 0 0 0.995 10 20\"");
    EXPECT_FLOAT_EQ(key.scaleX, 1.0f);
    EXPECT_FLOAT_EQ(key.scaleY, 1.0f) << "0.995 next to an exact 1 snaps to 1";
    EXPECT_FLOAT_EQ(key.rotation, 6.28318f);
    EXPECT_FLOAT_EQ(key.x, 10.0f);
    EXPECT_FLOAT_EQ(key.y, 20.0f);
    EXPECT_FLOAT_EQ(key.opacity, 0.0f) << "no alpha is fully transparent";

    key = KeyOf("transform=\"1 0 0 0.995 10 20\"", true);
    EXPECT_FLOAT_EQ(key.x, 8.0f);
    EXPECT_FLOAT_EQ(key.y, 18.0f);

    key = KeyOf("transform=\"0.995 0 0 0.995 0 0\"");
    EXPECT_FLOAT_EQ(key.scaleX, 0.995f) << "no snapping without an exact 1";

    key = KeyOf("alpha=\"50\" transform=\"0 1 -1 0 3 4\"");
    EXPECT_FLOAT_EQ(key.opacity, 0.5f);
    EXPECT_FLOAT_EQ(key.scaleX, 1.0f);
    EXPECT_FLOAT_EQ(key.scaleY, 1.0f);
    EXPECT_NEAR(key.rotation, 1.5707963f, 1e-6f);

    key = KeyOf("transform=\"0 -1 1 0 0 0\"");
    EXPECT_NEAR(key.rotation, 6.28318f - 1.5707963f, 1e-6f);

    key = KeyOf("transform=\"-2 0 0 3 0 0\"");
    EXPECT_FLOAT_EQ(key.scaleX, -2.0f) << "a mirrored key has a negative x scale";
    EXPECT_FLOAT_EQ(key.scaleY, 3.0f);
    EXPECT_FLOAT_EQ(key.rotation, 6.28318f);

    key = KeyOf("alpha=\"100\"");
    EXPECT_FLOAT_EQ(key.opacity, 1.0f);
    EXPECT_FLOAT_EQ(key.scaleX, 1.0f) << "a frame without a transform keeps the identity";
    EXPECT_FLOAT_EQ(key.x, 0.0f);
}

// Keys that would have been undefined: a collapsed axis (0 / 0 under the arc cosine), a ratio that
// rounds past 1, and opacity outside 0..1.
TEST(DefinitionMovieTest, DegenerateKeysStayFinite)
{
    TrackKey key = KeyOf("alpha=\"250\" transform=\"0 0 0 0 5 6\"");
    EXPECT_EQ(key.rotation, 0.0f);
    EXPECT_EQ(key.scaleX, 0.0f);
    EXPECT_EQ(key.x, 5.0f);
    EXPECT_FLOAT_EQ(key.opacity, 1.0f);
    key = KeyOf("alpha=\"-20\" transform=\"0.70710677 0.70710677 -0.70710677 0.70710677 0 0\"");
    EXPECT_TRUE(std::isfinite(key.rotation));
    EXPECT_NEAR(key.rotation, 0.7853982f, 1e-5f);
    EXPECT_FLOAT_EQ(key.opacity, 0.0f);
    key = KeyOf("transform=\"1e30 0 0 1e30 0 0\"");
    EXPECT_TRUE(std::isfinite(key.rotation));

    for (const char* transform : {"1 0 0 1 10", "1 0 0 1 10 20 30", "1 0 0 1 x 20", "1 0 0 1 nan 20", "1 0 0 1 inf 20",
                                  "1,0,0,1,0,0", "", "1 0 0 1 1e39 0"}) {
        const std::string frames = std::string("<Frame transform=\"") + transform + "\"/>";
        Load(MovieXml(LibraryTrack(frames)), false);
    }
}

TEST(DefinitionMovieTest, KeysOutsideTheKeyedFramesAreHeld)
{
    auto movie = Load(MovieXml(LibraryTrack("<Frame transform=\"1 0 0 1 0 0\"/>"
                                            "<Frame transform=\"1 0 0 1 1 0\"/>"
                                            "<Frame transform=\"1 0 0 1 2 0\"/>") +
                               LibraryTrack("")));
    // The first track starts at frame 5 with three keys but lives until frame 16.
    EXPECT_FLOAT_EQ(movie->GetTrackKey(0, 5)->x, 0.0f);
    EXPECT_FLOAT_EQ(movie->GetTrackKey(0, 6)->x, 1.0f);
    EXPECT_FLOAT_EQ(movie->GetTrackKey(0, 7)->x, 2.0f);
    EXPECT_FLOAT_EQ(movie->GetTrackKey(0, 15)->x, 2.0f) << "past the last key the last one holds";
    EXPECT_FLOAT_EQ(movie->GetTrackKey(0, 0xFFFFFFFFu)->x, 2.0f);
    EXPECT_FLOAT_EQ(movie->GetTrackKey(0, 2)->x, 0.0f) << "before the create frame the first one";
    EXPECT_EQ(movie->GetTrackKey(1, 5), nullptr) << "a track without keys";
    EXPECT_EQ(movie->GetTrackKey(2, 5), nullptr);
    EXPECT_EQ(movie->GetTrackKey(-7, 5), nullptr);
}

TEST(DefinitionMovieTest, TracksResolveTheLastDefinitionOfTheirName)
{
    DefinitionLibrary library;
    auto doc = Parse("<L>" +
                     MovieXml(LibraryTrack("") + TextTrack("t") +
                              "<Instance type=\"library\" definition=\"Gone\" instancename=\"g\" depth=\"1\" "
                              "create=\"0\" death=\"1\" regx=\"0\" regy=\"0\"/>") +
                     "</L>");
    int32_t added = 0, existing = 0;
    ASSERT_TRUE(library.ImportLibrary(*doc, nullptr, added, existing));
    ASSERT_TRUE(library.AddImageDefinition(u"Leaf", u"a.png"));
    ASSERT_TRUE(library.AddImageDefinition(u"Leaf", u"b.png"));
    auto* movie = static_cast<Definition_Movie*>(library.GetDefinition(u"M", 0));
    ASSERT_NE(movie, nullptr);
    EXPECT_EQ(movie->ResolveTrackDefinition(0), library.GetDefinition(u"Leaf", 1));
    EXPECT_EQ(movie->ResolveTrackDefinition(1), nullptr) << "a text track names no definition";
    EXPECT_EQ(movie->ResolveTrackDefinition(2), nullptr) << "a missing definition yields nothing";
    library.RemoveDefinitions(u"Leaf");
    EXPECT_EQ(movie->ResolveTrackDefinition(0), nullptr);
}
