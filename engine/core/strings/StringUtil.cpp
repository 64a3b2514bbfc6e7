#include "engine/core/strings/StringUtil.h"

#include <climits>
#include <cstdlib>

#include "engine/core/EngineRand.h"
#include "engine/core/strings/StringTable.h"
#include "platform/system/CLocaleNumber.h"
#include "platform/system/UserAccount.h"

namespace QuillEngine {

namespace {

int DigitValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'z')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'Z')
        return c - u'A' + 10;
    return 99;
}

struct ParsedNumber {
    uint64_t value = 0; // saturated just above 32 bits when `overflow`
    bool negative = false;
    bool overflow = false;
    size_t end = 0; // 0: no number
};

ParsedNumber ParseMagnitude(StringView text, int base)
{
    ParsedNumber p;
    if (base < 0 || base == 1 || base > 36)
        return p;
    const size_t n = text.size();
    size_t i = 0;
    while (i < n && IsSpace(text[i]))
        ++i;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        p.negative = text[i] == u'-';
        ++i;
    }
    const bool hexPrefix = i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X');
    if ((base == 0 || base == 16) && hexPrefix) {
        if (i + 2 < n && DigitValue(text[i + 2]) < 16) {
            base = 16;
            i += 2;
        } else {
            // "0x" without a hex digit: the number is the "0" alone.
            p.end = i + 1;
            return p;
        }
    } else if (base == 0) {
        base = (i < n && text[i] == u'0') ? 8 : 10;
    }
    const size_t digitsStart = i;
    for (; i < n; ++i) {
        const int d = DigitValue(text[i]);
        if (d >= base)
            break;
        if (!p.overflow) {
            p.value = p.value * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
            if (p.value > 0xFFFFFFFFull)
                p.overflow = true;
        }
    }
    if (i == digitsStart) {
        p.value = 0;
        p.negative = false;
        return p;
    }
    p.end = i;
    return p;
}

bool IsTrimBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v';
}

char16_t FoldCase(char16_t c)
{
    if (c >= u'A' && c <= u'Z')
        return static_cast<char16_t>(c + 0x20);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return static_cast<char16_t>(c + 0x20);
    return c;
}

bool IsSlash(char16_t c)
{
    return c == u'\\' || c == u'/';
}

bool IsPathSeparator(char16_t c)
{
    return c == u'\\' || c == u'/' || c == u':';
}

} // namespace

uint32_t ParseUInt32(StringView text, int base, size_t* endIndex)
{
    const ParsedNumber p = ParseMagnitude(text, base);
    if (endIndex)
        *endIndex = p.end;
    if (p.overflow)
        return 0xFFFFFFFFu;
    const auto v = static_cast<uint32_t>(p.value);
    return p.negative ? 0u - v : v;
}

int32_t ParseInt32(StringView text, int base, size_t* endIndex)
{
    const ParsedNumber p = ParseMagnitude(text, base);
    if (endIndex)
        *endIndex = p.end;
    if (p.negative) {
        if (p.overflow || p.value > 0x80000000ull)
            return INT32_MIN;
        return static_cast<int32_t>(0 - static_cast<int64_t>(p.value));
    }
    if (p.overflow || p.value > 0x7FFFFFFFull)
        return INT32_MAX;
    return static_cast<int32_t>(p.value);
}

double ToDouble(StringView text, size_t* endIndex)
{
    // Only ASCII can belong to a number; copy that prefix one unit per character so that the
    // end position maps straight back.
    std::string narrow;
    size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) {
        narrow += ' ';
        ++i;
    }
    for (; i < text.size() && text[i] > 0x20 && text[i] < 0x7F; ++i)
        narrow += static_cast<char>(text[i]);
    char* end = nullptr;
    const double v = QuillPlatform::ParseDoubleC(narrow.c_str(), &end);
    if (endIndex)
        *endIndex = end == narrow.c_str() ? 0 : static_cast<size_t>(end - narrow.c_str());
    return v;
}

bool IsSpace(char16_t c)
{
    if ((c >= 0x09 && c <= 0x0D) || c == 0x20)
        return true;
    if (c < 0x85)
        return false;
    return c == 0x85 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 ||
           c == 0x202F || c == 0x205F || c == 0x3000;
}

bool Equals(StringView a, StringView b)
{
    return a.size() == b.size() && a == b;
}

bool Equals(StringView a, const char* ascii)
{
    const std::string_view b(ascii ? ascii : "");
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != static_cast<char16_t>(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool EqualsNoCase(StringView a, StringView b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && FoldCase(a[i]) != FoldCase(b[i]))
            return false;
    return true;
}

bool StartsWith(StringView text, StringView prefix)
{
    return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

int ReverseFind(StringView text, char16_t ch)
{
    const size_t at = text.rfind(ch);
    return at == StringView::npos ? -1 : static_cast<int>(at);
}

String UnescapeString(StringView text)
{
    String out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c != u'\\') {
            out += c;
            continue;
        }
        if (++i >= text.size())
            break;
        switch (text[i]) {
        case u'\\':
            out += u'\\';
            break;
        case u'n':
            out += u'\n';
            break;
        case u'r':
            out += u'\r';
            break;
        case u't':
            out += u'\t';
            break;
        default:
            break;
        }
    }
    return out;
}

