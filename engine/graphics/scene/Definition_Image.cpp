#include "engine/graphics/scene/Definition_Image.h"

#include <algorithm>
#include <limits>

#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/scene/DefinitionParse.h"

namespace QuillEngine {

namespace {

int32_t ToSize(uint32_t value)
{
    return static_cast<int32_t>(std::min<uint32_t>(value, std::numeric_limits<int32_t>::max()));
}

// The length of [start, start + length) that lies inside [0, limit).
uint32_t ClipSpan(uint32_t start, uint32_t length, uint32_t limit)
{
    if (start >= limit)
        return 0;
    return std::min(length, limit - start);
}

} // namespace

bool Definition_Image::Load(const XmlNode& element)
{
    if (!element.GetAttribute(u"src", m_source))
        return false;
    String rect;
    if (!element.GetAttribute(u"bi", rect))
        return true;
    uint32_t numbers[8];
    if (!DefinitionParse::ParseUIntList(rect, numbers, 8))
        return false;
    m_instanceWidth = numbers[0];
    m_instanceHeight = numbers[1];
    m_sourceWidth = numbers[2];
    m_sourceHeight = numbers[3];
    m_sourceX = numbers[4];
    m_sourceY = numbers[5];
    m_offsetX = numbers[6];
    m_offsetY = numbers[7];
    return true;
}

bool Definition_Image::ComputePlacement(uint32_t pictureWidth, uint32_t pictureHeight, uint32_t textureWidth,
                                        uint32_t textureHeight, ImagePlacement& out) const
{
    if (textureWidth == 0 || textureHeight == 0)
        return false;
    const double tw = textureWidth, th = textureHeight;
    if (HasAtlasRect()) {
        const double sw = m_sourceWidth, sh = m_sourceHeight;
        out.width = ToSize(m_instanceWidth);
        out.height = ToSize(m_instanceHeight);
        MultiplyTransform(out.quadMatrix, Transform2D::Scale(float(sw), float(sh)),
                          Transform2D::Translation(float(m_offsetX + sw / 2), float(m_offsetY + sh / 2)));
        out.left = float(m_sourceX / tw);
        out.top = float(m_sourceY / th);
        out.right = float((m_sourceX + sw) / tw);
        out.bottom = float((m_sourceY + sh) / th);
    } else {
        const double w = pictureWidth, h = pictureHeight;
        out.width = ToSize(pictureWidth);
        out.height = ToSize(pictureHeight);
        MultiplyTransform(out.quadMatrix, Transform2D::Scale(float(w), float(h)),
                          Transform2D::Translation(float(w / 2), float(h / 2)));
        out.left = 0;
        out.top = 0;
        out.right = float(w / tw);
        out.bottom = float(h / th);
    }
    return true;
}

ImagePixelCopy Definition_Image::ComputePixelCopy(uint32_t textureWidth, uint32_t textureHeight, uint32_t bufferWidth,
                                                  uint32_t bufferHeight) const
{
    ImagePixelCopy copy;
    if (HasAtlasRect()) {
        copy.sourceX = m_sourceX;
        copy.sourceY = m_sourceY;
        copy.destX = m_offsetX;
        copy.destY = m_offsetY;
        copy.width = ClipSpan(m_offsetX, ClipSpan(m_sourceX, m_sourceWidth, textureWidth), bufferWidth);
        copy.height = ClipSpan(m_offsetY, ClipSpan(m_sourceY, m_sourceHeight, textureHeight), bufferHeight);
    } else {
        copy.width = std::min(textureWidth, bufferWidth);
        copy.height = std::min(textureHeight, bufferHeight);
    }
    if (copy.width == 0 || copy.height == 0)
        copy.width = copy.height = 0;
    return copy;
}

} // namespace QuillEngine
