#include "engine/graphics/scene/Instance_Image.h"

#include <algorithm>
#include <cstring>

#include "engine/core/resources/ResourceCache.h"
#include "engine/graphics/scene/DefinitionLibrary.h"
#include "engine/graphics/scene/Definition_Image.h"
#include "engine/graphics/render/ResourceTexture.h"
#include "engine/graphics/scene/UserInterface.h"

namespace QuillEngine {

Instance_Image::Instance_Image(UserInterface* userInterface, const String& name)
    : Instance_Base(userInterface, name, Type_Image)
{
}

Instance_Image::~Instance_Image()
{
    if (m_texture != 0)
        if (ResourceCache* cache = ResourceCache::Instance())
            cache->Release(m_texture);
}

void Instance_Image::SetPlacement(int32_t width, int32_t height, const Transform2D& imageMatrix,
                                  const QuadTexRect& textureRect)
{
    m_width = width;
    m_height = height;
    m_imageMatrix = imageMatrix;
    m_texRect = textureRect;
    InvalidateTransform();
}

void Instance_Image::SetColorRGB(int32_t r, int32_t g, int32_t b)
{
    SetColor((static_cast<uint32_t>(r & 0xFF) << 16) | (static_cast<uint32_t>(g & 0xFF) << 8) |
             static_cast<uint32_t>(b & 0xFF));
}

void Instance_Image::SetColor(uint32_t color)
{
    if ((color & 0xFFFFFF) == m_color)
        return;
    m_color = color & 0xFFFFFF;
    MarkRedraw();
}

void Instance_Image::GetColorRGB(int32_t& r, int32_t& g, int32_t& b) const
{
    r = static_cast<int32_t>((m_color >> 16) & 0xFF);
    g = static_cast<int32_t>((m_color >> 8) & 0xFF);
    b = static_cast<int32_t>(m_color & 0xFF);
}

void Instance_Image::GetImageInfo(QuadTexRect* textureRect, int32_t* size) const
{
    if (textureRect)
        *textureRect = m_texRect;
    if (size) {
        size[0] = m_width;
        size[1] = m_height;
    }
}

void Instance_Image::ComputeContentQuad(Vec2 corners[4])
{
    const float w = static_cast<float>(m_width), h = static_cast<float>(m_height);
    corners[0] = {0, 0};
    corners[1] = {0, h};
    corners[2] = {w, 0};
    corners[3] = {w, h};
}

void Instance_Image::Draw(QuadBatcher& batcher, const Transform2D& matrix, float alpha, const uint32_t* shadowColor)
{
    const float opacity = GetOpacity() * alpha;
    const uint32_t color = VertexColor(m_color, opacity, shadowColor);
    Transform2D quad;
    MultiplyTransform(quad, m_imageMatrix, matrix);
    const bool filter = GetAllowFiltering() && !IsIdentityLinear(matrix);
    // Pixel centres sit on whole coordinates: the half-pixel shift puts each texel's centre on a
    // pixel centre for an unscaled image at a whole position.
    batcher.DrawQuad(quad, m_texRect, m_texture, color, GetMaterial(), filter, true);
}

std::unique_ptr<uint32_t[]> Instance_Image::ReadPixels(uint32_t& width, uint32_t& height)
{
    UserInterface* ui = GetUserInterface();
    DefinitionLibrary* library = ui ? ui->GetDefinitionLibrary() : nullptr;
    const Definition_Base* base = library ? library->GetDefinition(GetDefinitionName(), GetDefinitionIndex()) : nullptr;
    if (!base || base->GetType() != Definition_Base::Type_Image)
        return nullptr;
    const auto* definition = static_cast<const Definition_Image*>(base);
    ResourceCache* cache = ResourceCache::Instance();
    ResourceBase* resource = cache && m_texture ? cache->Acquire(m_texture) : nullptr;
    auto* texture = dynamic_cast<ResourceTexture*>(resource);
    QuillD3D::ITexture* deviceTexture = texture ? texture->GetTexture() : nullptr;
    if (!deviceTexture || m_width <= 0 || m_height <= 0)
        return nullptr;

    QuillD3D::LockedRect locked{};
    if (QuillD3D::Failed(deviceTexture->LockRect(0, &locked, nullptr, QuillD3D::LockReadOnly)))
        return nullptr;
    const uint32_t w = static_cast<uint32_t>(m_width), h = static_cast<uint32_t>(m_height);
    std::unique_ptr<uint32_t[]> pixels(new uint32_t[size_t(w) * h]());
    uint32_t textureWidth = 0, textureHeight = 0;
    texture->GetTextureSize(textureWidth, textureHeight);
    const ImagePixelCopy copy = definition->ComputePixelCopy(textureWidth, textureHeight, w, h);
    const auto* bits = static_cast<const uint8_t*>(locked.bits);
    for (uint32_t row = 0; row < copy.height; ++row)
        std::memcpy(&pixels[size_t(copy.destY + row) * w + copy.destX],
                    bits + size_t(copy.sourceY + row) * size_t(locked.pitch) + size_t(copy.sourceX) * 4,
                    size_t(copy.width) * 4);
    deviceTexture->UnlockRect(0);
    width = w;
    height = h;
    return pixels;
}

} // namespace QuillEngine
