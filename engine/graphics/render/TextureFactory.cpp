#include "engine/graphics/render/TextureFactory.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "engine/core/resources/ResourceCache.h"
#include "engine/graphics/image/Image.h"
#include "engine/graphics/render/RenderManager.h"
#include "engine/graphics/render/ResourceTexture.h"

namespace QuillEngine {

using namespace QuillD3D;

namespace {

uint32_t g_dynamicCount = 0;
bool g_deviceFailure = false;

} // namespace

uint32_t TextureFactory::AcquireFileTexture(StringView path, ResourceCache& cache)
{
    String key(path);
    key += kFileSuffix;
    if (const uint32_t id = cache.Find(key)) {
        if (ResourceBase* existing = cache.Acquire(id, true)) {
            existing->AddUse();
            return id;
        }
    }
    auto resource = std::make_unique<ResourceTextureD3D>(String(path));
    resource->SetName(std::move(key));
    uint32_t id = 0;
    // A refused resource is deleted by the cache.
    return cache.Register(std::move(resource), id) ? id : 0;
}

uint32_t TextureFactory::CreateDynamicTexture(ITexture* texture, uint32_t width, uint32_t height, ResourceCache& cache)
{
    if (!texture)
        return 0;
    auto resource = std::make_unique<ResourceTextureD3DDyn>(texture, width, height);
    resource->SetName(u"dyn_" + Widen(std::to_string(g_dynamicCount++)) + u"_dxtex");
    uint32_t id = 0;
    return cache.Register(std::move(resource), id) ? id : 0;
}

uint32_t TextureFactory::MaxTextureSide()
{
    CRenderManager* renderer = CRenderManager::Instance();
    IDevice* device = renderer ? renderer->GetDevice() : nullptr;
    Caps caps;
    if (!device || Failed(device->GetDeviceCaps(&caps)))
        return 0;
    return std::min(caps.maxTextureWidth, caps.maxTextureHeight);
}

ITexture* TextureFactory::CreateTexture(uint32_t width, uint32_t height, uint32_t& textureWidth,
                                        uint32_t& textureHeight)
{
    textureWidth = textureHeight = 0;
    CRenderManager* renderer = CRenderManager::Instance();
    IDevice* device = renderer ? renderer->GetDevice() : nullptr;
    const uint32_t tw = NextPowerOfTwo(width), th = NextPowerOfTwo(height);
    if (!device || tw == 0 || th == 0)
        return nullptr;
    ITexture* texture = nullptr;
    const Result r = device->CreateTexture(tw, th, 1, 0, FmtA8R8G8B8, PoolManaged, &texture);
    if (Failed(r) || !texture) {
        if (r == kErrOutOfVideoMemory) {
            g_deviceFailure = true;
            renderer->OnTextureOutOfVideoMemory();
        } else if (r == kErrDeviceLost) {
            g_deviceFailure = true;
            renderer->OnTextureDeviceLost();
        }
        return nullptr;
    }
    textureWidth = tw;
    textureHeight = th;
    return texture;
}

ITexture* TextureFactory::CreateTextureFromImage(const Image& image, uint32_t& textureWidth, uint32_t& textureHeight)
{
    if (image.Empty())
        return nullptr;
    uint32_t tw = 0, th = 0;
    ITexture* texture = CreateTexture(image.width, image.height, tw, th);
    if (!texture)
        return nullptr;
    LockedRect locked{};
    if (Failed(texture->LockRect(0, &locked, nullptr, 0)) || !locked.bits ||
        locked.pitch < static_cast<int32_t>(tw * 4)) {
        texture->Release();
        return nullptr;
    }
    auto* bits = static_cast<uint8_t*>(locked.bits);
    const size_t pitch = static_cast<size_t>(locked.pitch);
    const size_t rowBytes = image.RowBytes();
    const size_t padBytes = size_t(tw) * 4 - rowBytes;
    for (uint32_t y = 0; y < image.height; ++y) {
        uint8_t* row = bits + y * pitch;
        std::memcpy(row, image.Row(y), rowBytes);
        if (padBytes)
            std::memset(row + rowBytes, 0, padBytes);
    }
    for (uint32_t y = image.height; y < th; ++y)
        std::memset(bits + y * pitch, 0, size_t(tw) * 4);
    texture->UnlockRect(0);
    textureWidth = tw;
    textureHeight = th;
    return texture;
}

void TextureFactory::OnDeviceRestored(ResourceCache* cache)
{
    if (!g_deviceFailure)
        return;
    g_deviceFailure = false;
    if (cache)
        cache->ForgetLoadFailures();
}

bool TextureFactory::HasDeviceFailure()
{
    return g_deviceFailure;
}

uint32_t TextureFactory::DynamicTextureCount()
{
    return g_dynamicCount;
}

} // namespace QuillEngine
