#pragma once
// What a font request names: a face, a pixel size and a style.

#include <cstdint>

#include "engine/core/strings/EngineString.h"
#include "engine/core/strings/StringUtil.h"

namespace QuillEngine {

struct FontKey {
    String name;
    int32_t size = 0; // pixels
    uint8_t bold = 0;
    uint8_t italic = 0;
    uint8_t style3 = 0; // a third style byte; always 0 here, but part of every comparison

    FontKey() = default;
    FontKey(String faceName, int32_t pixelSize, bool isBold = false, bool isItalic = false)
        : name(std::move(faceName)), size(pixelSize), bold(isBold ? 1 : 0), italic(isItalic ? 1 : 0)
    {
    }

    // Same style bytes and name (ignoring case) and the same size; with `anySize` a size of 0 on
    // either side matches every size.
    bool Matches(const FontKey& other, bool anySize) const
    {
        if (bold != other.bold || italic != other.italic || style3 != other.style3)
            return false;
        if (!EqualsNoCase(name, other.name))
            return false;
        return size == other.size || (anySize && (size == 0 || other.size == 0));
    }
};

} // namespace QuillEngine
