#include "engine/graphics/TextLayout.h"

#include <algorithm>
#include <cmath>

namespace QuillEngine {

TextLayout::TextLayout(FT_Face face, const char16_t* text, size_t length, int32_t boxWidth, int32_t boxHeight,
                       const FontRenderOptions& options, int32_t flags)
    : face_(face), boxWidth_(boxWidth), boxHeight_(boxHeight), options_(options), flags_(flags)
{
    if (!face_ || !text)
        return;
    lines_.emplace_back();
    AddCharacters(text, length);
    AlignLines();
    PlaceLines();
    std::erase_if(lines_, [](const LayoutLine& line) { return line.glyphs.empty(); });
}

TextLayout::~TextLayout()
{
    for (LayoutLine& line : lines_)
        for (LayoutGlyph& g : line.glyphs)
            FT_Done_Glyph(g.glyph);
}

void TextLayout::AddCharacters(const char16_t* text, size_t length)
{
    const bool hasCarriageReturn = std::find(text, text + length, u'\r') != text + length;
    const bool kerningTable = FT_HAS_KERNING(face_);
    for (size_t i = 0; i < length; ++i) {
        const char16_t ch = text[i];
        if (ch == u'\n' && hasCarriageReturn)
            continue;
        if (ch == u'\r' || ch == u'\n') {
            if (!(flags_ & kSingleLine))
                lines_.emplace_back();
            continue;
        }
        LayoutLine& line = lines_.back();
        LayoutGlyph g;
        g.character = ch;
        g.index = FT_Get_Char_Index(face_, ch);
        if (!line.glyphs.empty()) {
            const LayoutGlyph& prev = line.glyphs.back();
            g.exactX = prev.exactX + prev.glyph->advance.x / 65536.0;
            FT_Vector kern{};
            if (kerningTable && FT_Get_Kerning(face_, prev.index, g.index, FT_KERNING_DEFAULT, &kern) == 0)
                g.exactX += kern.x / 64.0;
        }
        g.x = static_cast<int32_t>(std::trunc(g.exactX));
        if (FT_Load_Glyph(face_, g.index, options_.loadFlags) != 0 || FT_Get_Glyph(face_->glyph, &g.glyph) != 0 ||
            !g.glyph)
            continue;
        line.glyphs.push_back(g);
    }
}

int32_t TextLayout::LineWidth(const LayoutLine& line) const
{
    if (line.glyphs.empty())
        return 0;
    const LayoutGlyph& first = line.glyphs.front();
    const LayoutGlyph& last = line.glyphs.back();
    return static_cast<int32_t>(std::ceil(last.exactX - first.exactX + last.glyph->advance.x / 65536.0));
}

void TextLayout::AlignLines()
{
    for (LayoutLine& line : lines_) {
        const int32_t width = LineWidth(line);
        if ((flags_ & kSingleLine) && width > boxWidth_)
            continue;
        if (flags_ & kCenter)
            line.x += (boxWidth_ - width) / 2;
        else if (flags_ & kRight)
            line.x += boxWidth_ - width;
    }
}

void TextLayout::PlaceLines()
{
    const FT_Size_Metrics& m = face_->size->metrics;
    const long height = m.height;
    const double multiplier = options_.heightMultiplier != 0.0 ? options_.heightMultiplier : 1.0;
    int32_t y = boxHeight_ - static_cast<int32_t>((height + m.descender) >> 6);
    for (LayoutLine& line : lines_) {
        line.y = y;
        y -= static_cast<int32_t>(std::trunc(height / 64.0 * multiplier));
    }
    const int32_t n = static_cast<int32_t>(lines_.size());
    const int32_t lineHeight = static_cast<int32_t>(height >> 6);
    if (flags_ & kVCenter)
        offsetY_ += (boxHeight_ - n * lineHeight) / -2;
    else if (flags_ & kBottom)
        offsetY_ += n * lineHeight - boxHeight_;
    const auto& offset = (flags_ & kCenter)  ? options_.offsetCenter
                         : (flags_ & kRight) ? options_.offsetRight
                                             : options_.offsetLeft;
    offsetX_ += offset.first;
    offsetY_ += offset.second;
}

TextLayout::Bounds TextLayout::GetBounds() const
{
    Bounds b;
    if (lines_.empty())
        return b;
    const FT_Size_Metrics& m = face_->size->metrics;
    bool first = true;
    for (const LayoutLine& line : lines_) {
        const int32_t left = line.glyphs.front().x + line.x;
        const int32_t right = left + LineWidth(line);
        const int32_t top = line.y + static_cast<int32_t>((m.height + m.descender) >> 6);
        const int32_t bottom = top - static_cast<int32_t>(m.height >> 6);
        if (first) {
            b = {left, top, right, bottom};
            first = false;
            continue;
        }
        b.left = std::min(b.left, left);
        b.top = std::max(b.top, top);
        b.right = std::max(b.right, right);
        b.bottom = std::min(b.bottom, bottom);
    }
    b.left += offsetX_;
    b.right += offsetX_;
    b.top += offsetY_;
    b.bottom += offsetY_;
    if (options_.offsetLeft.first > 0)
        b.right += options_.offsetLeft.first;
    if (options_.offsetLeft.second < 0)
        b.bottom += options_.offsetLeft.second;
    return b;
}

bool TextLayout::NextGlyph(Cursor& cursor) const
{
    if (!cursor.started) {
        cursor = Cursor{0, 0, true};
    } else {
        ++cursor.glyph;
    }
    while (cursor.line < lines_.size() && cursor.glyph >= lines_[cursor.line].glyphs.size()) {
        ++cursor.line;
        cursor.glyph = 0;
    }
    return cursor.line < lines_.size();
}

LayoutGlyph TextLayout::GetGlyph(const Cursor& cursor) const
{
    const LayoutLine& line = lines_[cursor.line];
    LayoutGlyph g = line.glyphs[cursor.glyph];
    g.x += line.x + offsetX_;
    g.y += line.y + offsetY_;
    return g;
}

} // namespace QuillEngine
