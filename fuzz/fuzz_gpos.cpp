// Parses the input as an OpenType font's GPOS kerning and asks for the pairs of a few glyphs.

#include <cstddef>
#include <cstdint>

#include "engine/graphics/text/OpenTypeKerning.h"

using namespace QuillEngine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto font = CreateOtfHeader(data, size);
    const IOtfGposTable* gpos = font->GetGposTable();
    if (!gpos)
        return 0;
    ValueRecord v1, v2;
    for (uint16_t first = 0; first < 48; ++first)
        for (uint16_t second = 0; second < 48; ++second)
            gpos->GetPairAdjustment(first, second, v1, v2);
    gpos->GetPairAdjustment(0xFFFF, 0xFFFF, v1, v2);
    return 0;
}
