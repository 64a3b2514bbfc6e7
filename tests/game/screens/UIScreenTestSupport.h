#pragma once
// A scene with script tables and the movie definitions the screen and game tests open.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/core/xml/XmlNode.h"
#include "engine/app/ScriptBridge.h"
#include "engine/graphics/scene/Instance_Movie.h"
#include "engine/graphics/scene/UserInterface.h"
#include "engine/script/LuaMgr.h"
#include "engine/script/LuaState.h"
#include "engine/script/LuaValueRef.h"

namespace ScreenTesting {

inline const char* const kLibrary = R"(<Library>
  <Definition type="movie" name="Menu" length="1" fps="60"/>
  <Definition type="movie" name="Other" length="1" fps="60"/>
  <Definition type="movie" name="CreditsDialog" length="1" fps="60"/>
  <Definition type="movie" name="MainMenuDialog" length="1" fps="60"/>
  <Definition type="movie" name="ModalBkg" length="1" fps="60"/>
  <Definition type="movie" name="Pause_Overlay" length="1" fps="60"/>
  <Definition type="movie" name="Scene" length="1" fps="60"/>
</Library>)";

struct SceneFixture : ::testing::Test {
    SceneFixture()
    {
        EXPECT_TRUE(lua.Init());
        bridge = std::make_unique<QuillEngine::ScriptBridge>();
        EXPECT_TRUE(ui->CreateRoot());
        auto doc = QuillEngine::XmlNode::ParseDocument(kLibrary, false);
        int32_t added = 0, existing = 0;
        EXPECT_TRUE(doc && ui->GetDefinitionLibrary()->ImportLibrary(*doc, nullptr, added, existing));
    }

    void Run(const std::string& code) { lua.GetState()->DoBuffer(code.data(), code.size(), "test"); }
    double Number(const char* name) { return lua.GetGlobalNumber(name); }
    bool Bool(const char* name) { return lua.GetState()->GetGlobals().GetByName(name).GetBoolean(); }
    QuillEngine::Instance_Movie* Root() { return ui->GetRoot(); }

    QuillEngine::LuaMgr lua;
    std::unique_ptr<QuillEngine::ScriptBridge> bridge;
    std::unique_ptr<QuillEngine::UserInterface> ui = std::make_unique<QuillEngine::UserInterface>();
};

} // namespace ScreenTesting
