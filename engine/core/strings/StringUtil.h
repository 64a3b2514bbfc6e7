#pragma once
// Helpers on the engine string: number parsing, comparison, escapes, tokenising, string-table
// references, path pieces and the user name.
//
// Numbers are 32-bit as on the original platform (long is 64-bit here): the parsers saturate at
// 32 bits. Reals are read in the "C" locale whatever the process locale is.

#include "engine/core/strings/EngineString.h"
#include "engine/core/strings/Format.h"

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace QuillEngine {

// Like a 32-bit strtoul/strtol: leading white space, an optional sign, then digits in `base`
// (0: "0x" hexadecimal, leading-zero octal, else decimal; 2..36 otherwise). Overflow saturates
// (ToUInt: 0xFFFFFFFF; ToInt: INT32_MAX or INT32_MIN); ToUInt negates after a '-', so "-1" is
// 0xFFFFFFFF. `endIndex` (optional) receives the index after the number, 0 when there was none.
uint32_t ParseUInt32(StringView text, int base, size_t* endIndex = nullptr);
int32_t ParseInt32(StringView text, int base, size_t* endIndex = nullptr);

inline uint32_t ToUInt(StringView text)
{
    return ParseUInt32(text, 0);
}
inline int32_t ToInt(StringView text)
{
    return ParseInt32(text, 0);
}
// strtod in the "C" locale: leading white space, sign, decimal or "0x" hexadecimal, inf, nan.
// 0 when nothing parses.
double ToDouble(StringView text, size_t* endIndex = nullptr);
inline float ToFloat(StringView text)
{
    return static_cast<float>(ToDouble(text));
}

// The white space of the wide character classification (ASCII blanks and the Unicode spaces).
bool IsSpace(char16_t ch);

// Exact, case-sensitive comparison. The second form compares with an ASCII literal.
bool Equals(StringView a, StringView b);
bool Equals(StringView a, const char* ascii);
// Comparison ignoring the case of ASCII and Latin-1 letters.
bool EqualsNoCase(StringView a, StringView b);
bool StartsWith(StringView text, StringView prefix);
// Index of the last `ch`, or -1.
int ReverseFind(StringView text, char16_t ch);

// "\\" → '\', "\n", "\r", "\t" → control characters; a backslash before anything else drops both
// characters, and a trailing lone backslash is dropped.
String UnescapeString(StringView text);

// Splits `text` at `separator`, appending the pieces to `out`; returns how many were appended.
// Leading empty pieces are dropped, later ones kept. With `trim`, white space is removed around
// each piece. `maxCount` -1 (or any negative) is no limit; otherwise the last piece holds the rest
// of the text, separators included. A zero separator or a limit of 1 gives the whole text.
int Tokenize(StringView text, std::vector<String>& out, char16_t separator, bool trim, int maxCount);

// Resolves a string-table reference. Text not starting with '|' is returned unchanged;
// "|String|tag|text|" gives text; "|123|" gives table entry 123 (unchanged when the id is 0 or the
// entry is missing). With `format`, a resolved text is then used as a format for `args` through
// the typed formatter.
String LocalizeString(StringView text, bool format, std::initializer_list<FormatArg> args = {});
inline String LocalizeTitle(StringView text)
{
    return LocalizeString(text, false);
}

// rand() / (32768.0 / n), truncated: 0..n-1 from the engine's generator.
int Random(int n);

// Position of the last path component ('\', '/' and ':' separate components; a leading
// "\\server\share" is skipped). String::npos when that component is empty, "." or "..".
size_t FindFileNamePart(StringView path);
// FindFileNamePart, or the end of the path when there is none; unless `keepSeparators`, moved
// back over the separators just before it.
size_t GetFileNamePart(StringView path, bool keepSeparators);
// The folder part of `path`, with or without its trailing separator.
String StripFileName(StringView path, bool keepSeparators);
// `name` + ".dat" when it holds no '.'.
String AddDefaultExtension(StringView name);

// The user's display name: the first GECOS field of the account, else the login name, else
// $USER, else "Player".
String GetCurrentUserName();
// The choice GetCurrentUserName makes from those sources (each may be null).
String PickUserName(const char* gecos, const char* login, const char* envUser);

} // namespace QuillEngine
