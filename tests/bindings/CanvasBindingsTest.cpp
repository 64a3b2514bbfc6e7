// An instance's canvas as scripts draw on it: shapes reach the screen under the instance's
// transform, the canvas's flags read back, and bad arguments are refused.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "engine/app/ScriptBridge.h"
#include "engine/core/resources/ResourceCache.h"
#include "engine/graphics/particles/ParticleManager.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/UserInterface.h"
#include "engine/script/LuaMgr.h"
#include "engine/script/LuaState.h"
#include "engine/script/LuaValueRef.h"
#include "tests/bindings/BindingsTestSupport.h"
#include "tests/graphics/render/RenderTestFixture.h"

using namespace QuillEngine;

namespace {

constexpr uint32_t kGrey = 0xFF606060u;

class CanvasBindingsTest : public QuillTest::RendererTest {
protected:
    void SetUp() override
    {
        RendererTest::SetUp();
        cache = std::make_unique<ResourceCache>();
        ui = std::make_unique<UserInterface>();
        ASSERT_TRUE(ui->CreateRoot());
        ui->SetScreenSize(800, 600);
        CRenderManager& r = MakeRenderer();
        r.SetDevicePreferences(true, false);
        r.SetClearColor(kGrey);
        ASSERT_TRUE(r.Init(nullptr, false));
        ASSERT_TRUE(lua.Init());
        bridge = std::make_unique<ScriptBridge>();
        particles = std::make_unique<ParticleManager>();
    }
    bool AnyPixelNear(int cx, int cy, int reach, uint32_t unlike)
    {
        for (int y = cy - reach; y <= cy + reach; ++y)
            for (int x = cx - reach; x <= cx + reach; ++x)
                if (Pixel(x, y) != unlike)
                    return true;
        return false;
    }
    void TearDown() override
    {
        ui.reset();
        bridge.reset();
        particles.reset();
        cache.reset();
        RendererTest::TearDown();
    }
    std::string Run(const std::string& chunk) { return BindingsTesting::RunPrinting(lua, chunk); }
    bool Global(const char* name) { return lua.GetState()->GetGlobals().GetByName(name).GetBoolean(); }
    uint32_t Pixel(int x, int y) { return PresentedPixel(renderer->GetDevice(), x, y); }
    void Frame() { renderer->RenderFrame(true); }

    LuaMgr lua;
    std::unique_ptr<ResourceCache> cache;
    std::unique_ptr<ScriptBridge> bridge;
    std::unique_ptr<ParticleManager> particles;
    std::unique_ptr<UserInterface> ui;
};

} // namespace

TEST_F(CanvasBindingsTest, ScriptsDrawOnAnInstancesCanvasAndReadItsFlags)
{
    ASSERT_EQ(Run("m = root:CreateEmptyInstance('m')\n"
                  "m:SetPosition(100, 100)\n"
                  "clearBefore = m:CanvasIsClear()\n"
                  "m:CanvasDrawRectFilled(0, 0, 20, 20, 0xFF0000FF)\n"
                  "m:CanvasDrawTriangleFilled(100, 0, 140, 0, 100, 40, 0xFFFF0000)\n"
                  "m:CanvasDrawCircleFilled(300, 300, 10, 0xFF00FF00, 16)\n"
                  "m:CanvasDrawLine(0, 200, 50, 200, 0xFFFFFFFF)\n"
                  "clearAfter = m:CanvasIsClear()\n"
                  "visible = m:CanvasGetVisible()\n"
                  "m:CanvasSetClearOnRender(true)\n"
                  "clearOnRender = m:CanvasGetClearOnRender()\n"
                  "m:CanvasSetClearOnRender(false)\n"),
              "");
    EXPECT_TRUE(Global("clearBefore"));
    EXPECT_FALSE(Global("clearAfter"));
    EXPECT_TRUE(Global("visible"));
    EXPECT_TRUE(Global("clearOnRender"));
    Frame();
    EXPECT_EQ(Pixel(110, 110), 0xFF0000FFu) << "the rectangle, moved with the instance";
    EXPECT_EQ(Pixel(205, 105), 0xFFFF0000u) << "the triangle";
    EXPECT_EQ(Pixel(235, 135), kGrey) << "outside the triangle's long side";
    EXPECT_EQ(Pixel(400, 400), 0xFF00FF00u) << "the circle's middle";
    EXPECT_EQ(Pixel(125, 300), 0xFFFFFFFFu) << "the line";

    // Hidden, the canvas draws nothing; cleared, it is clear again. Two segments make no circle.
    ASSERT_EQ(Run("m:CanvasSetVisible(false)"), "");
    Frame();
    EXPECT_EQ(Pixel(110, 110), kGrey);
    ASSERT_EQ(Run("m:CanvasSetVisible(true)\n"
                  "m:CanvasClear()\n"
                  "m:CanvasDrawCircle(300, 300, 10, 0xFF00FF00, 2)\n"
                  "clearAgain = m:CanvasIsClear()"),
              "");
    EXPECT_TRUE(Global("clearAgain"));

    // Over (pass 1) the instance's own drawing or under it (pass 0): both reach the screen.
    ASSERT_EQ(Run("m:CanvasSetRenderPass(1)\nm:CanvasDrawRectFilled(0, 0, 10, 10, 0xFF0000FF)"), "");
    Frame();
    EXPECT_EQ(Pixel(105, 105), 0xFF0000FFu);

    // Arguments are checked before anything is drawn.
    EXPECT_NE(Run("m:CanvasDrawRect(0, 0, 'a', 10, 1)").find("bad argument"), std::string::npos);
    EXPECT_NE(Run("m:CanvasDrawTextLine(0, 0, 12, 1)").find("bad argument"), std::string::npos);
}

