// The typed formatter with a format text from outside (data files and scripts reach it): any text
// with arguments of every kind, too few and too many, gives a bounded result and never reads an
// argument as another kind.

#include "engine/core/strings/EngineString.h"
#include "engine/core/strings/Format.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace QuillEngine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const uint8_t pick = data[0];
    const std::string_view narrow(reinterpret_cast<const char*>(data + 1), size - 1);
    const String format = FromUtf8(narrow);
    const String wide = u"wide text";
    const int32_t i32 = static_cast<int32_t>(0x80000000u | pick);
    const uint32_t u32 = 0xFFFFFFFFu - pick;
    const int64_t i64 = INT64_MIN + pick;
    const double real = pick & 1 ? 1e308 : -0.0;

    String out;
    switch (pick % 4) {
    case 0:
        out = Format(format, {});
        break;
    case 1:
        out = Format(format, {i32, u32, i64, real, wide, "narrow", static_cast<const char*>(nullptr)});
        break;
    case 2:
        out = Format(format, {real, real, real});
        break;
    default:
        out = Format(format, {wide, i32});
        break;
    }
    const std::string utf8 = FormatUtf8(narrow, {u32, "x", real, i64});
    // Every directive yields a bounded piece (widths and precisions stop at 4096): the result
    // cannot outgrow the format by more than a fixed amount per input character.
    constexpr size_t kPerCharacter = 4096 + 512;
    if (out.size() > 64 + format.size() * kPerCharacter || utf8.size() > 64 + narrow.size() * 3 * kPerCharacter)
        std::abort();
    return 0;
}
