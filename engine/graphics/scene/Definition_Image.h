#pragma once
// An image definition: a picture file and, optionally, the rectangle of an atlas the image
// occupies (the `bi` attribute).

#include <cstdint>

#include "engine/graphics/scene/Definition_Base.h"
#include "engine/graphics/render/Geometry2D.h"

namespace QuillEngine {

// Where an image instance's picture goes: the instance's box, the matrix that takes the unit quad
// (centred on the origin) onto the drawn rectangle, and the texture coordinates of that rectangle.
struct ImagePlacement {
    int32_t width = 0;
    int32_t height = 0;
    Transform2D quadMatrix;
    float left = 0, top = 0, right = 0, bottom = 0; // texture coordinates
};

// The part of a texture that pixel readback copies into a width x height buffer, clipped so that
// every row read lies inside the texture and every row written inside the buffer.
struct ImagePixelCopy {
    uint32_t sourceX = 0, sourceY = 0;
    uint32_t destX = 0, destY = 0;
    uint32_t width = 0, height = 0; // 0 when nothing overlaps
};

class Definition_Image : public Definition_Base {
public:
    explicit Definition_Image(DefinitionLibrary* library) : Definition_Base(Type_Image, library) {}

    Instance_Base* CreateInstance(UserInterface* userInterface, const String& instanceName) const override;
    // `src` is required; `bi`, when present, holds exactly eight unsigned numbers: instance width,
    // instance height, source width, source height, source x, source y, offset x, offset y.
    bool Load(const XmlNode& element) override;

    const String& GetSource() const { return m_source; }
    void SetSource(String source) { m_source = std::move(source); }

    uint32_t GetSourceX() const { return m_sourceX; }
    uint32_t GetSourceY() const { return m_sourceY; }
    uint32_t GetOffsetX() const { return m_offsetX; }
    uint32_t GetOffsetY() const { return m_offsetY; }
    uint32_t GetInstanceWidth() const { return m_instanceWidth; }
    uint32_t GetInstanceHeight() const { return m_instanceHeight; }
    uint32_t GetSourceWidth() const { return m_sourceWidth; }
    uint32_t GetSourceHeight() const { return m_sourceHeight; }
    // Whether the image is a rectangle of an atlas (else the whole picture is shown).
    bool HasAtlasRect() const { return m_instanceWidth != 0; }

    // The placement for a picture of pictureWidth x pictureHeight held in a texture allocated at
    // textureWidth x textureHeight. False when the texture size is 0.
    bool ComputePlacement(uint32_t pictureWidth, uint32_t pictureHeight, uint32_t textureWidth, uint32_t textureHeight,
                          ImagePlacement& out) const;
    // The copy that reads this image's pixels from a texture into a buffer of the instance's size.
    ImagePixelCopy ComputePixelCopy(uint32_t textureWidth, uint32_t textureHeight, uint32_t bufferWidth,
                                    uint32_t bufferHeight) const;

private:
    String m_source;
    uint32_t m_sourceX = 0, m_sourceY = 0;
    uint32_t m_offsetX = 0, m_offsetY = 0;
    uint32_t m_instanceWidth = 0, m_instanceHeight = 0;
    uint32_t m_sourceWidth = 0, m_sourceHeight = 0;
};

} // namespace QuillEngine
