#include "engine/graphics/scene/Instance_Text.h"

#include <cmath>

#include <algorithm>

#include "engine/core/strings/StringUtil.h"
#include "engine/graphics/text/FontKey.h"
#include "engine/graphics/render/QuadBatcher.h"
#include "engine/graphics/text/TextRenderer.h"

namespace QuillEngine {

Instance_Text::Instance_Text(UserInterface* userInterface, const String& name)
    : Instance_Base(userInterface, name, Type_Text)
{
}

Instance_Text::~Instance_Text()
{
    if (m_font != -1)
        if (TextRenderer* text = TextRenderer::Instance())
            text->ReleaseFont(m_font);
}

bool Instance_Text::SetFont(const String& face, int32_t size, bool bold, bool italic)
{
    TextRenderer* text = TextRenderer::Instance();
    if (!text)
        return false;
    // The new use is taken before the old one is given back, so setting the same font again never
    // deletes it in between.
    const int32_t index = text->AcquireFont(FontKey(face, size, bold, italic), false);
    if (index == -1)
        return false;
    if (index == m_font) {
        text->ReleaseFont(index); // the same font: the use taken above is given back
        return true;
    }
    if (m_font != -1)
        text->ReleaseFont(m_font);
    m_font = index;
    MarkRedraw();
    return true;
}

void Instance_Text::SetText(const String& text)
{
    // Compared after localising: a string-table key never equals the text it stands for, and
    // comparing the key would redraw every time the same key is set again.
    String localized = LocalizeString(text, false);
    if (localized == m_text)
        return;
    m_text = std::move(localized);
    MarkRedraw();
}

void Instance_Text::SetColor(uint32_t color)
{
    if ((color & 0xFFFFFF) == m_color)
        return;
    m_color = color & 0xFFFFFF;
    MarkRedraw();
}

void Instance_Text::SetAlignment(int32_t flags)
{
    if (flags == m_align)
        return;
    m_align = flags;
    MarkRedraw();
}

void Instance_Text::SetBox(int32_t width, int32_t height)
{
    if (std::max(width, 0) == m_boxWidth && std::max(height, 0) == m_boxHeight)
        return;
    m_boxWidth = std::max(width, 0);
    m_boxHeight = std::max(height, 0);
    InvalidateTransform();
}

void Instance_Text::ComputeContentQuad(Vec2 corners[4])
{
    const float w = static_cast<float>(m_boxWidth), h = static_cast<float>(m_boxHeight);
    corners[0] = {0, 0};
    corners[1] = {0, h};
    corners[2] = {w, 0};
    corners[3] = {w, h};
}

void Instance_Text::Draw(QuadBatcher& batcher, const Transform2D& matrix, float alpha, const uint32_t* shadowColor)
{
    // Without a font, or when the string cannot be rendered, nothing is drawn: the batcher's
    // missing-texture rectangle would cover the box with a block no player can read.
    TextQuad rendered;
    if (m_font != -1)
        if (TextRenderer* text = TextRenderer::Instance())
            rendered = text->GetString(m_font, m_text, m_boxWidth, m_boxHeight, m_align);
    if (rendered.texture == 0)
        return;

    const float opacity = GetOpacity() * alpha;
    const uint32_t color = VertexColor(m_color, opacity, shadowColor);

    const float w = static_cast<float>(m_boxWidth), h = static_cast<float>(m_boxHeight);
    Transform2D box, quad;
    MultiplyTransform(box, Transform2D::Scale(w, h), Transform2D::Translation(w / 2, h / 2));
    const bool filter = GetAllowFiltering() && !IsIdentityLinear(matrix);
    // Unfiltered glyphs sit on whole pixels: at a fractional position the point sampling would
    // double or drop glyph columns where texel and pixel edges nearly meet.
    Transform2D placed = matrix;
    if (!filter) {
        placed.m31 = std::floor(placed.m31 + 0.5f);
        placed.m32 = std::floor(placed.m32 + 0.5f);
    }
    MultiplyTransform(quad, box, placed);
    // The glyph texture's coordinates already carry the half texel that lands each pixel centre
    // on a texel centre; moving the corners by half a pixel as well would sample on texel edges,
    // where each back end's rounding picks a different texel.
    batcher.DrawQuad(quad, QuadTexRect{rendered.leftU, rendered.topV, rendered.rightU, rendered.bottomV},
                     rendered.texture, color, GetMaterial(), filter, false);
}

namespace HandleEx {

Instance_Text* ResolveText(const Handle& handle)
{
    Instance_Base* instance = ResolveInstance(handle);
    return instance && instance->GetType() == Instance_Base::Type_Text ? static_cast<Instance_Text*>(instance)
                                                                       : nullptr;
}

} // namespace HandleEx

} // namespace QuillEngine
