#pragma once
// Number lists in definition attributes ("10 20 30 40 5 6 7 8", "1 0 0 1 10 20"): pieces separated
// by runs of white space, each one a whole number.

#include <cstddef>
#include <cstdint>

#include "engine/core/strings/EngineString.h"

namespace QuillEngine::DefinitionParse {

// Exactly `count` unsigned numbers with automatic base (decimal, "0x" hexadecimal, leading-zero
// octal). False for more or fewer pieces or a piece that is not entirely a number.
bool ParseUIntList(StringView text, uint32_t* out, size_t count);
// Exactly `count` finite reals.
bool ParseFloatList(StringView text, float* out, size_t count);
// `value` + 1, saturating at INT32_MAX.
int32_t OnePast(int32_t value);

} // namespace QuillEngine::DefinitionParse
