#include "engine/graphics/text/TextLayout.h"

#include <algorithm>
#include <cmath>

#include "engine/graphics/text/OpenTypeKerning.h"
#include "platform/linebreak/LineBreaker.h"

namespace QuillEngine {

TextLayout::TextLayout(FT_Face face, const char16_t* text, size_t length, int32_t boxWidth, int32_t boxHeight,
                       const FontRenderOptions& options, int32_t flags)
    : face_(face), boxWidth_(boxWidth), boxHeight_(boxHeight), options_(options), flags_(flags)
{
    if (!face_ || !text)
        return;
    lines_.emplace_back();
    AddCharacters(text, length);
    WrapAndAlignLines();
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
    const IOtfGposTable* gpos = kerningTable ? nullptr : GetFaceGpos(face_);
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
            ValueRecord first, second;
            if (kerningTable) {
                if (FT_Get_Kerning(face_, prev.index, g.index, FT_KERNING_DEFAULT, &kern) == 0)
                    g.exactX += kern.x / 64.0;
            } else if (gpos && prev.index <= 0xFFFF && g.index <= 0xFFFF &&
                       gpos->GetPairAdjustment(static_cast<uint16_t>(prev.index), static_cast<uint16_t>(g.index),
                                               first, second)) {
                // Font units scaled to 26.6 pixels by the face's current size, then to pixels.
                g.exactX += first.xAdvance * static_cast<double>(face_->size->metrics.x_scale) / 65536.0 / 64.0;
            }
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

void TextLayout::WrapAndAlignLines()
{
    // Lines made by wrapping are inserted after the current one and visited in turn.
    for (size_t i = 0; i < lines_.size(); ++i) {
        if ((flags_ & kWrap) && lines_[i].glyphs.size() > 1 && LineWidth(lines_[i]) > boxWidth_)
            WrapLine(i);
        LayoutLine& line = lines_[i];
        const int32_t width = LineWidth(line);
        if ((flags_ & kSingleLine) && width > boxWidth_)
            continue;
        if (flags_ & kCenter)
            line.x += (boxWidth_ - width) / 2;
        else if (flags_ & kRight)
            line.x += boxWidth_ - width;
    }
}

void TextLayout::WrapLine(size_t index)
{
    std::vector<LayoutGlyph>& glyphs = lines_[index].glyphs;
    const size_t count = glyphs.size();
    lineText_.resize(count);
    for (size_t k = 0; k < count; ++k)
        lineText_[k] = glyphs[k].character;
    QuillLineBreak::DefaultLineBreaker().Analyse(lineText_.data(), count, breaks_);
    using QuillLineBreak::BreakAttributes;

    // From the end down to the second glyph: the last glyph that starts inside the box is the
    // fallback, the last such glyph a line may begin at is the break.
    size_t fallback = 0, soft = 0;
    for (size_t k = count - 1; k >= 1; --k) {
        if (glyphs[k].x > boxWidth_)
            continue;
        if (fallback == 0)
            fallback = k;
        if (breaks_[k] & BreakAttributes::kSoftBreak) {
            soft = k;
            break;
        }
    }
    size_t breakAt = 0, keptEnd = 0;
    if (soft != 0) {
        breakAt = keptEnd = soft;
        while (keptEnd > 1 && (breaks_[keptEnd - 1] & BreakAttributes::kWhiteSpace))
            --keptEnd;
    } else {
        // No glyph after the first starts inside the box (a box narrower than one glyph): the
        // first glyph stays alone, so that every pass makes progress.
        breakAt = keptEnd = fallback != 0 ? fallback : 1;
    }

    LayoutLine rest;
    rest.glyphs.assign(glyphs.begin() + static_cast<std::ptrdiff_t>(breakAt), glyphs.end());
    const int32_t shift = glyphs[breakAt].x;
    for (LayoutGlyph& g : rest.glyphs)
        g.x -= shift;
    for (size_t k = keptEnd; k < breakAt; ++k)
        FT_Done_Glyph(glyphs[k].glyph);
    glyphs.resize(keptEnd);
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(index) + 1, std::move(rest));
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
