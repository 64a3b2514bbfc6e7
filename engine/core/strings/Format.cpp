#include "engine/core/strings/Format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace QuillEngine {

namespace {

constexpr int kMaxField = 4096;

struct Spec {
    bool left = false;
    bool plus = false;
    bool space = false;
    bool zero = false;
    bool alt = false;
    int width = 0;
    int precision = -1; // -1: none given
    char16_t conv = 0;
};

void Pad(String& out, int count, char16_t ch)
{
    if (count > 0)
        out.append(static_cast<size_t>(count), ch);
}

void AppendAscii(String& out, std::string_view ascii)
{
    for (char c : ascii)
        out += static_cast<char16_t>(static_cast<unsigned char>(c));
}

// Lays out prefix (sign, "0x") + body in the field: zero padding goes between the two.
void EmitField(String& out, const Spec& spec, std::string_view prefix, std::string_view body, bool zeroPadAllowed)
{
    const int len = static_cast<int>(prefix.size() + body.size());
    const int pad = spec.width - len;
    if (spec.left) {
        AppendAscii(out, prefix);
        AppendAscii(out, body);
        Pad(out, pad, u' ');
    } else if (spec.zero && zeroPadAllowed) {
        AppendAscii(out, prefix);
        Pad(out, pad, u'0');
        AppendAscii(out, body);
    } else {
        Pad(out, pad, u' ');
        AppendAscii(out, prefix);
        AppendAscii(out, body);
    }
}

void EmitText(String& out, const Spec& spec, StringView text)
{
    if (spec.precision >= 0 && static_cast<size_t>(spec.precision) < text.size())
        text = text.substr(0, static_cast<size_t>(spec.precision));
    const int pad = spec.width - static_cast<int>(text.size());
    if (!spec.left)
        Pad(out, pad, u' ');
    out.append(text);
    if (spec.left)
        Pad(out, pad, u' ');
}

void EmitArgText(String& out, const Spec& spec, const FormatArg& arg)
{
    EmitText(out, spec, arg.AsText());
}

void EmitInteger(String& out, const Spec& spec, const FormatArg& arg)
{
    const char16_t conv = spec.conv;
    const bool isSigned = conv == u'd' || conv == u'i';
    bool negative = false;
    uint64_t magnitude;
    if (isSigned) {
        if (arg.GetKind() == FormatArg::Kind::UInt64 || arg.GetKind() == FormatArg::Kind::UInt32) {
            magnitude = arg.AsUInt64();
        } else {
            const int64_t v = arg.AsInt64();
            negative = v < 0;
            magnitude = negative ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
        }
    } else {
        // Negative values wrap at the argument's own width, as a C caller would expect.
        const int64_t v = arg.AsInt64();
        if (arg.GetKind() == FormatArg::Kind::Int32 && v < 0)
            magnitude = static_cast<uint32_t>(v);
        else if (arg.IsSigned() || arg.GetKind() == FormatArg::Kind::Double)
            magnitude = static_cast<uint64_t>(v);
        else
            magnitude = arg.AsUInt64();
    }

    int base = 10;
    if (conv == u'o')
        base = 8;
    else if (conv == u'x' || conv == u'X')
        base = 16;

    char digits[80];
    int n = 0;
    if (!(magnitude == 0 && spec.precision == 0)) {
        auto r = std::to_chars(digits, digits + 64, magnitude, base);
        n = static_cast<int>(r.ptr - digits);
        if (conv == u'X') {
            for (int k = 0; k < n; ++k)
                if (digits[k] >= 'a' && digits[k] <= 'f')
                    digits[k] = static_cast<char>(digits[k] - 'a' + 'A');
        }
    }
    std::string body;
    if (spec.precision > n)
        body.assign(static_cast<size_t>(spec.precision - n), '0');
    body.append(digits, static_cast<size_t>(n));
    if (spec.alt && conv == u'o' && (body.empty() || body[0] != '0'))
        body.insert(body.begin(), '0');

    std::string_view prefix;
    if (isSigned) {
        if (negative)
            prefix = "-";
        else if (spec.plus)
            prefix = "+";
        else if (spec.space)
            prefix = " ";
    } else if (spec.alt && magnitude != 0 && conv == u'x') {
        prefix = "0x";
    } else if (spec.alt && magnitude != 0 && conv == u'X') {
        prefix = "0X";
    }
    EmitField(out, spec, prefix, body, spec.precision < 0);
}

void EmitReal(String& out, const Spec& spec, double value)
{
    const char16_t conv = spec.conv;
    const bool upper = conv == u'F' || conv == u'E' || conv == u'G' || conv == u'A';
    const bool negative = std::signbit(value);
    const double magnitude = std::fabs(value);

    std::string_view prefix;
    if (negative)
        prefix = "-";
    else if (spec.plus)
        prefix = "+";
    else if (spec.space)
        prefix = " ";

    std::string body;
    bool finite = std::isfinite(magnitude);
    if (!finite) {
        body = std::isnan(magnitude) ? "nan" : "inf";
    } else {
        // Fixed notation of a huge value with a large precision needs room for both.
        char buffer[kMaxField + 400];
        std::to_chars_result r;
        const char lower = static_cast<char>(conv | 0x20);
        if (lower == 'f') {
            r = std::to_chars(buffer, buffer + sizeof(buffer), magnitude, std::chars_format::fixed,
                              spec.precision < 0 ? 6 : spec.precision);
        } else if (lower == 'e') {
            r = std::to_chars(buffer, buffer + sizeof(buffer), magnitude, std::chars_format::scientific,
                              spec.precision < 0 ? 6 : spec.precision);
        } else if (lower == 'a') {
            r = spec.precision < 0
                    ? std::to_chars(buffer, buffer + sizeof(buffer), magnitude, std::chars_format::hex)
                    : std::to_chars(buffer, buffer + sizeof(buffer), magnitude, std::chars_format::hex, spec.precision);
        } else {
            const int p = spec.precision < 0 ? 6 : (spec.precision == 0 ? 1 : spec.precision);
            r = std::to_chars(buffer, buffer + sizeof(buffer), magnitude, std::chars_format::general, p);
        }
        if (r.ec != std::errc())
            return;
        body.assign(buffer, r.ptr);
        if (spec.alt && (lower == 'f' || lower == 'e') && body.find('.') == std::string::npos) {
            const size_t e = body.find('e');
            body.insert(e == std::string::npos ? body.size() : e, 1, '.');
        }
        if (lower == 'a')
            body.insert(0, "0x");
    }
    if (upper) {
        for (char& c : body)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
    }
    EmitField(out, spec, prefix, body, finite);
}

void EmitChar(String& out, const Spec& spec, const FormatArg& arg)
{
    const uint64_t code =
        arg.GetKind() == FormatArg::Kind::Double ? static_cast<uint64_t>(arg.AsInt64()) : arg.AsUInt64();
    char16_t units[2];
    size_t count = 0;
    if (code == 0) {
        count = 0;
    } else if (code <= 0xFFFF) {
        units[count++] = static_cast<char16_t>(code);
    } else if (code <= 0x10FFFF) {
        const uint32_t v = static_cast<uint32_t>(code) - 0x10000;
        units[count++] = static_cast<char16_t>(0xD800 + (v >> 10));
        units[count++] = static_cast<char16_t>(0xDC00 + (v & 0x3FF));
    } else {
        units[count++] = 0xFFFD;
    }
    Spec plain = spec;
    plain.precision = -1;
    EmitText(out, plain, StringView(units, count));
}

// Reads digits (or '*' from the arguments) for a width or precision.
int ReadCount(StringView format, size_t& j, const FormatArg*& next, const FormatArg* end, bool& fromStar)
{
    fromStar = false;
    if (j < format.size() && format[j] == u'*') {
        ++j;
        fromStar = true;
        if (next == end)
            return 0;
        const int64_t v = (next++)->AsInt64();
        return static_cast<int>(std::clamp<int64_t>(v, -kMaxField, kMaxField));
    }
    int value = 0;
    while (j < format.size() && format[j] >= u'0' && format[j] <= u'9') {
        value = std::min(kMaxField, value * 10 + (format[j] - u'0'));
        ++j;
    }
    return value;
}

} // namespace

