#pragma once
// A text instance: a box of fixed size in which one string is drawn in one font, one colour and
// one alignment. The string is rendered by the text renderer's string cache and drawn as a single
// quad of the box size; with no font (or no rendered texture) nothing is drawn. Its bounds, for
// hit tests and layout, are the box.

#include <cstdint>

#include "engine/graphics/scene/Instance_Base.h"

namespace QuillEngine {

namespace HandleEx {

// What game code and scripts change on a text.
class ITextDeck {
public:
    // True when the font could be made; otherwise the current font stays.
    virtual bool SetFont(const String& face, int32_t size, bool bold, bool italic) = 0;
    // Stores the localised text when `text` differs from the stored (already localised) text.
    virtual void SetText(const String& text) = 0;
    virtual String GetText() const = 0;

protected:
    ~ITextDeck() = default;
};

} // namespace HandleEx

class Instance_Text : public Instance_Base, public HandleEx::ITextDeck {
public:
    Instance_Text(UserInterface* userInterface, const String& name);
    ~Instance_Text() override;

    // --- ITextDeck ---
    bool SetFont(const String& face, int32_t size, bool bold, bool italic) override;
    void SetText(const String& text) override;
    String GetText() const override { return m_text; }

    // Keeps the low 24 bits (0xRRGGBB).
    void SetColor(uint32_t color) override;
    uint32_t GetColor() const { return m_color; }

    void Draw(QuadBatcher& batcher, const Transform2D& matrix, float alpha, const uint32_t* shadowColor) override;

    // Set up by the movie definition from a text track.
    void SetAlignment(int32_t flags);
    void SetBox(int32_t width, int32_t height);

    int32_t GetFontIndex() const { return m_font; }
    int32_t GetAlignment() const { return m_align; }
    int32_t GetBoxWidth() const { return m_boxWidth; }
    int32_t GetBoxHeight() const { return m_boxHeight; }
    const String& Text() const { return m_text; }

protected:
    void ComputeContentQuad(Vec2 corners[4]) override;

private:
    uint32_t m_color = 0;
    int32_t m_font = -1; // an index of the text renderer, -1 for none
    int32_t m_align = 0;
    String m_text;
    int32_t m_boxWidth = 0, m_boxHeight = 0;
};

namespace HandleEx {

Instance_Text* ResolveText(const Handle& handle);

} // namespace HandleEx

} // namespace QuillEngine
