#include "engine/graphics/render/ResourceTexture.h"

#include <utility>

#include "engine/core/files/FileManager.h"
#include "engine/graphics/image/Image.h"
#include "engine/graphics/image/PictureLoader.h"
#include "engine/graphics/render/TextureFactory.h"

namespace QuillEngine {

namespace {

// Pixels above which the shared decode buffer is given back after a load instead of kept for the
// next picture (4 MB of pixels).
constexpr size_t kKeptScratchPixels = 1024 * 1024;

// Decoding goes through one buffer, so loading many pictures allocates only for the largest.
Image& ScratchImage()
{
    static Image image;
    return image;
}

} // namespace

ResourceTextureD3D::ResourceTextureD3D(String path) : ResourceTexture(kTypeTexture), path_(std::move(path)) {}

ResourceTextureD3D::~ResourceTextureD3D()
{
    ReleaseTexture();
}

void ResourceTextureD3D::ReleaseTexture()
{
    if (texture_)
        std::exchange(texture_, nullptr)->Release();
}

bool ResourceTextureD3D::Load()
{
    ReleaseTexture();
    FileManager* files = FileManager::Instance();
    const uint32_t maxSide = TextureFactory::MaxTextureSide();
    if (!files || maxSide == 0)
        return false;
    Image& image = ScratchImage();
    const bool decoded = LoadPicture(*files, path_, maxSide, image);
    const size_t pixels = size_t(image.width) * image.height;
    if (decoded)
        texture_ = TextureFactory::CreateTextureFromImage(image, textureWidth_, textureHeight_);
    if (texture_) {
        imageWidth_ = image.width;
        imageHeight_ = image.height;
    }
    if (pixels > kKeptScratchPixels)
        image.Reset();
    else
        image.Clear();
    return texture_ != nullptr;
}

ResourceTextureD3DDyn::ResourceTextureD3DDyn(QuillD3D::ITexture* texture, uint32_t width, uint32_t height)
    : ResourceTexture(kTypeDynamicTexture), texture_(texture), width_(width), height_(height)
{
}

ResourceTextureD3DDyn::~ResourceTextureD3DDyn()
{
    if (texture_)
        texture_->Release();
}

} // namespace QuillEngine
