#include "engine/graphics/text/TextRenderer.h"

#include "engine/graphics/text/FontManager.h"
#include "engine/graphics/text/FreeTypeFont.h"
#include "platform/system/Clock.h"

namespace QuillEngine {

TextRenderer::TextRenderer() : fontManager_(std::make_unique<FontManager>())
{
    fontManager_->LoadConfiguration();
}

TextRenderer::~TextRenderer()
{
    // Fonts point at the manager's faces: they go first.
    slots_.clear();
    fontManager_.reset();
}

uint32_t TextRenderer::Now() const
{
    if (tickSource_)
        return tickSource_();
    return static_cast<uint32_t>(QuillPlatform::MonotonicNanoseconds() / 1000000u);
}

FontSlot* TextRenderer::Slot(int32_t index) const
{
    if (index < 0 || static_cast<size_t>(index) >= slots_.size())
        return nullptr;
    return slots_[static_cast<size_t>(index)].get();
}

Font* TextRenderer::GetFont(int32_t index) const
{
    const FontSlot* slot = Slot(index);
    return slot ? slot->font.get() : nullptr;
}

const FontKey* TextRenderer::GetFontKey(int32_t index) const
{
    const FontSlot* slot = Slot(index);
    return slot ? &slot->key : nullptr;
}

int32_t TextRenderer::AcquireFont(const FontKey& key, bool rawMetrics)
{
    if (key.name.empty() || key.size <= 3)
        return -1;
    size_t freeSlot = slots_.size();
    for (size_t i = 0; i < slots_.size(); ++i) {
        FontSlot* slot = slots_[i].get();
        if (!slot) {
            freeSlot = std::min(freeSlot, i);
            continue;
        }
        if (slot->key.Matches(key, false)) {
            ++slot->useCount;
            return static_cast<int32_t>(i);
        }
    }
    auto font = std::make_unique<FreeTypeFont>(key, rawMetrics);
    if (!font->IsValid())
        return -1;
    auto slot = std::make_unique<FontSlot>();
    slot->useCount = 1;
    slot->font = std::move(font);
    slot->key = key;
    if (freeSlot < slots_.size())
        slots_[freeSlot] = std::move(slot);
    else
        slots_.push_back(std::move(slot));
    return static_cast<int32_t>(freeSlot);
}

void TextRenderer::ReleaseFont(int32_t index)
{
    FontSlot* slot = Slot(index);
    if (!slot || --slot->useCount > 0)
        return;
    const size_t i = static_cast<size_t>(index);
    slots_[i].reset();
    if (i + 1 == slots_.size())
        slots_.pop_back();
}

void TextRenderer::MeasureText(int32_t index, StringView text, int32_t& width, int32_t& height)
{
    width = height = 0;
    if (Font* font = GetFont(index))
        font->Measure(text, width, height);
}

void TextRenderer::MeasureTextWrapped(int32_t index, StringView text, int32_t wrapWidth, int32_t& width,
                                      int32_t& height)
{
    width = height = 0;
    if (Font* font = GetFont(index))
        font->MeasureWrapped(text, wrapWidth, width, height);
}

TextQuad TextRenderer::GetString(int32_t index, StringView text, int32_t width, int32_t height, int32_t flags)
{
    Font* font = GetFont(index);
    if (!font)
        return TextQuad{};
    for (const int32_t pair : {0x03, 0x0C, 0x30})
        if ((flags & pair) == pair)
            flags &= ~pair;
    const uint32_t now = Now();
    const TextQuad quad = font->GetString(text.data(), text.size(), width, height, flags, now);
    if (!slots_.empty()) {
        if (sweepSlot_ >= slots_.size())
            sweepSlot_ = 0;
        Font* swept = GetFont(static_cast<int32_t>(sweepSlot_++));
        if (swept && swept != font)
            swept->EvictStep(now);
    }
    return quad;
}

void TextRenderer::FlushFont(int32_t index)
{
    if (Font* font = GetFont(index))
        font->ClearCache();
}

void TextRenderer::FlushAll()
{
    for (const auto& slot : slots_)
        if (slot)
            slot->font->ClearCache();
}

} // namespace QuillEngine
