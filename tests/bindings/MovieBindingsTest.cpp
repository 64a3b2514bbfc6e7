// A movie's particle emitters as scripts make and remove them.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "engine/app/ScriptBridge.h"
#include "engine/core/resources/ResourceCache.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/particles/ParticleEmitter.h"
#include "engine/graphics/particles/ParticleManager.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/UserInterface.h"
#include "engine/script/LuaMgr.h"
#include "engine/script/LuaState.h"
#include "tests/bindings/BindingsTestSupport.h"
#include "tests/graphics/render/RenderTestFixture.h"

using namespace QuillEngine;

namespace {

class MovieParticleBindingsTest : public QuillTest::RendererTest {
protected:
    void SetUp() override
    {
        RendererTest::SetUp();
        std::filesystem::create_directories(folder / "Emitters");
        WriteData("dot.tga", BindingsTesting::WhiteTga(4));
        WriteData("Emitters/dot.xml", "<Emitter Name=\"Dot\"><Life>10</Life><Particle><TextureName>Dot</TextureName>"
                                      "<StartCount>2</StartCount><Rate>0</Rate><Life>10</Life></Particle></Emitter>");
        cache = std::make_unique<ResourceCache>();
        ui = std::make_unique<UserInterface>();
        ASSERT_TRUE(ui->CreateRoot());
        ASSERT_TRUE(ui->GetDefinitionLibrary()->AddImageDefinition(u"Dot", u"dot.tga"));
        particles = std::make_unique<ParticleManager>();
        particles->SetSoftwareRatesForTest(false);
        ASSERT_TRUE(lua.Init());
        bridge = std::make_unique<ScriptBridge>();
    }
    void TearDown() override
    {
        // The tree goes first, while the bridge and the state still exist.
        ui.reset();
        bridge.reset();
        particles.reset();
        cache.reset();
        RendererTest::TearDown();
    }

    // The print output of a chunk: empty when it ran without error.
    std::string Run(const std::string& chunk) { return BindingsTesting::RunPrinting(lua, chunk); }
    Instance_Movie* Fx() { return HandleEx::ResolveMovie(ui->GetRoot()->FindChild(u"fx")); }

    LuaMgr lua;
    std::unique_ptr<ResourceCache> cache;
    std::unique_ptr<ParticleManager> particles;
    std::unique_ptr<ScriptBridge> bridge;
    std::unique_ptr<UserInterface> ui;
};

} // namespace

TEST_F(MovieParticleBindingsTest, ScriptsMakePlaceAndRemoveTheMoviesEmitters)
{
    EXPECT_EQ(Run("fx = root:CreateEmptyInstance('fx')\n"
                  "fx:CreateParticleEmitter('dot.xml', 'dot', 30.9, -40.5)\n"
                  "fx:CreateParticleEmitter('dot.xml', 'DOT', 1, 2)"),
              "");
    ASSERT_NE(Fx(), nullptr);
    ASSERT_EQ(Fx()->Emitters().size(), 2u);
    const ParticleEmitter* first = Fx()->Emitters()[0].Get();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->X(), 30.0f);
    EXPECT_EQ(first->Y(), -40.0f);
    EXPECT_EQ(particles->LiveEmitterCount(), 2u);

    // A missing file or emitter makes nothing and raises no error; bad arguments do raise one.
    EXPECT_EQ(Run("fx:CreateParticleEmitter('none.xml', 'none', 0, 0)\n"
                  "fx:CreateParticleEmitter('dot.xml', 'nothing', 0, 0)"),
              "");
    EXPECT_EQ(Fx()->Emitters().size(), 2u);
    EXPECT_NE(Run("fx:CreateParticleEmitter('dot.xml', 'dot', '1', 2)").find("bad argument #3"), std::string::npos);
    EXPECT_EQ(Fx()->Emitters().size(), 2u);

    // Removing touches only this movie's emitters.
    EXPECT_EQ(Run("other = root:CreateEmptyInstance('other')\n"
                  "other:CreateParticleEmitter('dot.xml', 'dot', 0, 0)\n"
                  "fx:DeleteAllParticleEmitters()"),
              "");
    EXPECT_TRUE(Fx()->Emitters().empty());
    EXPECT_EQ(particles->LiveEmitterCount(), 1u);

    // A table that names no movie is refused as self.
    EXPECT_NE(Run("MovieMetaTable.DeleteAllParticleEmitters({})"), "");
    EXPECT_EQ(particles->LiveEmitterCount(), 1u);
}
