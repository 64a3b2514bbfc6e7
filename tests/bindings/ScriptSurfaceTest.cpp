// Every method a script can call on a movie, an image or a text instance, walked from a table:
// each row calls the method from a script and checks what it did, from the script or from the
// instance itself. The table must name every method the metatables hold, so a method bound as an
// empty stand-in, or a new one left untested, fails here.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/app/ScriptBridge.h"
#include "engine/core/resources/ResourceCache.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/canvas/RenderCanvas.h"
#include "engine/graphics/particles/ParticleManager.h"
#include "engine/graphics/scene/Instance_Image.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/Instance_Text.h"
#include "engine/graphics/scene/UserInterface.h"
#include "engine/script/LuaMgr.h"
#include "engine/script/LuaState.h"
#include "engine/script/LuaValueRef.h"
#include "tests/graphics/render/RenderTestFixture.h"

using namespace QuillEngine;

namespace {

std::string WhiteTga(uint32_t side)
{
    std::string file(18, '\0');
    file[2] = 2;
    file[12] = char(side);
    file[14] = char(side);
    file[16] = 32;
    file.append(side * side * 4, char(0xFF));
    return file;
}

const char* const kLibrary = R"(<Library>
  <Definition type="movie" name="Anim" length="3" fps="60">
    <Label name="end" frame="2"/>
    <Instance type="library" definition="Anim2" instancename="inner" depth="1" create="0" death="3" regx="0" regy="0"/>
  </Definition>
  <Definition type="movie" name="Anim2" length="3" fps="60"/>
  <Definition type="movie" name="Holder" length="1" fps="60">
    <Instance type="text" instancename="t" depth="1" regx="0" regy="0" create="0" death="1" text="" face="Nobody"
              size="12" color="0" align="left" width="100" height="20"/>
  </Definition>
</Library>)";

class ScriptSurfaceTest : public QuillTest::RendererTest {
protected:
    void SetUp() override
    {
        RendererTest::SetUp();
        std::filesystem::create_directories(folder / "Emitters");
        WriteData("white.tga", WhiteTga(4));
        WriteData("Emitters/dot.xml", "<Emitter Name=\"Dot\"><Life>10</Life><Particle><TextureName>White</TextureName>"
                                      "<StartCount>2</StartCount><Rate>0</Rate><Life>10</Life></Particle></Emitter>");
        cache = std::make_unique<ResourceCache>();
        ui = std::make_unique<UserInterface>();
        ASSERT_TRUE(ui->CreateRoot());
        ui->SetScreenSize(800, 600);
        CRenderManager& r = MakeRenderer();
        r.SetDevicePreferences(true, false);
        ASSERT_TRUE(r.Init(nullptr, false));
        ASSERT_TRUE(ui->GetDefinitionLibrary()->AddImageDefinition(u"White", u"white.tga"));
        auto doc = XmlNode::ParseDocument(kLibrary, false);
        int32_t added = 0, existing = 0;
        ASSERT_TRUE(doc && ui->GetDefinitionLibrary()->ImportLibrary(*doc, nullptr, added, existing));
        particles = std::make_unique<ParticleManager>();
        ASSERT_TRUE(lua.Init());
        bridge = std::make_unique<ScriptBridge>();
        ASSERT_EQ(Run("m = root:CreateEmptyInstance('m')\n"
                      "img = m:CreateInstance('White', 'img')\n"
                      "a = root:CreateInstance('Anim', 'a')\n"
                      "h = root:CreateInstance('Holder', 'h')\n"),
                  "");
        ui->Update();
        ASSERT_EQ(Run("t = h.t assert(t ~= nil and a.inner ~= nil and img ~= nil)"), "");
    }
    void TearDown() override
    {
        ui.reset();
        bridge.reset();
        particles.reset();
        cache.reset();
        RendererTest::TearDown();
    }

public:
    std::string Run(const std::string& chunk)
    {
        std::string printed;
        lua.GetState()->SetPrintCallback([&printed](const char16_t* t) { printed += ToUtf8(t); });
        lua.GetState()->DoString(chunk.c_str());
        lua.GetState()->SetPrintCallback([](const char16_t*) {});
        return printed;
    }
    Instance_Base* Named(StringView path) { return HandleEx::ResolveInstance(ui->GetRoot()->FindChild(path)); }
    Instance_Movie* Movie(StringView path) { return HandleEx::ResolveMovie(ui->GetRoot()->FindChild(path)); }
    // The names of the functions a metatable holds.
    std::set<std::string> MethodsOf(const char* table)
    {
        Run(std::string("names = '' for k, v in pairs(") + table +
            ") do if type(v) == 'function' then names = names .. k .. ' ' end end");
        std::set<std::string> out;
        const std::string all = lua.GetGlobalString("names") ? lua.GetGlobalString("names") : "";
        size_t start = 0;
        for (size_t blank; (blank = all.find(' ', start)) != std::string::npos; start = blank + 1)
            out.insert(all.substr(start, blank - start));
        return out;
    }

