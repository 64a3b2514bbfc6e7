#pragma once
// Seam: the text renderer until fonts and the rendered-string cache land. The renderer makes it
// once and empties its string caches whenever device objects are released; there is nothing to
// empty yet.

#include "engine/core/Singleton.h"

namespace QuillEngine {

class TextRenderer : public Singleton<TextRenderer> {
public:
    TextRenderer() = default;
    // Drops every font's rendered strings (their textures live on the device).
    void FlushAll() {}
};

} // namespace QuillEngine
