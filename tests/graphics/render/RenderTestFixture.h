#pragma once
// A renderer over the device layer's back ends with the machine played by fault injection: the
// message box, the sleeps and the out-of-video-memory exit are counted instead of run. Data files
// ("Engine.xml", "Cursors\Cursors.xml") come from a private loose folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/files/FSLooseFiles.h"
#include "engine/core/files/FileManager.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/graphics/render/RenderManager.h"
#include "engine/graphics/render/RenderManagerContext.h"
#include "tests/support/TestEnvironment.h"

namespace QuillTest {

inline QuillD3D::AdapterDesc MakeAdapter(uint32_t ordinal, uint32_t vendor, uint32_t device, uint32_t maxTexture = 4096)
{
    QuillD3D::AdapterDesc a;
    a.identifier.vendorId = vendor;
    a.identifier.deviceId = device;
    a.identifier.deviceIdentifier.bytes[0] = static_cast<uint8_t>(ordinal + 1);
    a.identifier.deviceIdentifier.bytes[1] = static_cast<uint8_t>(vendor);
    std::snprintf(a.identifier.description, sizeof a.identifier.description, "test adapter %u", ordinal);
    a.caps.adapterOrdinal = ordinal;
    a.caps.deviceType = QuillD3D::DevTypeHal;
    a.caps.cursorCaps = QuillD3D::CursorCapsColor;
    a.caps.maxTextureWidth = a.caps.maxTextureHeight = maxTexture;
    a.caps.maxPrimitiveCount = 0xFFFFF;
    a.caps.maxVertexIndex = 0xFFFF;
    a.caps.maxStreams = 1;
    a.mode = {1024, 768, 60, QuillD3D::FmtX8R8G8B8};
    a.monitor = 1;
    return a;
}

class RendererTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QuillD3D::ResetFaults();
        folder = MakeTempDir("render");
        files = std::make_unique<QuillEngine::FileManager>();
        files->AddSource(
            std::make_unique<QuillEngine::FSLooseFiles>(QuillEngine::FromUtf8(folder.string() + "/"), u"System"));
        xml = std::make_unique<QuillEngine::XmlCache>(files.get());
    }
    void TearDown() override
    {
        renderer.reset();
        xml.reset();
        files.reset();
        QuillD3D::ResetFaults();
    }

    // A renderer with counted hooks; the engine's calls before Init are the caller's.
    QuillEngine::CRenderManager& MakeRenderer()
    {
        renderer = std::make_unique<QuillEngine::CRenderManager>(nullptr);
        renderer->SetMessageBoxFunction([this](const QuillEngine::String& caption, const QuillEngine::String& text) {
            ++boxes;
            boxCaption = caption;
            boxText = text;
        });
        renderer->SetSleepFunction([this](uint32_t) { ++sleeps; });
        renderer->SetOutOfVideoMemoryHandler([this] { ++exits; });
        return *renderer;
    }

    // The picture of the last Present of a device presenting into memory.
    static uint32_t PresentedPixel(QuillD3D::IDevice* device, int x, int y)
    {
        QuillD3D::ISurface* copy = nullptr;
        if (QuillD3D::Failed(
                device->CreateOffscreenPlainSurface(800, 600, QuillD3D::FmtX8R8G8B8, QuillD3D::PoolSystemMem, &copy)))
            return 0;
        uint32_t pixel = 0;
        QuillD3D::LockedRect locked{};
        if (QuillD3D::Succeeded(device->GetFrontBufferData(0, copy)) &&
            QuillD3D::Succeeded(copy->LockRect(&locked, nullptr, QuillD3D::LockReadOnly))) {
            pixel = static_cast<const uint32_t*>(locked.bits)[y * (locked.pitch / 4) + x] | 0xFF000000u;
            copy->UnlockRect();
        }
        copy->Release();
        return pixel;
    }

    void WriteData(const std::string& name, const std::string& text) { WriteFile(folder / name, text); }

    static std::vector<QuillD3D::AdapterDesc> FailingAdapters(std::vector<QuillD3D::AdapterDesc> adapters)
    {
        for (auto& a : adapters)
            a.createDeviceResult = QuillD3D::kErrNotAvailable;
        return adapters;
    }

    std::filesystem::path folder;
    std::unique_ptr<QuillEngine::FileManager> files;
    std::unique_ptr<QuillEngine::XmlCache> xml;
    std::unique_ptr<QuillEngine::CRenderManager> renderer;
    int boxes = 0, sleeps = 0, exits = 0;
    QuillEngine::String boxCaption, boxText;
};

} // namespace QuillTest
