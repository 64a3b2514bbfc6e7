#pragma once
// Making textures and registering them with the resource cache. File textures are cached under
// their path + "_dximg" and shared by every user of the path; run-time textures get a key of
// their own, "dyn_<n>_dxtex". Textures are made on the renderer's current device; a failure for
// exhausted video memory or a lost device is reported to the renderer, which then skips the batch
// flush of the frame in progress and recovers.

#include <cstdint>

#include "engine/core/strings/EngineString.h"
#include "platform/d3d/D3dInterfaces.h"

namespace QuillEngine {

class ResourceCache;
struct Image;

class TextureFactory {
public:
    static constexpr const char16_t* kFileSuffix = u"_dximg";

    // The handle of the texture for `path`: the cached one with one more use, or a new resource
    // that loads on its first use. 0 when the cache refuses it.
    static uint32_t AcquireFileTexture(StringView path, ResourceCache& cache);
    // Registers a texture made at run time; the resource takes over one reference of `texture`
    // (also on failure, when it is released and the result is 0).
    static uint32_t CreateDynamicTexture(QuillD3D::ITexture* texture, uint32_t width, uint32_t height,
                                         ResourceCache& cache);
    // A managed A8R8G8B8 texture of one level, each side raised to a power of two (written to
    // `textureWidth` and `textureHeight`). None on failure; exhausted video memory and a lost
    // device are reported to the renderer.
    static QuillD3D::ITexture* CreateTexture(uint32_t width, uint32_t height, uint32_t& textureWidth,
                                             uint32_t& textureHeight);
    // A texture holding `image` at its top left; the texels beyond the picture are transparent
    // black, so filtering at the picture's edges blends with nothing.
    static QuillD3D::ITexture* CreateTextureFromImage(const Image& image, uint32_t& textureWidth,
                                                      uint32_t& textureHeight);
    // The largest texture side of the renderer's device; 0 without a device.
    static uint32_t MaxTextureSide();

    // After the device's objects are restored: when a texture creation failed because the device
    // was lost or out of memory, the cache forgets its remembered load failures, so such textures
    // (and any other failed one, once) are tried again at their next use.
    static void OnDeviceRestored(ResourceCache* cache);
    // Whether a texture creation failed for the device since the last OnDeviceRestored.
    static bool HasDeviceFailure();
    // Keys handed out so far for run-time textures.
    static uint32_t DynamicTextureCount();
};

} // namespace QuillEngine
