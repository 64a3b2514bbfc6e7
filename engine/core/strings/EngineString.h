#pragma once
// The engine string: every name, path and text of the engine is UTF-16 on char16_t.
// wchar_t is 32-bit on this platform, so no wcs*/isw* function may touch these.

#include <string>
#include <string_view>

namespace QuillEngine {

using String = std::u16string;
using StringView = std::u16string_view;

// UTF-8 → UTF-16. Each ill-formed sequence becomes one U+FFFD.
String FromUtf8(std::string_view utf8);
// UTF-16 → UTF-8. A lone surrogate becomes U+FFFD.
std::string ToUtf8(StringView text);
// Whether the bytes are well-formed UTF-8 (no overlongs, no surrogates, ≤ U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// Windows-1252 ("the ANSI code page") → UTF-16; the five unassigned bytes map to U+FFFD.
String FromCp1252(std::string_view bytes);
// UTF-16 → Windows-1252; characters the code page lacks become '?'.
std::string ToCp1252(StringView text);

// Plain ASCII literal → engine string (for fixed names in code).
String Widen(std::string_view ascii);

} // namespace QuillEngine
