#include "engine/graphics/scene/DefinitionParse.h"

#include <cmath>
#include <limits>

#include "engine/core/strings/StringUtil.h"

namespace QuillEngine::DefinitionParse {

namespace {

// Calls `piece` for each white-space separated piece; stops early when it returns false. Returns
// the number of pieces seen, or SIZE_MAX after an early stop.
template <class F> size_t ForEachPiece(StringView text, F&& piece)
{
    size_t count = 0;
    size_t pos = 0;
    const size_t n = text.size();
    for (;;) {
        while (pos < n && IsSpace(text[pos]))
            ++pos;
        if (pos == n)
            return count;
        size_t end = pos;
        while (end < n && !IsSpace(text[end]))
            ++end;
        if (!piece(count, text.substr(pos, end - pos)))
            return SIZE_MAX;
        ++count;
        pos = end;
    }
}

} // namespace

bool ParseUIntList(StringView text, uint32_t* out, size_t count)
{
    const size_t seen = ForEachPiece(text, [&](size_t i, StringView piece) {
        if (i >= count)
            return false;
        size_t end = 0;
        out[i] = ParseUInt32(piece, 0, &end);
        return end == piece.size();
    });
    return seen == count;
}

bool ParseFloatList(StringView text, float* out, size_t count)
{
    const size_t seen = ForEachPiece(text, [&](size_t i, StringView piece) {
        if (i >= count)
            return false;
        size_t end = 0;
        const double value = ToDouble(piece, &end);
        if (end != piece.size() || !std::isfinite(value) || std::fabs(value) > std::numeric_limits<float>::max())
            return false;
        out[i] = static_cast<float>(value);
        return true;
    });
    return seen == count;
}

int32_t OnePast(int32_t value)
{
    return value == std::numeric_limits<int32_t>::max() ? value : value + 1;
}

} // namespace QuillEngine::DefinitionParse
