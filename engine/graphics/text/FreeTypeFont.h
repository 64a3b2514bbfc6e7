#pragma once
// The font kind of the engine: a FreeType face from the font manager at one pixel size, measured
// and rendered through the text layout.

#include "engine/graphics/text/Font.h"
#include "engine/graphics/text/FontKey.h"
#include "engine/graphics/text/FontManager.h"

namespace QuillEngine {

class FreeTypeFont final : public Font {
public:
    // Resolves the key through the font manager; invalid when no face serves it.
    FreeTypeFont(const FontKey& key, bool rawMetrics);

    bool IsValid() const override { return face_ != nullptr; }
    void Measure(StringView text, int32_t& width, int32_t& height) override;
    void MeasureWrapped(StringView text, int32_t width, int32_t& outWidth, int32_t& outHeight) override;
    bool RenderToTexture(const char16_t* text, size_t length, int32_t width, int32_t height, int32_t flags,
                         QuillD3D::ITexture* texture) override;

    const FontRenderOptions& Options() const { return options_; }
    int32_t Size() const { return size_; }

private:
    void SetCharSize() const;
    void MeasureLayout(StringView text, int32_t boxWidth, int32_t boxHeight, int32_t flags, int32_t& width,
                       int32_t& height) const;

    FT_Face face_ = nullptr; // the manager's
    int32_t size_ = 0;
    FontRenderOptions options_;
};

} // namespace QuillEngine
