#include "engine/graphics/text/Font.h"

#include <algorithm>

#include "engine/core/resources/ResourceCache.h"
#include "engine/graphics/render/RenderManager.h"
#include "engine/graphics/render/ResourceTexture.h"
#include "engine/graphics/render/TextureFactory.h"

namespace QuillEngine {

using namespace QuillD3D;

Font::~Font()
{
    ClearCache();
}

size_t Font::FindEntry(StringView text, int32_t width, int32_t height, int32_t flags, bool& found) const
{
    found = false;
    const auto sameKeys = [&](const FontCacheEntry& e) {
        return e.flags == flags && e.width == width && e.height == height && StringView(e.text) == text;
    };
    const auto it = std::lower_bound(cache_.begin(), cache_.end(), text,
                                     [](const FontCacheEntry& e, StringView t) { return StringView(e.text) < t; });
    const size_t position = static_cast<size_t>(it - cache_.begin());
    // Entries with the same text differ in box or flags and sit side by side from `position`.
    for (size_t i = position; i < cache_.size() && StringView(cache_[i].text) == text; ++i) {
        if (sameKeys(cache_[i])) {
            found = true;
            return i;
        }
    }
    return position;
}

TextQuad Font::GetString(const char16_t* text, size_t length, int32_t width, int32_t height, int32_t flags,
                         uint32_t now)
{
    TextQuad quad;
    const StringView view = text ? StringView(text, length) : StringView();
    bool found = false;
    size_t index = FindEntry(view, width, height, flags, found);
    if (!found && !CreateEntry(index, view, width, height, flags, now))
        return quad;
    FontCacheEntry& entry = cache_[index];
    quad.leftU = entry.leftU;
    quad.topV = entry.topV;
    quad.rightU = entry.rightU;
    quad.bottomV = entry.bottomV;
    quad.texture = entry.texture;
    entry.lastUse = now;
    EvictStep(now);
    return quad;
}

void Font::EvictStep(uint32_t now)
{
    if (evictCursor_ >= cache_.size())
        evictCursor_ = 0;
    if (evictCursor_ >= cache_.size())
        return;
    FontCacheEntry& entry = cache_[evictCursor_];
    if (now - entry.lastUse >= kIdleMilliseconds) {
        ReleaseEntry(entry);
        cache_.erase(cache_.begin() + static_cast<std::ptrdiff_t>(evictCursor_));
    } else {
        ++evictCursor_;
    }
}

void Font::ClearCache()
{
    for (FontCacheEntry& entry : cache_)
        ReleaseEntry(entry);
    cache_.clear();
    evictCursor_ = 0;
}

void Font::ReleaseEntry(FontCacheEntry& entry)
{
    if (entry.texture != 0) {
        if (ResourceCache* cache = ResourceCache::Instance())
            cache->Release(entry.texture);
        entry.texture = 0;
    }
}

bool Font::CreateEntry(size_t position, StringView text, int32_t width, int32_t height, int32_t flags, uint32_t now)
{
    CRenderManager* renderer = CRenderManager::Instance();
    ResourceCache* resources = ResourceCache::Instance();
    if (!renderer || !resources || !(renderer->GetDeviceState() & CRenderManager::kStateReady))
        return false;
    if (width <= 0 || height <= 0)
        return false;
    uint32_t w = static_cast<uint32_t>(width), h = static_cast<uint32_t>(height);
    if (renderer->GetCaps().textureCaps & TextureCapsSquareOnly)
        w = h = std::max(w, h);
    uint32_t tw = 0, th = 0;
    ITexture* texture = TextureFactory::CreateTexture(w, h, tw, th);
    if (!texture)
        return false;
    // Glyph placement works on an even box; the entry keeps the width that was asked for.
    const int32_t renderWidth = width + (width & 1);
    if (!RenderToTexture(text.data(), text.size(), renderWidth, height, flags, texture)) {
        texture->Release();
        return false;
    }
    const uint32_t handle = TextureFactory::CreateDynamicTexture(texture, tw, th, *resources);
    if (handle == 0)
        return false;
    FontCacheEntry entry;
    entry.flags = flags;
    entry.lastUse = now;
    entry.text = String(text);
    entry.texture = handle;
    entry.leftU = 0.5f / static_cast<float>(tw);
    entry.bottomV = -0.5f / static_cast<float>(th);
    entry.rightU = (static_cast<float>(width) + 0.5f) / static_cast<float>(tw);
    entry.topV = (static_cast<float>(height) - 0.5f) / static_cast<float>(th);
    entry.width = width;
    entry.height = height;
    cache_.insert(cache_.begin() + static_cast<std::ptrdiff_t>(position), std::move(entry));
    if (evictCursor_ > position)
        ++evictCursor_;
    return true;
}

} // namespace QuillEngine
