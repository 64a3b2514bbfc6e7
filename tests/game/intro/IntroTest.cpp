// The opening: shown for a second, a wait, the white fade, then the book; a pause freezes it.

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/core/files/FSCompressedSource.h"
#include "engine/core/files/FileManager.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/graphics/scene/DefinitionLibrary.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "game/app/Game.h"
#include "game/intro/Intro.h"
#include "game/screens/UIScreenMgr.h"
#include "tests/game/screens/UIScreenTestSupport.h"

using namespace QuillEngine;

namespace {

const char* const kIntroLibrary = R"(<Library>
  <Definition type="movie" name="WhitePlane" length="1" fps="60"/>
  <Definition type="movie" name="Intro" length="1" fps="60">
    <Instance type="library" definition="WhitePlane" instancename="whitePlane" depth="1" create="0" death="1" regx="0" regy="0">
      <Frame alpha="100" transform="1 0 0 1 0 0"/>
    </Instance>
  </Definition>
</Library>)";

class IntroTest : public ScreenTesting::SceneFixture {
protected:
    void SetUp() override
    {
        auto doc = XmlNode::ParseDocument(kIntroLibrary, false);
        int32_t added = 0, existing = 0;
        ASSERT_TRUE(doc && ui->GetDefinitionLibrary()->ImportLibrary(*doc, nullptr, added, existing));
        game = std::make_unique<Game>();
        ui->Update(); // the intro scene and the dialogs layer load
        intro = game->GetIntro();
        ASSERT_NE(intro, nullptr);
    }
    void TearDown() override { game.reset(); }

    void Step()
    {
        game->GetScreenMgr()->Update();
        game->Update();
    }
    void Steps(int count)
    {
        for (int i = 0; i < count; ++i)
            Step();
    }
    Instance_Base* White() { return intro->WhiteLayer().Resolve(); }

    std::unique_ptr<Game> game;
    Intro* intro = nullptr;
};

TEST_F(IntroTest, ShowsThenWaitsThenFadesToWhiteAndOpensTheBook)
{
    Instance_Base* scene = intro->Scene().Resolve();
    ASSERT_NE(scene, nullptr);
    ASSERT_NE(White(), nullptr);
    EXPECT_EQ(intro->GetState(), Intro::State_Showing);
    EXPECT_TRUE(scene->GetVisible());
    EXPECT_TRUE(scene->GetInputEnabled());
    EXPECT_FALSE(White()->GetVisible());
    EXPECT_EQ(White()->GetOpacity(), 0.0f);

    // Shown while the shown time is at most 60 steps; the step after that starts the fade.
    Steps(61);
    EXPECT_EQ(intro->GetState(), Intro::State_Showing);
    Step();
    EXPECT_EQ(intro->GetState(), Intro::State_Fading);
    EXPECT_TRUE(White()->GetVisible());

    // The wait: the white layer stays clear for 50 steps.
    Steps(49);
    EXPECT_EQ(White()->GetOpacity(), 0.0f);
    Steps(31);
    EXPECT_NEAR(White()->GetOpacity(), 30.0f / 60.0f, 1e-6);
    EXPECT_EQ(game->GetState(), GameState_Intro);

    Steps(29);
    EXPECT_EQ(game->GetState(), GameState_Intro);
    Step();
    EXPECT_EQ(game->GetState(), GameState_Book);
    EXPECT_EQ(White()->GetOpacity(), 1.0f);
    // Leaving the intro hides its scene and takes its input away; the intro is kept.
    EXPECT_FALSE(scene->GetVisible());
    EXPECT_FALSE(scene->GetInputEnabled());
    Steps(5);
    EXPECT_EQ(game->GetIntro(), intro);
    EXPECT_EQ(game->GetState(), GameState_Book);
}

TEST_F(IntroTest, APauseFreezesTheIntroAndOtherInstancesDoNotRestartIt)
{
    Steps(70);
    EXPECT_EQ(intro->GetState(), Intro::State_Fading);
    const int32_t counter = intro->FadeCounter();

    game->Pause();
    Steps(200);
    EXPECT_EQ(intro->FadeCounter(), counter);
    EXPECT_EQ(game->GetState(), GameState_Intro);
    game->Resume();
    Step();
    EXPECT_EQ(intro->FadeCounter(), counter + 1);

    // A load reported for another movie neither replaces the scene nor restarts the showing.
    const InstanceHandle scene = intro->Scene();
    const InstanceHandle other = ui->GetRootHandle().CreateChild(u"Scene", u"NotTheIntro");
    intro->OnLoad(other);
    EXPECT_EQ(intro->GetState(), Intro::State_Fading);
    EXPECT_EQ(intro->Scene(), scene);
}

TEST(IntroWithoutScene, AMissingDefinitionLeavesTheIntroWaitingWithoutFault)
{
    Intro intro(nullptr);
    intro.Start(InstanceHandle());
    intro.AddShownTime(500);
    intro.Update();
    EXPECT_EQ(intro.GetState(), 0);
    EXPECT_TRUE(intro.Scene().IsEmpty());
}

// The shipped interface package: the intro opens from its definition and finds its white layer.
class IntroContentTest : public ScreenTesting::SceneFixture {};

TEST_F(IntroContentTest, TheShippedIntroHasItsWhitePlane)
{
    const auto bin = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    if (!std::filesystem::exists(bin / "ui.dat"))
        GTEST_SKIP() << "the data archives are not built (target quill_data)";
    FileManager files;
    ASSERT_TRUE(files.AddSource(new FSCompressedSource(FromUtf8((bin / "ui.dat").string()), u"ui")));
    XmlCache cache(&files);
    const XmlNode* libraries = cache.Get(u"libraries.xml");
    ASSERT_NE(libraries, nullptr);
    ASSERT_TRUE(ui->GetDefinitionLibrary()->ImportLibraries(cache, *libraries, nullptr));
    auto game = std::make_unique<Game>();
    ui->Update();
    const Intro* intro = game->GetIntro();
    ASSERT_NE(intro, nullptr);
    EXPECT_EQ(intro->GetState(), Intro::State_Showing);
    EXPECT_NE(HandleEx::ResolveMovie(intro->WhiteLayer()), nullptr);
}

} // namespace
