// The script methods of text instances: texts and face names read as UTF-8, font settings passed
// on, and the text methods refusing anything that is not a live text.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/app/ScriptBridge.h"
#include "engine/core/files/FSLooseFiles.h"
#include "engine/core/files/FileManager.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/Instance_Text.h"
#include "engine/graphics/scene/UserInterface.h"
#include "engine/graphics/text/TextRenderer.h"
#include "engine/script/LuaMgr.h"
#include "engine/script/LuaState.h"
#include "engine/script/LuaValueRef.h"
#include "tests/graphics/text/FontTestSupport.h"

using namespace QuillEngine;
using QuillLua::LuaValueRef;

namespace {

const char* const kLibrary = R"(<Library>
  <Definition type="movie" name="Caption" length="10" fps="60">
    <Instance type="text" instancename="label text" depth="1" create="0" death="10" regx="0" regy="0"
              text="start" face="DejaVu Sans" size="20" color="0x00FF00" align="right" width="99" height="19">
      <Frame alpha="100"/>
    </Instance>
  </Definition>
</Library>)";

class InstanceTextScriptTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = QuillTest::MakeTempDir("textscript");
        QuillTest::WriteFontFolder(folder, "<fonts><file src=\"DejaVuSans.ttf\"/>"
                                           "<file src=\"DejaVuSans-Bold.ttf\"/></fonts>");
        files = std::make_unique<FileManager>();
        files->AddSource(std::make_unique<FSLooseFiles>(FromUtf8(folder.string() + "/"), u"System"));
        xml = std::make_unique<XmlCache>(files.get());
        text = std::make_unique<TextRenderer>();
        ASSERT_TRUE(lua.Init());
        ui = std::make_unique<UserInterface>();
        bridge = std::make_unique<ScriptBridge>(); // hooks itself to the interface made before it
        ASSERT_TRUE(ui->CreateRoot());
        auto doc = XmlNode::ParseDocument(kLibrary, false);
        ASSERT_TRUE(doc);
        int32_t added = 0, existing = 0;
        ASSERT_TRUE(ui->GetDefinitionLibrary()->ImportLibrary(*doc, nullptr, added, existing));
    }
    void TearDown() override
    {
        ui.reset(); // the tree goes first, while the bridge, the state and the fonts still exist
        bridge.reset();
        text.reset();
        xml.reset();
        files.reset();
    }

    void Run(const std::string& code) { lua.GetState()->DoBuffer(code.data(), code.size(), "test"); }
    LuaValueRef Global(const char* name) { return lua.GetState()->GetGlobals().GetByName(name); }
    Instance_Text* Label()
    {
        const Instance_Movie* movie = HandleEx::ResolveMovie(ui->GetRoot()->FindChild(u"m"));
        EXPECT_NE(movie, nullptr);
        if (movie) {
            EXPECT_EQ(movie->GetChildCount(), 1);
        }
        return movie && movie->GetChildCount() == 1 ? HandleEx::ResolveText(movie->GetChild(0)) : nullptr;
    }

    std::filesystem::path folder;
    std::unique_ptr<FileManager> files;
    std::unique_ptr<XmlCache> xml;
    std::unique_ptr<TextRenderer> text;
    LuaMgr lua;
    std::unique_ptr<ScriptBridge> bridge;
    std::unique_ptr<UserInterface> ui;
};

} // namespace

TEST_F(InstanceTextScriptTest, ScriptsSetTextsAndFontsFromUtf8)
{
    Run("m = root:CreateInstance('Caption', 'm'); t = m.label_text; made = (t ~= nil)");
    EXPECT_TRUE(Global("made").GetBoolean());
    Instance_Text* label = Label();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->GetText(), u"start");
    const int32_t first = label->GetFontIndex();
    ASSERT_NE(first, -1);

    Run("t:SetText('Gr\\195\\188\\195\\159e \\226\\130\\172')");
    EXPECT_EQ(label->GetText(), u"Gr\u00FC\u00DFe \u20AC");
    Run("t:SetText('|String|x|Hi|')");
    EXPECT_EQ(label->GetText(), u"Hi");
    // Malformed UTF-8 becomes replacement characters, never raw bytes.
    Run("t:SetText('a\\255b')");
    EXPECT_EQ(label->GetText(), u"a\uFFFDb");

    Run("t:SetFont('DEJAVU SANS', 31, true, false)");
    const int32_t bold = label->GetFontIndex();
    ASSERT_NE(bold, -1);
    EXPECT_NE(bold, first);
    const FontKey* key = text->GetFontKey(bold);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->size, 31);
    EXPECT_EQ(key->bold, 1);
    EXPECT_EQ(key->italic, 0);
    EXPECT_EQ(text->GetFont(first), nullptr) << "the old font went with its last use";
    Run("t:SetFont('Nobody', 31, false, false)");
    EXPECT_EQ(label->GetFontIndex(), bold);

    // The common methods are there too, and the colour keeps its low 24 bits.
    Run("t:SetColor(4294901760); t:SetX(12); x = t:GetX()");
    EXPECT_EQ(label->GetColor(), 0xFF0000u);
    EXPECT_EQ(lua.GetGlobalNumber("x"), 12);
}

TEST_F(InstanceTextScriptTest, TextMethodsRefuseOtherInstancesAndGoneTexts)
{
    Run("m = root:CreateInstance('Caption', 'm'); t = m.label_text;"
        "onMovie = pcall(TextMetaTable.SetText, m, 'x');"
        "movieHasIt = (m.SetText ~= nil);"
        "badArgs = pcall(function() t:SetFont('DejaVu Sans') end)");
    EXPECT_FALSE(Global("onMovie").GetBoolean());
    EXPECT_FALSE(Global("movieHasIt").GetBoolean());
    EXPECT_FALSE(Global("badArgs").GetBoolean());
    ASSERT_NE(Label(), nullptr);
    EXPECT_EQ(Label()->GetText(), u"start");

    Run("m:DeleteSelf()");
    ui->Update();
    Run("gone = pcall(TextMetaTable.SetText, t, 'x')");
    EXPECT_FALSE(Global("gone").GetBoolean());
}
