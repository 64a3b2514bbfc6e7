#pragma once
// A software renderer with a resource cache whose frame number the test sets, and the committed
// test pictures reachable through the file manager by their plain names ("tile.tga"), with every
// read counted.

#include <cstring>
#include <map>
#include <memory>

#include "engine/core/files/FSLooseFiles.h"
#include "engine/core/resources/ResourceCache.h"
#include "engine/graphics/render/QuadBatcher.h"
#include "engine/graphics/render/RenderManager.h"
#include "engine/graphics/render/ResourceTexture.h"
#include "engine/graphics/render/TextureFactory.h"
#include "tests/graphics/image/PictureTestFiles.h"
#include "tests/graphics/render/RenderTestFixture.h"

namespace QuillTest {

class CountingSource final : public QuillEngine::FileManager::IFSSource {
public:
    explicit CountingSource(const std::filesystem::path& folder)
        : inner_(QuillEngine::FromUtf8(folder.string() + "/"), u"pictures")
    {
    }
    bool Open() override { return inner_.Open(); }
    void Close() override { inner_.Close(); }
    bool IsOpen() const override { return inner_.IsOpen(); }
    bool ReadFile(const QuillEngine::String& name, std::unique_ptr<uint8_t[]>& data, size_t& size) override
    {
        ++reads[name];
        return inner_.ReadFile(name, data, size);
    }
    bool Exists(const QuillEngine::String& name) override { return inner_.Exists(name); }
    QuillEngine::String GetGroupName() const override { return inner_.GetGroupName(); }

    std::map<QuillEngine::String, int> reads;

private:
    QuillEngine::FSLooseFiles inner_;
};

// A picture read back from the device, 32-bit ARGB rows (empty when it cannot be read).
struct TargetPicture {
    uint32_t width = 0, height = 0;
    std::vector<uint32_t> argb;
    uint32_t At(uint32_t x, uint32_t y) const { return argb[size_t(y) * width + x] | 0xFF000000u; }
};

// What `read` puts into a system-memory surface of `target`'s size and format (empty when it fails).
template <class Read> TargetPicture ReadInto(QuillD3D::IDevice* device, QuillD3D::ISurface* target, Read read)
{
    TargetPicture pic;
    QuillD3D::SurfaceDesc desc;
    target->GetDesc(&desc);
    QuillD3D::ISurface* copy = nullptr;
    QuillD3D::LockedRect locked{};
    if (QuillD3D::Succeeded(device->CreateOffscreenPlainSurface(desc.width, desc.height, desc.format,
                                                                QuillD3D::PoolSystemMem, &copy)) &&
        QuillD3D::Succeeded(read(copy)) &&
        QuillD3D::Succeeded(copy->LockRect(&locked, nullptr, QuillD3D::LockReadOnly))) {
        pic.width = desc.width;
        pic.height = desc.height;
        pic.argb.resize(size_t(desc.width) * desc.height);
        for (uint32_t y = 0; y < desc.height; ++y)
            std::memcpy(&pic.argb[size_t(y) * desc.width], static_cast<uint8_t*>(locked.bits) + y * locked.pitch,
                        size_t(desc.width) * 4);
        copy->UnlockRect();
    }
    if (copy)
        copy->Release();
    return pic;
}

// The device's current render target.
inline TargetPicture ReadRenderTarget(QuillD3D::IDevice* device)
{
    QuillD3D::ISurface* target = nullptr;
    if (QuillD3D::Failed(device->GetRenderTarget(0, &target)))
        return {};
    TargetPicture pic =
        ReadInto(device, target, [&](QuillD3D::ISurface* copy) { return device->GetRenderTargetData(target, copy); });
    target->Release();
    return pic;
}

// The picture of the last present of a device presenting into memory.
inline TargetPicture ReadPresented(QuillD3D::IDevice* device)
{
    QuillD3D::ISurface* back = nullptr;
    if (QuillD3D::Failed(device->GetBackBuffer(0, 0, QuillD3D::BackBufferMono, &back)))
        return {};
    TargetPicture pic =
        ReadInto(device, back, [&](QuillD3D::ISurface* copy) { return device->GetFrontBufferData(0, copy); });
    back->Release();
    return pic;
}

class TextureRendererTest : public RendererTest {
protected:
    void SetUp() override
    {
        RendererTest::SetUp();
        pictures = new CountingSource(PictureTest::PictureDir());
        ASSERT_TRUE(files->AddSource(pictures));
        cache = std::make_unique<QuillEngine::ResourceCache>();
        cache->SetFrameSource([this] { return frame; });
        cache->SetLoadStallHandler(nullptr);
        QuillEngine::CRenderManager& r = MakeRenderer();
        r.SetDevicePreferences(true, false);
        ASSERT_TRUE(r.Init(nullptr, false));
    }
    void TearDown() override
    {
        // The engine's order: the renderer goes first, the cache after it.
        renderer.reset();
        cache.reset();
        RendererTest::TearDown();
    }

    QuillEngine::QuadBatcher& Batcher() { return *renderer->GetBatcher(); }
    QuillD3D::IDevice* Device() { return renderer->GetDevice(); }

    QuillEngine::ResourceTexture* Texture(uint32_t handle, bool peek = false)
    {
        return static_cast<QuillEngine::ResourceTexture*>(cache->Acquire(handle, peek));
    }

    // A texture of the current device with every texel `argb` (left half) and `rightArgb` (right
    // half), registered as a run-time texture.
    uint32_t SolidTexture(uint32_t width, uint32_t height, uint32_t argb, uint32_t rightArgb)
    {
        uint32_t tw = 0, th = 0;
        QuillD3D::ITexture* t = QuillEngine::TextureFactory::CreateTexture(width, height, tw, th);
        if (!t)
            return 0;
        QuillD3D::LockedRect locked{};
        if (QuillD3D::Failed(t->LockRect(0, &locked, nullptr, 0))) {
            t->Release();
            return 0;
        }
        for (uint32_t y = 0; y < th; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.bits) + y * locked.pitch);
            for (uint32_t x = 0; x < tw; ++x)
                row[x] = x < tw / 2 ? argb : rightArgb;
        }
        t->UnlockRect(0);
        return QuillEngine::TextureFactory::CreateDynamicTexture(t, tw, th, *cache);
    }

    // Starts a scene on the renderer's device the way a frame does, cleared to `background`.
    void BeginScene(uint32_t background)
    {
        ASSERT_EQ(Device()->BeginScene(), QuillD3D::kOk);
        Batcher().BeginScene();
        renderer->GetContext()->Clear(0, nullptr, QuillD3D::ClearTarget | QuillD3D::ClearZBuffer, background, 1.0f, 0);
    }
    void EndScene()
    {
        Batcher().Flush();
        Device()->EndScene();
    }

    TargetPicture ReadTarget() { return ReadRenderTarget(Device()); }

    CountingSource* pictures = nullptr;
    std::unique_ptr<QuillEngine::ResourceCache> cache;
    uint32_t frame = 0;
};

// A transform placing the unit quad on the rectangle (x0, y0)-(x1, y1).
inline QuillEngine::Transform2D RectTransform(float x0, float y0, float x1, float y1)
{
    QuillEngine::Transform2D m;
    m.m11 = x1 - x0;
    m.m22 = y1 - y0;
    m.m31 = (x0 + x1) / 2;
    m.m32 = (y0 + y1) / 2;
    return m;
}

} // namespace QuillTest