int64_t FormatArg::AsInt64() const
{
    switch (m_kind) {
    case Kind::Int32:
    case Kind::Int64:
        return m_int;
    case Kind::UInt32:
    case Kind::UInt64:
    case Kind::Char:
        return static_cast<int64_t>(m_uint);
    case Kind::Double: {
        if (std::isnan(m_double))
            return 0;
        if (m_double >= 9223372036854775807.0)
            return std::numeric_limits<int64_t>::max();
        if (m_double <= -9223372036854775808.0)
            return std::numeric_limits<int64_t>::min();
        return static_cast<int64_t>(m_double);
    }
    default:
        return 0;
    }
}

uint64_t FormatArg::AsUInt64() const
{
    switch (m_kind) {
    case Kind::UInt32:
    case Kind::UInt64:
    case Kind::Char:
        return m_uint;
    default:
        return static_cast<uint64_t>(AsInt64());
    }
}

double FormatArg::AsDouble() const
{
    switch (m_kind) {
    case Kind::Double:
        return m_double;
    case Kind::Int32:
    case Kind::Int64:
        return static_cast<double>(m_int);
    case Kind::UInt32:
    case Kind::UInt64:
    case Kind::Char:
        return static_cast<double>(m_uint);
    default:
        return 0.0;
    }
}

