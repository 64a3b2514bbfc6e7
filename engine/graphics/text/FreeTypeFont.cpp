#include "engine/graphics/text/FreeTypeFont.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/core/strings/StringUtil.h"
#include "engine/graphics/text/TextLayout.h"

namespace QuillEngine {

using namespace QuillD3D;

namespace {

FT_Render_Mode RenderModeFor(int32_t loadFlags)
{
    if (loadFlags & FontRenderOptions::kTargetLight)
        return FT_RENDER_MODE_LIGHT;
    if (loadFlags & FontRenderOptions::kTargetMono)
        return FT_RENDER_MODE_MONO;
    return FT_RENDER_MODE_NORMAL;
}

// Sub-pixel placement of a small glyph is kept to quarter pixels, so that strings of small text
// do not render every letter differently.
double QuantiseFraction(double frac, int32_t size)
{
    if (size > 25)
        return frac;
    if (frac > 0.0 && frac < 0.5)
        return 0.25;
    if (frac > 0.5 && frac < 1.0)
        return 0.75;
    return frac;
}

// Coverage of one bitmap pixel, 0..255; the bitmap's own format decides how it is stored.
inline uint8_t Coverage(const FT_Bitmap& bitmap, const uint8_t* row, uint32_t column)
{
    if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO)
        return (row[column >> 3] & (0x80 >> (column & 7))) ? 255 : 0;
    return row[column];
}

} // namespace

FreeTypeFont::FreeTypeFont(const FontKey& key, bool rawMetrics) : size_(key.size)
{
    if (const FontManager* manager = FontManager::Instance()) {
        const FontManager::Resolved resolved = manager->ResolveFont(key, rawMetrics);
        face_ = resolved.face;
        options_ = resolved.options;
    }
}

void FreeTypeFont::SetCharSize() const
{
    FT_Set_Char_Size(face_, 0, static_cast<FT_F26Dot6>(size_) * 64, 0, 0);
}

void FreeTypeFont::MeasureLayout(StringView text, int32_t boxWidth, int32_t boxHeight, int32_t flags, int32_t& width,
                                 int32_t& height) const
{
    width = height = 0;
    // The faces belong to the manager: without it they are gone.
    if (!face_ || !FontManager::Instance())
        return;
    SetCharSize();
    const TextLayout layout(face_, text.data(), text.size(), boxWidth, boxHeight, options_, flags);
    const TextLayout::Bounds b = layout.GetBounds();
    width = b.right - b.left;
    height = b.top - b.bottom;
}

void FreeTypeFont::Measure(StringView text, int32_t& width, int32_t& height)
{
    MeasureLayout(text, 0, 0, 0, width, height);
}

void FreeTypeFont::MeasureWrapped(StringView text, int32_t width, int32_t& outWidth, int32_t& outHeight)
{
    MeasureLayout(text, width, 1000000, TextLayout::kWrap, outWidth, outHeight);
}

bool FreeTypeFont::RenderToTexture(const char16_t* text, size_t length, int32_t width, int32_t height, int32_t flags,
                                   ITexture* texture)
{
    const FontManager* manager = FontManager::Instance();
    if (!face_ || !manager || !texture || width <= 0 || height <= 0)
        return false;
    SurfaceDesc desc{};
    LockedRect locked{};
    if (Failed(texture->GetLevelDesc(0, &desc)) || desc.format != FmtA8R8G8B8)
        return false;
    if (Failed(texture->LockRect(0, &locked, nullptr, 0)))
        return false;
    if (!locked.bits || locked.pitch < static_cast<int32_t>(desc.width * 4)) {
        texture->UnlockRect(0);
        return false;
    }
    auto* bits = static_cast<uint8_t*>(locked.bits);
    const size_t pitch = static_cast<size_t>(locked.pitch);
    for (uint32_t y = 0; y < desc.height; ++y)
        std::memset(bits + y * pitch, 0, size_t(desc.width) * 4);
    // Pixels are written only inside the box and inside the texture.
    const int32_t clipWidth = std::min<int32_t>(width, static_cast<int32_t>(desc.width));
    const int32_t clipHeight = std::min<int32_t>(height, static_cast<int32_t>(desc.height));

    const double adjust = options_.alphaAdjust != 0.0 ? options_.alphaAdjust : manager->GetDefaultAlphaAdjust();
    uint8_t alpha[256];
    for (int i = 0; i < 256; ++i)
        alpha[i] = static_cast<uint8_t>(std::clamp(std::trunc(adjust * i), 0.0, 255.0));

    SetCharSize();
    const TextLayout layout(face_, text, length, width, height, options_, flags);
    const FT_Render_Mode mode = RenderModeFor(options_.loadFlags);
    TextLayout::Cursor cursor;
    while (layout.NextGlyph(cursor)) {
        const LayoutGlyph g = layout.GetGlyph(cursor);
        if (IsSpace(g.character))
            continue;
        const double frac = QuantiseFraction(g.exactX - std::trunc(g.exactX), size_);
        FT_Vector origin{static_cast<FT_Pos>(frac * 64.0), 0};
        FT_Glyph rendered = g.glyph;
        if (FT_Glyph_To_Bitmap(&rendered, mode, &origin, 0) != 0 || rendered->format != FT_GLYPH_FORMAT_BITMAP) {
            if (rendered != g.glyph)
                FT_Done_Glyph(rendered);
            continue;
        }
        const FT_Bitmap& bitmap = reinterpret_cast<FT_BitmapGlyph>(rendered)->bitmap;
        const int32_t left = g.x + reinterpret_cast<FT_BitmapGlyph>(rendered)->left;
        const int32_t top = g.y + reinterpret_cast<FT_BitmapGlyph>(rendered)->top;
        const bool readable =
            bitmap.buffer && (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY || bitmap.pixel_mode == FT_PIXEL_MODE_MONO);
        const uint32_t stride = static_cast<uint32_t>(std::abs(bitmap.pitch));
        for (uint32_t r = 0; readable && r < bitmap.rows; ++r) {
            const int32_t row = top - static_cast<int32_t>(r);
            if (row < 0 || row >= clipHeight)
                continue;
            // A negative pitch stores the rows bottom first.
            const uint8_t* source = bitmap.buffer + size_t(bitmap.pitch >= 0 ? r : bitmap.rows - 1 - r) * stride;
            uint8_t* target = bits + size_t(row) * pitch;
            for (uint32_t c = 0; c < bitmap.width; ++c) {
                const int32_t x = left + static_cast<int32_t>(c);
                if (x < 0 || x >= clipWidth)
                    continue;
                uint8_t* texel = target + size_t(x) * 4;
                texel[0] = texel[1] = texel[2] = 255;
                texel[3] = std::max(texel[3], alpha[Coverage(bitmap, source, c)]);
            }
        }
        if (rendered != g.glyph)
            FT_Done_Glyph(rendered);
    }
    texture->UnlockRect(0);
    return true;
}

} // namespace QuillEngine
