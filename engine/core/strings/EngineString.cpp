#include "engine/core/strings/EngineString.h"

#include <array>
#include <cstdint>

namespace QuillEngine {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// 0x80..0x9F of Windows-1252; 0 marks the five unassigned bytes.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

// Decodes one UTF-8 sequence at bytes[i]. Returns the code point, or -1 for an ill-formed
// sequence; `used` is the number of bytes consumed (at least 1).
int32_t DecodeUtf8(std::string_view bytes, size_t i, size_t& used)
{
    const auto b0 = static_cast<uint8_t>(bytes[i]);
    used = 1;
    if (b0 < 0x80)
        return b0;
    int need;
    uint32_t cp;
    uint8_t lo = 0x80, hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) { need = 1; cp = b0 & 0x1F; }
    else if (b0 >= 0xE0 && b0 <= 0xEF) {
        need = 2; cp = b0 & 0x0F;
        if (b0 == 0xE0) lo = 0xA0;
        if (b0 == 0xED) hi = 0x9F;   // no surrogates
    }
    else if (b0 >= 0xF0 && b0 <= 0xF4) {
        need = 3; cp = b0 & 0x07;
        if (b0 == 0xF0) lo = 0x90;
        if (b0 == 0xF4) hi = 0x8F;   // ≤ U+10FFFF
    }
    else
        return -1;
    for (int k = 0; k < need; ++k) {
        if (i + used >= bytes.size())
            return -1;
        const auto b = static_cast<uint8_t>(bytes[i + used]);
        if (b < lo || b > hi)
            return -1;
        lo = 0x80; hi = 0xBF;
        cp = (cp << 6) | (b & 0x3F);
        ++used;
    }
    return static_cast<int32_t>(cp);
}

void AppendUtf8(std::string& out, uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

} // namespace

String FromUtf8(std::string_view utf8)
{
    String out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        size_t used;
        const int32_t cp = DecodeUtf8(utf8, i, used);
        i += used;
        if (cp < 0) {
            out += kReplacement;
        } else if (cp >= 0x10000) {
            const uint32_t v = static_cast<uint32_t>(cp) - 0x10000;
            out += static_cast<char16_t>(0xD800 + (v >> 10));
            out += static_cast<char16_t>(0xDC00 + (v & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

bool IsValidUtf8(std::string_view bytes)
{
    for (size_t i = 0; i < bytes.size();) {
        size_t used;
        if (DecodeUtf8(bytes, i, used) < 0)
            return false;
        i += used;
    }
    return true;
}

std::string ToUtf8(StringView text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((uint32_t(c) - 0xD800) << 10) + (uint32_t(text[i + 1]) - 0xDC00));
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}

String FromCp1252(std::string_view bytes)
{
    String out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto b = static_cast<uint8_t>(ch);
        if (b >= 0x80 && b <= 0x9F) {
            const char16_t m = kCp1252High[b - 0x80];
            out += m ? m : kReplacement;
        } else {
            out += static_cast<char16_t>(b);
        }
    }
    return out;
}

std::string ToCp1252(StringView text)
{
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out += static_cast<char>(c);
            continue;
        }
        char mapped = '?';
        for (size_t k = 0; k < kCp1252High.size(); ++k) {
            if (kCp1252High[k] == c && c != 0) {
                mapped = static_cast<char>(0x80 + k);
                break;
            }
        }
        out += mapped;
    }
    return out;
}

String Widen(std::string_view ascii)
{
    return String(ascii.begin(), ascii.end());
}

} // namespace QuillEngine