// The root's canvas is drawn like any movie's: pass 0 under the root's children, pass 1 (where
// drawing goes unless told otherwise) over them.
TEST_F(CanvasBindingsTest, TheRootsCanvasDrawsUnderAndOverTheRootsChildren)
{
    ASSERT_EQ(Run("root:CanvasSetRenderPass(0)\n"
                  "root:CanvasDrawRectFilled(100, 100, 140, 140, 0xFF0000FF)\n"
                  "m = root:CreateEmptyInstance('m')\n"
                  "m:CanvasDrawRectFilled(120, 120, 160, 160, 0xFFFF0000)\n"
                  "root:CanvasSetRenderPass(1)\n"
                  "root:CanvasDrawRectFilled(150, 150, 170, 170, 0xFF00FF00)\n"
                  "drawn = not root:CanvasIsClear()\n"),
              "");
    EXPECT_TRUE(Global("drawn"));
    Frame();
    EXPECT_EQ(Pixel(105, 105), 0xFF0000FFu) << "the root's pass 0";
    EXPECT_EQ(Pixel(130, 130), 0xFFFF0000u) << "a child's canvas over the root's pass 0";
    EXPECT_EQ(Pixel(155, 155), 0xFF00FF00u) << "the root's pass 1 over the child";
    EXPECT_EQ(Pixel(200, 200), kGrey);

    ASSERT_EQ(Run("root:CanvasSetVisible(false)"), "");
    Frame();
    EXPECT_EQ(Pixel(105, 105), kGrey) << "a hidden canvas draws nothing";
    EXPECT_EQ(Pixel(130, 130), 0xFFFF0000u);
}

TEST_F(CanvasBindingsTest, AParticleEffectAScriptStartsAppearsOnTheScreen)
{
    WriteData("spark.tga", BindingsTesting::WhiteTga(8));
    std::filesystem::create_directories(folder / "Emitters");
    WriteData("Emitters/spark.xml", "<Emitter Name=\"Spark\"><Life>100</Life><Particle><TextureName>Spark</TextureName>"
                                    "<StartCount>4</StartCount><Rate>0</Rate><Life>100</Life></Particle></Emitter>");
    ASSERT_TRUE(ui->GetDefinitionLibrary()->AddImageDefinition(u"Spark", u"spark.tga"));
    Frame();
    ASSERT_FALSE(AnyPixelNear(400, 300, 12, kGrey));
    ASSERT_EQ(Run("fx = root:CreateEmptyInstance('fx')\nfx:CreateParticleEmitter('spark.xml', 'spark', 400, 300)"), "");
    ui->Update();
    Frame();
    EXPECT_TRUE(AnyPixelNear(400, 300, 12, kGrey)) << "the effect's particles are drawn where the script put it";
}
