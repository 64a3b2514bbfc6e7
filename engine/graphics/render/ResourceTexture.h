#pragma once
// Texture resources held by the resource cache: a picture file loaded into a device texture on
// first use and dropped again when idle (ResourceTextureD3D), and a texture made at run time that
// stays until its last use is released (ResourceTextureD3DDyn).

#include <cstdint>

#include "engine/core/strings/EngineString.h"
#include "engine/core/resources/ResourceBase.h"
#include "platform/d3d/D3dInterfaces.h"

namespace QuillEngine {

class ResourceTexture : public ResourceBase {
public:
    using ResourceBase::ResourceBase;

    // Size of the device texture (powers of two for file textures).
    virtual void GetTextureSize(uint32_t& width, uint32_t& height) const = 0;
    // Size of the picture inside the texture; the whole texture unless a subclass knows better.
    virtual void GetImageSize(uint32_t& width, uint32_t& height) const { GetTextureSize(width, height); }
    // The device texture; none while unloaded. Not a new reference.
    virtual QuillD3D::ITexture* GetTexture() const = 0;
};

class ResourceTextureD3D final : public ResourceTexture {
public:
    explicit ResourceTextureD3D(String path);
    ~ResourceTextureD3D() override;

    uint32_t GetMemorySize() const override { return textureWidth_ * textureHeight_ * 4; }
    bool IsLoaded() const override { return texture_ != nullptr; }
    bool CanUnload() const override { return true; }
    void Unload() override { ReleaseTexture(); }
    // Picks the loader by the path's last three characters ("tga", "png", "jpg", exactly).
    bool Load() override;
    bool ReleaseDeviceObjects() override
    {
        ReleaseTexture();
        return true;
    }

    void GetTextureSize(uint32_t& width, uint32_t& height) const override
    {
        width = textureWidth_;
        height = textureHeight_;
    }
    void GetImageSize(uint32_t& width, uint32_t& height) const override
    {
        width = imageWidth_;
        height = imageHeight_;
    }
    QuillD3D::ITexture* GetTexture() const override { return texture_; }
    const String& GetPath() const { return path_; }

private:
    void ReleaseTexture();

    QuillD3D::ITexture* texture_ = nullptr;
    uint32_t imageWidth_ = 0;
    uint32_t imageHeight_ = 0;
    uint32_t textureWidth_ = 0;
    uint32_t textureHeight_ = 0;
    String path_;
};

class ResourceTextureD3DDyn final : public ResourceTexture {
public:
    // Takes over one reference of `texture`.
    ResourceTextureD3DDyn(QuillD3D::ITexture* texture, uint32_t width, uint32_t height);
    ~ResourceTextureD3DDyn() override;

    uint32_t GetMemorySize() const override { return width_ * height_ * 4; }
    bool Load() override { return true; }

    void GetTextureSize(uint32_t& width, uint32_t& height) const override
    {
        width = width_;
        height = height_;
    }
    QuillD3D::ITexture* GetTexture() const override { return texture_; }

private:
    QuillD3D::ITexture* texture_;
    uint32_t width_;
    uint32_t height_;
};

} // namespace QuillEngine
