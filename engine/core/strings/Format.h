#pragma once
// The typed formatter behind every printf-style text of the engine. Formats are often data
// (string-table texts), so nothing here ever reaches the C library's printf: each argument carries
// its type and the conversions are done by this code.
//
// Supported: %s %S %d %i %u %o %x %X %f %F %e %E %g %G %c %% with the flags - + space 0 #, a width
// and a precision. Length modifiers (h, hh, l, ll, L, z, j, t, I64, I32, w) are accepted and
// ignored, since each argument knows its own size. A conversion with no argument left prints
// nothing; %n consumes nothing and prints nothing; an unknown conversion is copied as it stands.
// A '*' width or precision takes an integer argument. Widths and precisions are capped at 4096.
// Mismatched types convert: a number under %s prints as under %d (%u, %g for reals), a real under
// %d is truncated, an integer under %f is widened, an unsigned value under %d keeps its value, a
// negative one under %u/%x/%o wraps at its own width (32 or 64 bits), a text under any other
// conversion prints as text, and %c takes a character or a character code.

#include "engine/core/strings/EngineString.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace QuillEngine {

class FormatArg {
public:
    enum class Kind : uint8_t { Int32, UInt32, Int64, UInt64, Double, Text, NarrowText, Char };

    FormatArg(int v) : m_kind(Kind::Int32), m_int(v) {}
    FormatArg(unsigned v) : m_kind(Kind::UInt32), m_uint(v) {}
    FormatArg(long v) : m_kind(sizeof(long) == 4 ? Kind::Int32 : Kind::Int64), m_int(v) {}
    FormatArg(unsigned long v) : m_kind(sizeof(long) == 4 ? Kind::UInt32 : Kind::UInt64), m_uint(v) {}
    FormatArg(long long v) : m_kind(Kind::Int64), m_int(v) {}
    FormatArg(unsigned long long v) : m_kind(Kind::UInt64), m_uint(v) {}
    FormatArg(double v) : m_kind(Kind::Double), m_double(v) {}
    FormatArg(char16_t c) : m_kind(Kind::Char), m_uint(c) {}
    FormatArg(char c) : m_kind(Kind::Char), m_uint(static_cast<unsigned char>(c)) {}
    // Texts are held by view: arguments live until the end of the Format call's full expression.
    FormatArg(StringView s) : m_kind(Kind::Text), m_int(0), m_text(s) {}
    FormatArg(const String& s) : m_kind(Kind::Text), m_int(0), m_text(s) {}
    FormatArg(const char16_t* s) : m_kind(Kind::Text), m_int(0), m_text(s ? StringView(s) : StringView()) {}
    // Narrow texts are UTF-8.
    FormatArg(std::string_view s) : m_kind(Kind::NarrowText), m_int(0), m_narrow(s) {}
    FormatArg(const std::string& s) : m_kind(Kind::NarrowText), m_int(0), m_narrow(s) {}
    FormatArg(const char* s)
        : m_kind(Kind::NarrowText), m_int(0), m_narrow(s ? std::string_view(s) : std::string_view())
    {
    }

    Kind GetKind() const { return m_kind; }
    bool IsText() const { return m_kind == Kind::Text || m_kind == Kind::NarrowText; }
    bool IsInteger() const { return !IsText() && m_kind != Kind::Double; }
    bool IsSigned() const { return m_kind == Kind::Int32 || m_kind == Kind::Int64; }
    // Integer value, reals truncated (saturating), texts 0.
    int64_t AsInt64() const;
    uint64_t AsUInt64() const;
    double AsDouble() const;
    // The text, or the decimal form of a number.
    String AsText() const;

private:
    Kind m_kind;
    union {
        int64_t m_int;
        uint64_t m_uint;
        double m_double;
    };
    StringView m_text;
    std::string_view m_narrow;
};

String Format(StringView format, std::initializer_list<FormatArg> args);
// Appends to `out` (no temporary string for the result).
void FormatTo(String& out, StringView format, std::initializer_list<FormatArg> args);
// UTF-8 format and result.
std::string FormatUtf8(std::string_view format, std::initializer_list<FormatArg> args);

} // namespace QuillEngine