int Tokenize(StringView text, std::vector<String>& out, char16_t separator, bool trim, int maxCount)
{
    if (maxCount == 0)
        return 0;
    if (separator == 0 || maxCount == 1) {
        if (trim) {
            size_t b = 0, e = text.size();
            while (b < e && IsTrimBlank(text[b]))
                ++b;
            while (e > b && IsTrimBlank(text[e - 1]))
                --e;
            text = text.substr(b, e - b);
        }
        out.emplace_back(text);
        return 1;
    }
    const size_t n = text.size();
    int count = 0;
    size_t pos = 0;
    for (;;) {
        if (trim)
            while (pos < n && IsSpace(text[pos]))
                ++pos;
        if (maxCount > 0 && count == maxCount - 1) {
            out.emplace_back(text.substr(pos));
            ++count;
            break;
        }
        size_t end = text.find(separator, pos);
        if (end == StringView::npos)
            end = n;
        size_t pieceEnd = end;
        if (trim)
            while (pieceEnd > pos && IsSpace(text[pieceEnd - 1]))
                --pieceEnd;
        if (pieceEnd > pos || count > 0) {
            out.emplace_back(text.substr(pos, pieceEnd - pos));
            ++count;
        }
        if (end >= n)
            break;
        pos = end + 1;
    }
    return count;
}

String LocalizeString(StringView text, bool format, std::initializer_list<FormatArg> args)
{
    if (text.empty() || text[0] != u'|')
        return String(text);
    constexpr StringView kInline = u"|String|";
    StringView resolved;
    if (StartsWith(text, kInline)) {
        const size_t bar = text.find(u'|', kInline.size());
        if (bar == StringView::npos)
            return String(text);
        // The text runs from after the tag's bar to just before the closing character; a
        // reference that ends at the tag's bar has no text at all.
        const size_t first = bar + 1;
        const size_t last = text.size() - 1;
        resolved = first < last ? text.substr(first, last - first) : StringView();
    } else {
        const uint32_t id = ParseUInt32(text.substr(1), 10);
        const StringTable* table = StringTable::Instance();
        if (id == 0 || !table)
            return String(text);
        resolved = table->Get(id);
        if (resolved.empty()) {
            table->TellMissing(id);
            return String(text);
        }
    }
    if (format)
        return Format(resolved, args);
    return String(resolved);
}

int Random(int n)
{
    return static_cast<int>(Rand() / (32768.0 / n));
}

size_t FindFileNamePart(StringView path)
{
    const size_t n = path.size();
    size_t start = 0;
    if (n >= 2 && path[0] == u'\\' && path[1] == u'\\') {
        size_t i = 2;
        while (i < n && !IsSlash(path[i]))
            ++i; // server
        if (i < n)
            ++i;
        while (i < n && !IsSlash(path[i]))
            ++i; // share
        start = i;
    }
    size_t pos = start;
    for (size_t i = start; i < n; ++i)
        if (IsPathSeparator(path[i]))
            pos = i + 1;
    const StringView last = path.substr(pos);
    if (last.empty() || last == u"." || last == u"..")
        return String::npos;
    return pos;
}

size_t GetFileNamePart(StringView path, bool keepSeparators)
{
    size_t pos = FindFileNamePart(path);
    if (pos == String::npos)
        pos = path.size();
    if (!keepSeparators)
        while (pos > 0 && IsSlash(path[pos - 1]))
            --pos;
    return pos;
}

String StripFileName(StringView path, bool keepSeparators)
{
    return String(path.substr(0, GetFileNamePart(path, keepSeparators)));
}

String AddDefaultExtension(StringView name)
{
    String out(name);
    if (name.find(u'.') == StringView::npos)
        out += u".dat";
    return out;
}

String PickUserName(const char* gecos, const char* login, const char* envUser)
{
    if (gecos) {
        const std::string_view all(gecos);
        const std::string_view full = all.substr(0, all.find(','));
        if (!full.empty())
            return FromUtf8(full);
    }
    if (login && *login)
        return FromUtf8(login);
    if (envUser && *envUser)
        return FromUtf8(envUser);
    return u"Player";
}

String GetCurrentUserName()
{
    const char* envUser = std::getenv("USER");
    QuillPlatform::UserAccount account;
    if (!QuillPlatform::ReadCurrentUserAccount(account))
        return PickUserName(nullptr, nullptr, envUser);
    return PickUserName(account.comment.c_str(), account.login.c_str(), envUser);
}

} // namespace QuillEngine