    LuaMgr lua;
    std::unique_ptr<ResourceCache> cache;
    std::unique_ptr<ParticleManager> particles;
    std::unique_ptr<ScriptBridge> bridge;
    std::unique_ptr<UserInterface> ui;
};

struct Row {
    const char* method;
    const char* kind; // "movie", "text", or "any" for the methods every instance has
    std::string script;
    std::function<void(ScriptSurfaceTest&)> check;
};

} // namespace

TEST_F(ScriptSurfaceTest, EveryMethodOfEveryInstanceKindExistsAndActs)
{
    using T = ScriptSurfaceTest;
    const std::vector<Row> rows = {
        // The movie's own.
        {"CreateInstance", "movie",
         "local c = m:CreateInstance('White', 'pic') assert(c ~= nil and m.pic == c)\n"
         "assert(m:CreateInstance('White', 'pic') == nil)",
         nullptr},
        {"CreateEmptyInstance", "movie", "assert(m:CreateEmptyInstance('e') == m.e and m.e ~= nil)", nullptr},
        {"CreateParticleEmitter", "movie", "m:CreateParticleEmitter('dot.xml', 'dot', 3, 4)",
         [](T& t) { EXPECT_EQ(t.Movie(u"m")->Emitters().size(), 1u); }},
        {"DeleteAllParticleEmitters", "movie", "m:DeleteAllParticleEmitters()",
         [](T& t) { EXPECT_TRUE(t.Movie(u"m")->Emitters().empty()); }},
        {"AddAsGlobalHandler", "movie", "m.OnKeyDown = function(self, k) keyed = k end m:AddAsGlobalHandler()",
         [](T& t) {
             t.ui->OnKeyDown(65);
             EXPECT_EQ(t.lua.GetGlobalNumber("keyed"), 65);
         }},
        {"DeleteSelf", "movie", "m:CreateEmptyInstance('gone') m.gone:DeleteSelf()",
         [](T& t) {
             t.ui->Update();
             EXPECT_EQ(t.Named(u"m.gone"), nullptr);
         }},
        {"SetFrame", "movie", "a:SetFrame(2)", [](T& t) { EXPECT_EQ(t.Movie(u"a")->GetFrame(), 2); }},
        {"GetFrame", "movie", "a:SetFrame(1) assert(a:GetFrame() == 1)", nullptr},
        {"GetNumFrames", "movie", "assert(a:GetNumFrames() == 3)", nullptr},
        {"SetFrameFromLabel", "movie",
         "a:SetFrame(0) assert(a:SetFrameFromLabel('end') == true and a:GetFrame() == 2)\n"
         "assert(a:SetFrameFromLabel('End') == false)",
         nullptr},
        {"SetFrameMultiplier", "movie", "a:SetFrameMultiplier(2.5)",
         [](T& t) { EXPECT_EQ(t.Movie(u"a")->GetFrameMultiplier(), 2.5f); }},
        {"SetPlaying", "movie", "a:SetPlaying(false)", [](T& t) { EXPECT_FALSE(t.Movie(u"a")->GetPlaying()); }},
        {"SetPlayingRecursive", "movie", "a:SetPlayingRecursive(true)",
         [](T& t) { EXPECT_TRUE(t.Movie(u"a.inner")->GetPlaying()); }},
        {"SetPaused", "movie", "a:SetPaused(true)", [](T& t) { EXPECT_TRUE(t.Movie(u"a")->GetPaused()); }},
        {"SetPausedRecursive", "movie", "a:SetPausedRecursive(true)",
         [](T& t) { EXPECT_TRUE(t.Movie(u"a.inner")->GetPaused()); }},
        {"SetReverse", "movie", "a:SetReverse(true)", [](T& t) { EXPECT_TRUE(t.Movie(u"a")->GetReverse()); }},
        {"SetReverseRecursive", "movie", "a:SetReverseRecursive(true)",
         [](T& t) { EXPECT_TRUE(t.Movie(u"a.inner")->GetReverse()); }},
        // The text's own.
        {"SetText", "text", "t:SetText('Vows')",
         [](T& t) { EXPECT_EQ(static_cast<Instance_Text*>(t.Named(u"h.t"))->GetText(), u"Vows"); }},
        {"SetFont", "text", "t:SetFont('Nobody', 20, true, false)", nullptr},
        // Every instance's.
        {"SetMaterial", "any", "img:SetMaterial(3)", [](T& t) { EXPECT_EQ(t.Named(u"m.img")->GetMaterial(), 3u); }},
        {"SetInputEnabled", "any", "t:SetInputEnabled(false)",
         [](T& t) { EXPECT_FALSE(t.Named(u"h.t")->GetInputEnabled()); }},
        {"SetOpacity", "any", "img:SetOpacity(0.25)", [](T& t) { EXPECT_EQ(t.Named(u"m.img")->GetOpacity(), 0.25f); }},
        {"SetColor", "any", "img:SetColor(0x123456)",
         [](T& t) { EXPECT_EQ(static_cast<Instance_Image*>(t.Named(u"m.img"))->GetColor(), 0x123456u); }},
        {"SetAllowFiltering", "any", "img:SetAllowFiltering(false)",
         [](T& t) { EXPECT_FALSE(t.Named(u"m.img")->GetAllowFiltering()); }},
        {"SetPosition", "any", "m:SetPosition(10, 20) assert(m:GetX() == 10 and m:GetY() == 20)", nullptr},
        {"SetX", "any", "img:SetX(7) assert(img:GetX() == 7)", nullptr},
        {"SetY", "any", "img:SetY(8) assert(img:GetY() == 8)", nullptr},
        {"GetX", "any", "t:SetPosition(3, 4) assert(t:GetX() == 3)", nullptr},
        {"GetY", "any", "assert(t:GetY() == 4)", nullptr},
        {"GlobalToLocalX", "any", "m:SetPosition(10, 20) assert(m:GlobalToLocalX(15) == 5)", nullptr},
        {"GlobalToLocalY", "any", "assert(m:GlobalToLocalY(25) == 5)", nullptr},
        {"GetWidth", "any", "img:SetScale(1, 1) assert(img:GetWidth() == 4)", nullptr},
        {"GetHeight", "any", "assert(img:GetHeight() == 4)", nullptr},
        {"SetVisible", "any", "img:SetVisible(false)", [](T& t) { EXPECT_FALSE(t.Named(u"m.img")->GetVisible()); }},
        {"GetVisible", "any", "assert(img:GetVisible() == false) img:SetVisible(true) assert(img:GetVisible())",
         nullptr},
        {"SetRegistrationPoint", "any", "img:SetRegistrationPoint(2, 1)",
         [](T& t) {
             float x = 0, y = 0;
             t.Named(u"m.img")->GetRegistrationPoint(x, y);
             EXPECT_EQ(x, 2.0f);
             EXPECT_EQ(y, 1.0f);
         }},
        {"SetRotation", "any", "t:SetRotation(0.5)", [](T& t) { EXPECT_EQ(t.Named(u"h.t")->GetRotation(), 0.5f); }},
        {"SetScale", "any", "img:SetScale(2, 3)",
         [](T& t) {
             float x = 0, y = 0;
             t.Named(u"m.img")->GetScale(x, y);
             EXPECT_EQ(x, 2.0f);
             EXPECT_EQ(y, 3.0f);
         }},
        {"MoveToFront", "any", "m:CreateEmptyInstance('top') img:MoveToFront()",
         [](T& t) { EXPECT_EQ(t.Movie(u"m")->DrawList().back(), t.Named(u"m.img")); }},
        {"MoveToBack", "any", "img:MoveToBack()",
         [](T& t) { EXPECT_EQ(t.Movie(u"m")->DrawList().front(), t.Named(u"m.img")); }},
        {"SetDropShadow", "any", "img:SetDropShadow(2, 3, 0x80000000)",
         [](T& t) {
             float dx = 0, dy = 0;
             uint32_t color = 0;
             EXPECT_TRUE(t.Named(u"m.img")->GetDropShadow(dx, dy, color));
             EXPECT_EQ(dx, 2.0f);
             EXPECT_EQ(dy, 3.0f);
         }},
        // The canvas shortcuts (what they draw: CanvasBindingsTest).
        {"CanvasIsClear", "any", "assert(m:CanvasIsClear() == true)", nullptr},
        {"CanvasDrawLine", "any", "m:CanvasDrawLine(0, 0, 5, 5, 1) assert(not m:CanvasIsClear())", nullptr},
        {"CanvasClear", "any", "m:CanvasClear() assert(m:CanvasIsClear())", nullptr},
        {"CanvasDrawRect", "any", "m:CanvasDrawRect(0, 0, 5, 5, 1) assert(not m:CanvasIsClear()) m:CanvasClear()",
         nullptr},
        {"CanvasDrawRectFilled", "any",
         "img:CanvasDrawRectFilled(0, 0, 5, 5, 1) assert(not img:CanvasIsClear()) img:CanvasClear()", nullptr},
        {"CanvasDrawTriangle", "any",
         "t:CanvasDrawTriangle(0, 0, 5, 0, 0, 5, 1) assert(not t:CanvasIsClear()) t:CanvasClear()", nullptr},
        {"CanvasDrawTriangleFilled", "any",
         "m:CanvasDrawTriangleFilled(0, 0, 5, 0, 0, 5, 1) assert(not m:CanvasIsClear()) m:CanvasClear()", nullptr},
        {"CanvasDrawCircle", "any",
         "m:CanvasDrawCircle(9, 9, 4, 1, 2) assert(m:CanvasIsClear())\n"
         "m:CanvasDrawCircle(9, 9, 4, 1, 8) assert(not m:CanvasIsClear()) m:CanvasClear()",
         nullptr},
        {"CanvasDrawCircleFilled", "any",
         "m:CanvasDrawCircleFilled(9, 9, 4, 1, 8) assert(not m:CanvasIsClear()) m:CanvasClear()", nullptr},
        {"CanvasDrawTextLine", "any", "m:CanvasDrawTextLine(0, 0, 12, 1, '100%')", nullptr},
        {"CanvasSetClearOnRender", "any", "m:CanvasSetClearOnRender(true)", nullptr},
        {"CanvasGetClearOnRender", "any", "assert(m:CanvasGetClearOnRender() == true) m:CanvasSetClearOnRender(false)",
         nullptr},
        {"CanvasSetVisible", "any", "m:CanvasSetVisible(false)", nullptr},
        {"CanvasGetVisible", "any", "assert(m:CanvasGetVisible() == false) m:CanvasSetVisible(true)", nullptr},
        {"CanvasSetRenderPass", "any", "m:CanvasSetRenderPass(1)",
         [](T& t) { EXPECT_EQ(t.Movie(u"m")->GetCanvas(false)->GetTargetList(), 1u); }},
    };

    for (const Row& row : rows) {
        SCOPED_TRACE(row.method);
        EXPECT_EQ(Run(row.script), "");
        if (row.check)
            row.check(*this);
    }

    // The rows name exactly what the metatables hold.
    std::set<std::string> any, movie, text;
    for (const Row& row : rows)
        (std::string(row.kind) == "movie" ? movie : std::string(row.kind) == "text" ? text : any).insert(row.method);
    std::set<std::string> movieAll = any, textAll = any;
    movieAll.insert(movie.begin(), movie.end());
    textAll.insert(text.begin(), text.end());
    EXPECT_EQ(MethodsOf("MovieMetaTable"), movieAll);
    EXPECT_EQ(MethodsOf("ImageMetaTable"), any);
    EXPECT_EQ(MethodsOf("TextMetaTable"), textAll);
}
