#pragma once
// A font and the cache of the strings it has rendered. A string in a given box and alignment is
// rendered once into a texture of its own and then only looked up; strings not drawn for five
// seconds are dropped as later lookups pass over them.

#include <cstdint>
#include <vector>

#include "engine/core/strings/EngineString.h"
#include "platform/d3d/D3dInterfaces.h"

namespace QuillEngine {

// Where a rendered string sits in its texture: left u, the v of the box's top edge, right u, the
// v of its bottom edge (rows hold layout y upwards), and the texture resource (0: none).
struct TextQuad {
    float leftU = 0.0f;
    float topV = 0.0f;
    float rightU = 0.0f;
    float bottomV = 0.0f;
    uint32_t texture = 0;
};

struct FontCacheEntry {
    int32_t flags = 0;
    uint32_t lastUse = 0; // millisecond ticks
    String text;
    uint32_t texture = 0; // run-time texture resource holding the string
    float leftU = 0.0f;
    float bottomV = 0.0f;
    float rightU = 0.0f;
    float topV = 0.0f;
    int32_t width = 0;
    int32_t height = 0;
};

class Font {
public:
    // A string unused this long (or longer) is dropped.
    static constexpr uint32_t kIdleMilliseconds = 5001;

    virtual ~Font();

    virtual bool IsValid() const = 0;
    // Size of the text laid out without wrapping.
    virtual void Measure(StringView text, int32_t& width, int32_t& height) = 0;
    virtual void MeasureWrapped(StringView text, int32_t width, int32_t& outWidth, int32_t& outHeight) = 0;
    // Renders into the locked level 0 of `texture`, whose size is at least width × height.
    virtual bool RenderToTexture(const char16_t* text, size_t length, int32_t width, int32_t height, int32_t flags,
                                 QuillD3D::ITexture* texture) = 0;

    // The quad of the string, rendering it on first use; the texture is 0 when it cannot be
    // rendered (nothing is cached then). `now` is the millisecond tick of the call.
    TextQuad GetString(const char16_t* text, size_t length, int32_t width, int32_t height, int32_t flags, uint32_t now);
    // One eviction step: drops the entry at the cursor when it is idle, else moves on.
    void EvictStep(uint32_t now);
    void ClearCache();

    size_t CachedStringCount() const { return cache_.size(); }
    const std::vector<FontCacheEntry>& Cache() const { return cache_; }

protected:
    Font() = default;

private:
    // Index of the matching entry, or (with `found` false) where a new one keeps the order.
    size_t FindEntry(StringView text, int32_t width, int32_t height, int32_t flags, bool& found) const;
    bool CreateEntry(size_t position, StringView text, int32_t width, int32_t height, int32_t flags, uint32_t now);
    void ReleaseEntry(FontCacheEntry& entry);

    std::vector<FontCacheEntry> cache_; // ordered by text, ordinal comparison
    size_t evictCursor_ = 0;
};

} // namespace QuillEngine
