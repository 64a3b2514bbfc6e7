#pragma once
// Positions the glyphs of a string for one face at its current character size: one glyph per
// character with pair kerning, lines broken at line feeds, each line aligned inside a box and the
// block of lines placed vertically. The y axis points up: the first line sits at the top of the
// box (y = box height). With flag 0x10 lines wider than the box are wrapped at the line-break
// opportunities of the text; faces without a FreeType kerning table are kerned from their
// OpenType GPOS data when they have any.

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_GLYPH_H

#include <cstdint>
#include <string>
#include <vector>

#include "engine/graphics/text/FontManager.h"

namespace QuillEngine {

struct LayoutGlyph {
    char16_t character = 0;
    FT_UInt index = 0;
    FT_Glyph glyph = nullptr; // owned by the layout
    int32_t x = 0;
    int32_t y = 0;
    double exactX = 0.0;
};

struct LayoutLine {
    std::vector<LayoutGlyph> glyphs;
    int32_t x = 0;
    int32_t y = 0;
};

class TextLayout {
public:
    static constexpr int32_t kCenter = 0x01;
    static constexpr int32_t kRight = 0x02;
    static constexpr int32_t kVCenter = 0x04;
    static constexpr int32_t kBottom = 0x08;
    static constexpr int32_t kWrap = 0x10;
    static constexpr int32_t kSingleLine = 0x20;

    struct Bounds {
        int32_t left = 0, top = 0, right = 0, bottom = 0;
    };
    // Position of an iteration: starts before the first glyph.
    struct Cursor {
        size_t line = 0;
        size_t glyph = 0;
        bool started = false;
    };

    TextLayout(FT_Face face, const char16_t* text, size_t length, int32_t boxWidth, int32_t boxHeight,
               const FontRenderOptions& options, int32_t flags);
    ~TextLayout();
    TextLayout(const TextLayout&) = delete;
    TextLayout& operator=(const TextLayout&) = delete;

    Bounds GetBounds() const;
    bool NextGlyph(Cursor& cursor) const;
    // A copy with x and y in box coordinates; the glyph stays the layout's.
    LayoutGlyph GetGlyph(const Cursor& cursor) const;
    const std::vector<LayoutLine>& Lines() const { return lines_; }

private:
    void AddCharacters(const char16_t* text, size_t length);
    void WrapAndAlignLines();
    // Splits lines_[index] at a break opportunity inside the box; the rest becomes the next line.
    void WrapLine(size_t index);
    void PlaceLines();
    int32_t LineWidth(const LayoutLine& line) const;

    FT_Face face_;
    int32_t boxWidth_;
    int32_t boxHeight_;
    FontRenderOptions options_;
    int32_t flags_;
    std::vector<LayoutLine> lines_;
    int32_t offsetX_ = 0;
    int32_t offsetY_ = 0;
    // Scratch for wrapping, kept to avoid allocating per line.
    std::u16string lineText_;
    std::vector<uint8_t> breaks_;
};

} // namespace QuillEngine