String FormatArg::AsText() const
{
    switch (m_kind) {
    case Kind::Text:
        return String(m_text);
    case Kind::NarrowText:
        return FromUtf8(m_narrow);
    case Kind::Char:
        return String(1, static_cast<char16_t>(m_uint));
    default: {
        String out;
        Spec spec;
        spec.conv = m_kind == Kind::Double ? u'g' : (IsSigned() ? u'd' : u'u');
        if (m_kind == Kind::Double)
            EmitReal(out, spec, m_double);
        else
            EmitInteger(out, spec, *this);
        return out;
    }
    }
}

void FormatTo(String& out, StringView format, std::initializer_list<FormatArg> args)
{
    const FormatArg* next = args.begin();
    const FormatArg* const end = args.end();
    const size_t n = format.size();
    size_t i = 0;
    while (i < n) {
        const size_t pct = format.find(u'%', i);
        if (pct == StringView::npos) {
            out.append(format.substr(i));
            break;
        }
        out.append(format.substr(i, pct - i));
        size_t j = pct + 1;
        Spec spec;
        for (; j < n; ++j) {
            const char16_t c = format[j];
            if (c == u'-')
                spec.left = true;
            else if (c == u'+')
                spec.plus = true;
            else if (c == u' ')
                spec.space = true;
            else if (c == u'0')
                spec.zero = true;
            else if (c == u'#')
                spec.alt = true;
            else
                break;
        }
        bool star = false;
        spec.width = ReadCount(format, j, next, end, star);
        if (spec.width < 0) {
            spec.left = true;
            spec.width = -spec.width;
        }
        if (j < n && format[j] == u'.') {
            ++j;
            spec.precision = ReadCount(format, j, next, end, star);
            if (spec.precision < 0)
                spec.precision = -1;
        }
        while (j < n) {
            const char16_t c = format[j];
            if (c == u'h' || c == u'l' || c == u'L' || c == u'q' || c == u'j' || c == u'z' || c == u't' || c == u'w') {
                ++j;
            } else if (c == u'I') {
                ++j;
                if (j + 1 < n &&
                    ((format[j] == u'6' && format[j + 1] == u'4') || (format[j] == u'3' && format[j + 1] == u'2')))
                    j += 2;
            } else {
                break;
            }
        }
        if (j >= n) {
            out.append(format.substr(pct));
            break;
        }
        spec.conv = format[j];
        i = j + 1;

        switch (spec.conv) {
        case u'%':
            out += u'%';
            continue;
        case u'n':
            continue;
        case u's':
        case u'S':
        case u'd':
        case u'i':
        case u'u':
        case u'o':
        case u'x':
        case u'X':
        case u'f':
        case u'F':
        case u'e':
        case u'E':
        case u'g':
        case u'G':
        case u'a':
        case u'A':
        case u'c':
        case u'C':
            break;
        default:
            out.append(format.substr(pct, i - pct));
            continue;
        }
        if (next == end)
            continue;
        const FormatArg& arg = *next++;

        char16_t conv = spec.conv;
        if (conv == u's' || conv == u'S') {
            if (!arg.IsText()) {
                if (arg.GetKind() == FormatArg::Kind::Char)
                    conv = u'c';
                else if (arg.GetKind() == FormatArg::Kind::Double)
                    conv = u'g';
                else
                    conv = arg.IsSigned() ? u'd' : u'u';
            }
        }
        if (arg.IsText()) {
            EmitArgText(out, spec, arg);
            continue;
        }
        spec.conv = conv;
        switch (conv) {
        case u'c':
        case u'C':
            EmitChar(out, spec, arg);
            break;
        case u'f':
        case u'F':
        case u'e':
        case u'E':
        case u'g':
        case u'G':
        case u'a':
        case u'A':
            EmitReal(out, spec, arg.AsDouble());
            break;
        default:
            EmitInteger(out, spec, arg);
            break;
        }
    }
}

String Format(StringView format, std::initializer_list<FormatArg> args)
{
    String out;
    out.reserve(format.size() + 16 * args.size());
    FormatTo(out, format, args);
    return out;
}

std::string FormatUtf8(std::string_view format, std::initializer_list<FormatArg> args)
{
    return ToUtf8(Format(FromUtf8(format), args));
}

} // namespace QuillEngine
