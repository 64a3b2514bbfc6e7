#pragma once
// An image instance: one picture of an image definition (a whole picture file or a rectangle of an
// atlas), tinted by a 24-bit colour and faded by the opacity of the instance and its ancestors.
// Its bounds, for hit tests and layout, are its width x height rectangle.

#include <cstdint>
#include <memory>

#include "engine/graphics/scene/Instance_Base.h"
#include "engine/graphics/render/QuadBatcher.h"

namespace QuillEngine {

namespace HandleEx {

class IImageDeck {
public:
    // Each component is taken modulo 256.
    virtual void SetColorRGB(int32_t r, int32_t g, int32_t b) = 0;
    // Keeps the low 24 bits (0xRRGGBB).
    virtual void SetColor(uint32_t color) = 0;
    virtual void GetColorRGB(int32_t& r, int32_t& g, int32_t& b) const = 0;
    virtual uint32_t GetColor() const = 0;
    // Copies the texture rectangle and the size (width, height) into whichever outputs are given.
    virtual void GetImageInfo(QuadTexRect* textureRect, int32_t* size) const = 0;

protected:
    ~IImageDeck() = default;
};

class IImageStage {
public:
    // The image's pixels as 32-bit texels (A8R8G8B8), width x height, rows top down; texels the
    // picture does not cover are 0. Null when the definition or the texture is gone or cannot be
    // read.
    virtual std::unique_ptr<uint32_t[]> ReadPixels(uint32_t& width, uint32_t& height) = 0;

protected:
    ~IImageStage() = default;
};

} // namespace HandleEx

class Instance_Image : public Instance_Base, public HandleEx::IImageDeck, public HandleEx::IImageStage {
public:
    static constexpr uint32_t kDefaultColor = 0xFFFFFF;

    Instance_Image(UserInterface* userInterface, const String& name);
    ~Instance_Image() override;

    // --- IImageDeck ---
    void SetColorRGB(int32_t r, int32_t g, int32_t b) override;
    void SetColor(uint32_t color) override;
    void GetColorRGB(int32_t& r, int32_t& g, int32_t& b) const override;
    uint32_t GetColor() const override { return m_color; }
    void GetImageInfo(QuadTexRect* textureRect, int32_t* size) const override;

    // --- IImageStage ---
    std::unique_ptr<uint32_t[]> ReadPixels(uint32_t& width, uint32_t& height) override;

    void Draw(QuadBatcher& batcher, const Transform2D& matrix, float alpha, const uint32_t* shadowColor) override;

    // Set up by the image definition. The instance takes over one use of `textureId` (a texture
    // resource of the cache), given back when it is destroyed.
    void SetTexture(uint32_t textureId) { m_texture = textureId; }
    void SetPlacement(int32_t width, int32_t height, const Transform2D& imageMatrix, const QuadTexRect& textureRect);
    uint32_t GetTextureId() const { return m_texture; }
    int32_t GetImageWidth() const { return m_width; }
    int32_t GetImageHeight() const { return m_height; }
    const Transform2D& GetImageMatrix() const { return m_imageMatrix; }

protected:
    void ComputeContentQuad(Vec2 corners[4]) override;

private:
    uint32_t m_color = kDefaultColor;
    int32_t m_width = 0, m_height = 0;
    uint32_t m_texture = 0;
    // Takes the unit quad (centred on the origin) onto the picture's place in the instance.
    Transform2D m_imageMatrix;
    QuadTexRect m_texRect{0, 0, 0, 0};
};

} // namespace QuillEngine
