#pragma once
// Fonts by reference-counted index, and the strings they render. The renderer makes the text
// renderer once when it starts; as a device-reset listener it empties every font's string cache
// whenever the device objects go. Main thread only.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/core/Singleton.h"
#include "engine/core/strings/EngineString.h"
#include "engine/graphics/render/DeviceResetListener.h"
#include "engine/graphics/text/Font.h"
#include "engine/graphics/text/FontKey.h"

namespace QuillEngine {

class FontManager;

struct FontSlot {
    int32_t useCount = 0;
    std::unique_ptr<Font> font;
    FontKey key;
};

class TextRenderer : public Singleton<TextRenderer>, public IDeviceResetListener {
public:
    // Millisecond ticks; wrap-around is harmless (only differences are used).
    using TickSource = std::function<uint32_t()>;

    // Makes the font manager, which reads "fonts\fonts.xml" and loads the fonts it lists.
    TextRenderer();
    ~TextRenderer();
    TextRenderer(const TextRenderer&) = delete;
    TextRenderer& operator=(const TextRenderer&) = delete;

    // Index of a font for `key`, made on first request; -1 for an empty name, a size of 3 or
    // less, or a key no face serves. `rawMetrics` counts only when the font is made.
    int32_t AcquireFont(const FontKey& key, bool rawMetrics = false);
    // Gives back one use; the font goes with its last use.
    void ReleaseFont(int32_t index);
    // The text's size laid out without wrapping; (0, 0) for an unknown index.
    void MeasureText(int32_t index, StringView text, int32_t& width, int32_t& height);
    void MeasureTextWrapped(int32_t index, StringView text, int32_t wrapWidth, int32_t& width, int32_t& height);
    // The quad of the string in a box; all zero for an unknown index or when it cannot be
    // rendered. Contradictory alignment pairs in `flags` cancel out.
    TextQuad GetString(int32_t index, StringView text, int32_t width, int32_t height, int32_t flags);
    void FlushFont(int32_t index);
    // Drops every font's rendered strings (their textures live on the device).
    void FlushAll();
    void OnDeviceLost() override { FlushAll(); }

    Font* GetFont(int32_t index) const;
    const FontKey* GetFontKey(int32_t index) const;
    FontManager* GetFontManager() const { return fontManager_.get(); }
    size_t SlotCount() const { return slots_.size(); }
    void SetTickSource(TickSource source) { tickSource_ = std::move(source); }
    uint32_t Now() const;

private:
    FontSlot* Slot(int32_t index) const;

    std::vector<std::unique_ptr<FontSlot>> slots_;
    std::unique_ptr<FontManager> fontManager_;
    TickSource tickSource_;
    // Fonts take turns at one idle-string check per lookup of any font, so a font that is no
    // longer drawn still gives back its strings.
    size_t sweepSlot_ = 0;
};

} // namespace QuillEngine
