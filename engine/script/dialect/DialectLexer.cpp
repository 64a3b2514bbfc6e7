#include "engine/script/dialect/DialectLexer.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

namespace QuillLua {
namespace {

const char* const kReservedWords[] = {"and",    "break",    "continue", "do",   "else",  "elseif", "end", "false",
                                      "for",    "function", "if",       "in",   "local", "nil",    "not", "or",
                                      "repeat", "return",   "then",     "true", "until", "while"};
constexpr int kReservedCount = int(sizeof(kReservedWords) / sizeof(kReservedWords[0]));

bool IsDigit(char16_t c)
{
    return c >= '0' && c <= '9';
}
bool IsAlpha(char16_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsAlnum(char16_t c)
{
    return IsAlpha(c) || IsDigit(c);
}
bool IsNameStart(char16_t c)
{
    return IsAlpha(c) || c == '_';
}
bool IsNameChar(char16_t c)
{
    return IsAlnum(c) || c == '_';
}
bool IsHexDigit(char16_t c)
{
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
int HexValue(char16_t c)
{
    return IsDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10;
}

void AppendUtf8(std::string& out, uint32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

Tok LookupReserved(std::u16string_view name)
{
    if (name.size() < 2 || name.size() > 8) {
        return Tok::Name;
    }
    for (int i = 0; i < kReservedCount; ++i) {
        const char* w = kReservedWords[i];
        size_t n = std::strlen(w);
        if (n != name.size()) {
            continue;
        }
        size_t k = 0;
        while (k < n && name[k] == char16_t(w[k])) {
            ++k;
        }
        if (k == n) {
            return Tok(int(Tok::And) + i);
        }
    }
    return Tok::Name;
}

} // namespace

const char* TokenName(Tok type)
{
    switch (type) {
    case Tok::Eof:
        return "<eof>";
    case Tok::Name:
        return "<name>";
    case Tok::Number:
        return "<number>";
    case Tok::String:
        return "<string>";
    case Tok::WString:
        return "<wstring>";
    case Tok::Concat:
        return "..";
    case Tok::Dots:
        return "...";
    case Tok::Eq:
        return "==";
    case Tok::Ge:
        return ">=";
    case Tok::Le:
        return "<=";
    case Tok::Ne:
        return "~=";
    case Tok::Shl:
        return "<<";
    case Tok::Shr:
        return ">>";
    case Tok::Char:
        return "?";
    default:
        break;
    }
    int i = int(type) - int(Tok::And);
    return (i >= 0 && i < kReservedCount) ? kReservedWords[i] : "?";
}

DialectLexer::DialectLexer(std::u16string_view source, SourceEncoding encoding) : src_(source), encoding_(encoding) {}

void DialectLexer::Error(const std::string& message, int line, std::string nearText) const
{
    throw DialectError{message, line, std::move(nearText)};
}

std::string DialectLexer::SourceBytes(size_t start, size_t end) const
{
    std::string out;
    end = std::min(end, src_.size());
    for (size_t i = start; i < end; ++i) {
        AppendNarrowUnitTo(out, i);
    }
    return out;
}

std::string DialectLexer::TokenText(const Token& token) const
{
    switch (token.type) {
    case Tok::Name:
    case Tok::Number:
    case Tok::String:
    case Tok::WString:
        return SourceBytes(token.start, token.end);
    case Tok::Char: {
        std::string out;
        size_t i = token.start;
        AppendNarrowUnitTo(out, i);
        return out;
    }
    default:
        return TokenName(token.type);
    }
}

// Appends source unit i as narrow bytes; a surrogate pair in a decoded source advances i past both.
void DialectLexer::AppendNarrowUnitTo(std::string& out, size_t& i) const
{
    char16_t u = src_[i];
    if (encoding_ == SourceEncoding::Bytes || u < 0x80) {
        out += char(u & 0xFF);
        return;
    }
    uint32_t cp = u;
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < src_.size() && src_[i + 1] >= 0xDC00 && src_[i + 1] <= 0xDFFF) {
        cp = 0x10000 + ((uint32_t(u) - 0xD800) << 10) + (src_[i + 1] - 0xDC00);
        ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
        cp = 0xFFFD;
    }
    AppendUtf8(out, cp);
}

void DialectLexer::Next(Token& token)
{
    token.hex = false;
    for (;;) {
        if (AtEnd()) {
            token.type = Tok::Eof;
            token.line = line_;
            token.start = token.end = pos_;
            return;
        }
        char16_t c = src_[pos_];
        token.line = line_;
        token.start = pos_;
        switch (c) {
        case '\n':
            ++line_;
            ++pos_;
            continue;
        case ' ':
        case '\t':
        case '\r':
        case '\f':
        case '\v':
            ++pos_;
            continue;
        case '-':
            if (pos_ + 1 >= src_.size() || src_[pos_ + 1] != '-') {
                break;
            }
            pos_ += 2;
            if (pos_ + 1 < src_.size() && src_[pos_] == '[' && src_[pos_ + 1] == '[') {
                ReadLongString(token, false);
            } else {
                while (!AtEnd() && src_[pos_] != '\n') {
                    ++pos_;
                }
            }
            continue;
        case '[':
            if (NextIs('[')) {
                ReadLongString(token, true);
                token.type = Tok::String;
                token.end = pos_;
                return;
            }
            break;
        case '=':
        case '~':
            // "==" and "~="; a lone '=' is assignment below, a lone '~' an error.
            if (NextIs('=')) {
                pos_ += 2;
                token.type = c == '=' ? Tok::Eq : Tok::Ne;
                token.end = pos_;
                return;
            }
            break;
        case '<':
        case '>':
            if (pos_ + 1 < src_.size() && (src_[pos_ + 1] == '=' || src_[pos_ + 1] == c)) {
                token.type = src_[pos_ + 1] == '=' ? (c == '<' ? Tok::Le : Tok::Ge) : (c == '<' ? Tok::Shl : Tok::Shr);
                pos_ += 2;
                token.end = pos_;
                return;
            }
            break;
        case '"':
        case '\'':
            ++pos_;
            ReadString(token, c, false);
            token.type = Tok::String;
            token.end = pos_;
            return;
        case '.':
            if (NextIs('.')) {
                if (pos_ + 2 < src_.size() && src_[pos_ + 2] == '.') {
                    pos_ += 3;
                    token.type = Tok::Dots;
                } else {
                    pos_ += 2;
                    token.type = Tok::Concat;
                }
                token.end = pos_;
                return;
            }
            if (pos_ + 1 < src_.size() && IsDigit(src_[pos_ + 1])) {
                ReadNumber(token);
                return;
            }
            break;
        default:
            if (IsDigit(c)) {
                ReadNumber(token);
                return;
            }
            if (IsNameStart(c)) {
                if (c == 'L' && pos_ + 1 < src_.size() && (src_[pos_ + 1] == '"' || src_[pos_ + 1] == '\'')) {
                    char16_t quote = src_[pos_ + 1];
                    pos_ += 2;
                    ReadString(token, quote, true);
                    token.type = Tok::WString;
                    token.end = pos_;
                    return;
                }
                size_t b = pos_;
                while (pos_ < src_.size() && IsNameChar(src_[pos_])) {
                    ++pos_;
                }
                token.type = LookupReserved(src_.substr(b, pos_ - b));
                token.end = pos_;
                return;
            }
            if (c < 32 || c == 127) {
                Error("invalid control char", line_, "char(" + std::to_string(int(c)) + ")");
            }
            break;
        }
        // a single-unit token
        ++pos_;
        token.type = Tok::Char;
        token.ch = c;
        token.end = pos_;
        return;
    }
}

// [[ ... ]] with nesting; pos_ is at the first '['. The first newline right after [[ is dropped.
void DialectLexer::ReadLongString(Token& token, bool keep)
{
    int startLine = line_;
    pos_ += 2;
    narrow_.clear();
    if (!AtEnd() && src_[pos_] == '\n') {
        ++line_;
        ++pos_;
    }
    int level = 1;
    for (;;) {
        if (AtEnd()) {
            Error(keep ? "unfinished long string" : "unfinished long comment", line_,
                  keep ? SourceBytes(token.start, pos_) : "<eof>");
        }
        char16_t c = src_[pos_];
        if (c == '[' && NextIs('[')) {
            ++level;
            pos_ += 2;
            if (keep) {
                narrow_ += "[[";
            }
            continue;
        }
        if (c == ']' && NextIs(']')) {
            pos_ += 2;
            if (--level == 0) {
                break;
            }
            if (keep) {
                narrow_ += "]]";
            }
            continue;
        }
        if (c == '\n') {
            ++line_;
        }
        if (keep) {
            AppendNarrowUnitTo(narrow_, pos_);
        }
        ++pos_;
    }
    (void)startLine;
}

void DialectLexer::ReadString(Token& token, char16_t quote, bool wide)
{
    narrow_.clear();
    wide_.clear();
    for (;;) {
        if (AtEnd()) {
            Error("unfinished string", line_, "<eof>");
        }
        char16_t c = src_[pos_];
        if (c == quote) {
            ++pos_;
            return;
        }
        if (c == '\n') {
            Error("unfinished string", line_, SourceBytes(token.start, pos_));
        }
        if (c != '\\') {
            if (wide) {
                wide_ += c;
            } else {
                AppendNarrowUnitTo(narrow_, pos_);
            }
            ++pos_;
            continue;
        }
        ++pos_; // the backslash
        if (AtEnd()) {
            Error("unfinished string", line_, "<eof>");
        }
        c = src_[pos_];
        uint32_t value;
        switch (c) {
        case 'a':
            value = 7;
            break;
        case 'b':
            value = 8;
            break;
        case 'f':
            value = 12;
            break;
        case 'n':
            value = 10;
            break;
        case 'r':
            value = 13;
            break;
        case 't':
            value = 9;
            break;
        case 'v':
            value = 11;
            break;
        case '\n':
            ++line_;
            value = 10;
            break;
        default:
            if (IsDigit(c)) {
                value = 0;
                int digits = 0;
                while (digits < 3 && pos_ < src_.size() && IsDigit(src_[pos_])) {
                    value = value * 10 + (src_[pos_] - '0');
                    ++pos_;
                    ++digits;
                }
                if (!wide && value > 255) {
                    Error("escape sequence too large", line_, SourceBytes(token.start, pos_));
                }
                if (wide) {
                    wide_ += char16_t(value);
                } else {
                    narrow_ += char(value);
                }
                continue;
            }
            // any other character stands for itself
            if (wide) {
                wide_ += c;
            } else {
                AppendNarrowUnitTo(narrow_, pos_);
            }
            ++pos_;
            continue;
        }
        ++pos_;
        if (wide) {
            wide_ += char16_t(value);
        } else {
            narrow_ += char(value);
        }
    }
}

void DialectLexer::ReadNumber(Token& token)
{
    token.type = Tok::Number;
    size_t b = pos_;
    if (src_[pos_] == '0' && pos_ + 1 < src_.size() && (src_[pos_ + 1] == 'x' || src_[pos_ + 1] == 'X')) {
        pos_ += 2;
        uint32_t value = 0;
        int digits = 0;
        while (pos_ < src_.size() && IsHexDigit(src_[pos_])) {
            value = (value << 4) | uint32_t(HexValue(src_[pos_]));
            ++pos_;
            ++digits;
        }
        bool bad = digits == 0 || digits > 8;
        while (pos_ < src_.size() && (IsNameChar(src_[pos_]) || src_[pos_] == '.')) {
            ++pos_;
            bad = true;
        }
        token.end = pos_;
        if (bad) {
            Error("malformed number", line_, SourceBytes(b, pos_));
        }
        token.hex = true;
        token.number = double(int32_t(value));
        return;
    }
    while (pos_ < src_.size() && (IsDigit(src_[pos_]) || src_[pos_] == '.')) {
        if (src_[pos_] == '.' && NextIs('.')) {
            Error("ambiguous syntax (decimal point x string concatenation)", line_, SourceBytes(b, pos_ + 2));
        }
        ++pos_;
    }
    if (pos_ < src_.size() && (src_[pos_] == 'e' || src_[pos_] == 'E')) {
        ++pos_;
        if (pos_ < src_.size() && (src_[pos_] == '+' || src_[pos_] == '-')) {
            ++pos_;
        }
        while (pos_ < src_.size() && IsDigit(src_[pos_])) {
            ++pos_;
        }
    }
    token.end = pos_;
    char buf[64];
    size_t n = pos_ - b;
    if (n >= sizeof(buf)) {
        Error("malformed number", line_, SourceBytes(b, pos_));
    }
    for (size_t i = 0; i < n; ++i) {
        buf[i] = char(src_[b + i]);
    }
    double v = 0;
    auto r = std::from_chars(buf, buf + n, v);
    if (r.ec == std::errc::result_out_of_range && r.ptr == buf + n) {
        buf[n] = 0;
        v = std::strtod(buf, nullptr); // overflow gives HUGE_VAL, underflow 0, as the C library reads it
    } else if (r.ec != std::errc() || r.ptr != buf + n) {
        Error("malformed number", line_, SourceBytes(b, pos_));
    }
    token.number = v;
}

} // namespace QuillLua
