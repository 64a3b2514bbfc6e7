#pragma once
// A script manager wired to its own console and pointer, reading scripts from a loose folder;
// and the same with a working audio service beside it. Shared by the manager's tests and the
// tests of the script API bound to it.

#include "engine/core/audio/Audio.h"
#include "engine/core/console/Console.h"
#include "engine/core/files/FSLooseFiles.h"
#include "engine/core/files/FileManager.h"
#include "engine/core/resources/ResourceCache.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/script/LuaMgr.h"
#include "engine/script/LuaState.h"
#include "platform/audio/SoundCodec.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace QuillTest {

using namespace QuillEngine;

constexpr int kLuaMgrAudioRate = 48000;

// A manager wired to its own console and pointer, reading scripts from a loose folder.
struct LuaMgrFixture : ::testing::Test {
    LuaMgrFixture()
    {
        dir = QuillTest::MakeTempDir("luamgr");
        EXPECT_TRUE(files.AddSource(new FSLooseFiles(FromUtf8(dir.string() + "/"), u"input")));
        console.SetQuitRequest([this] { ++quits; });
        LuaMgr::EngineLinks links;
        links.console = [this] { return linked ? &console : nullptr; };
        links.mouseX = [this] { return mouseX; };
        links.mouseY = [this] { return mouseY; };
        links.buttonDown = [this](int32_t button) { return (buttons >> button & 1u) != 0; };
        manager = std::make_unique<LuaMgr>(std::move(links));
        EXPECT_TRUE(manager->Init());
        manager->RegisterGlobals();
    }

    void WriteScript(const std::string& name, std::string_view bytes)
    {
        QuillTest::WriteFile(dir / "script" / name, bytes);
    }

    // Runs a chunk with the state's print output collected (the manager discards it otherwise).
    std::string Run(const char* chunk)
    {
        std::string printed;
        manager->GetState()->SetPrintCallback([&printed](const char16_t* t) { printed += ToUtf8(t); });
        const int top = manager->GetState()->GetTop();
        manager->GetState()->DoString(chunk);
        EXPECT_EQ(manager->GetState()->GetTop(), top);
        manager->GetState()->SetPrintCallback([](const char16_t*) {});
        return printed;
    }

    std::string LastOutput() const { return console.Output().empty() ? "" : ToUtf8(console.Output().back()); }

    std::filesystem::path dir;
    FileManager files;
    Console console;
    bool linked = true;
    int quits = 0;
    int32_t mouseX = 0, mouseY = 0;
    uint32_t buttons = 0;
    std::unique_ptr<LuaMgr> manager;
};

// The manager with a working audio service beside it.
struct LuaMgrAudioFixture : LuaMgrFixture {
    LuaMgrAudioFixture()
    {
        std::vector<uint8_t> wav;
        const std::vector<float> samples(kLuaMgrAudioRate, 0.5f);
        EXPECT_TRUE(QuillPlatform::Audio::EncodeSound(QuillPlatform::Audio::SoundFileFormat::Wav, samples.data(),
                                                      static_cast<uint32_t>(samples.size()), 1, kLuaMgrAudioRate, wav));
        QuillTest::WriteFile(dir / "Sounds/Level.wav", std::string(wav.begin(), wav.end()));
        QuillTest::WriteFile(dir / "Audio/Audio.xml", "<Audio>\n"
                                                      "    <Sound name=\"Caf\xC3\xA9\" source=\"Sounds\\Level.wav\"/>\n"
                                                      "    <Sound name=\"Gone\" source=\"Sounds\\Gone.wav\"/>\n"
                                                      "</Audio>");
        cache.SetFrameSource([] { return 0u; });
        audio.SetClockForTest([] { return 0; });
        EXPECT_TRUE(audio.Init(8));
        EXPECT_TRUE(audio.LoadDefinitions());
    }

    float Mix()
    {
        std::vector<float> out(8);
        audio.GetSystem()->MixForTest(out.data(), 4);
        return out[0];
    }

    XmlCache xmlCache{&files};
    ResourceCache cache;
    Audio audio{&cache};
};

} // namespace QuillTest
