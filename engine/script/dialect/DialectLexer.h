#pragma once
// Lexer of the script dialect: Lua 5.0 tokens over 16-bit units plus wide literals (L"..."),
// 32-bit hexadecimal numerals, `continue` and the operators & | << >>.

#include <cstdint>
#include <string>
#include <string_view>

namespace QuillLua {

// How the 16-bit units of a source came to be, which decides how a narrow literal turns back
// into bytes: one byte per unit for byte sources, UTF-8 for decoded UTF-16 / UTF-8 sources.
enum class SourceEncoding { Bytes, Utf16, Utf8 };

enum class Tok : uint8_t {
    Eof,
    Name,
    Number,
    String,
    WString,
    // reserved words, in the order of kReservedWords
    And,
    Break,
    Continue,
    Do,
    Else,
    Elseif,
    End,
    False,
    For,
    Function,
    If,
    In,
    Local,
    Nil,
    Not,
    Or,
    Repeat,
    Return,
    Then,
    True,
    Until,
    While,
    // multi-character symbols
    Concat,
    Dots,
    Eq,
    Ge,
    Le,
    Ne,
    Shl,
    Shr,
    Char, // any other single unit, in Token::ch
};

struct Token {
    Tok type = Tok::Eof;
    char16_t ch = 0;
    int line = 1;
    size_t start = 0, end = 0; // source range of the token
    bool hex = false;          // a numeral written as 0x...
    double number = 0;         // value of a numeral
};

// A compile error; the translator turns it into the usual "chunk:line: msg near `tok'" text.
struct DialectError {
    std::string message;
    int line;
    std::string nearText; // empty: no "near" part
};

class DialectLexer {
public:
    DialectLexer(std::u16string_view source, SourceEncoding encoding);

    // Reads the next token into `token`; narrow literal bytes go to NarrowText(), wide ones to WideText().
    void Next(Token& token);

    const std::string& NarrowText() const { return narrow_; }
    const std::u16string& WideText() const { return wide_; }
    std::u16string_view Source() const { return src_; }
    SourceEncoding Encoding() const { return encoding_; }
    int Line() const { return line_; }

    // The text of a token as it appears in error messages.
    std::string TokenText(const Token& token) const;
    // Source units as bytes (names and numerals are ASCII; other text per the encoding).
    std::string SourceBytes(size_t start, size_t end) const;

    [[noreturn]] void Error(const std::string& message, int line, std::string nearText) const;

private:
    char16_t Cur() const { return pos_ < src_.size() ? src_[pos_] : char16_t(0xFFFF); }
    bool AtEnd() const { return pos_ >= src_.size(); }
    // Whether the unit after the current one is `unit`.
    bool NextIs(char16_t unit) const { return pos_ + 1 < src_.size() && src_[pos_ + 1] == unit; }
    void ReadLongString(Token& token, bool keep);
    void ReadString(Token& token, char16_t quote, bool wide);
    void ReadNumber(Token& token);
    void AppendNarrowUnitTo(std::string& out, size_t& i) const;

    std::u16string_view src_;
    SourceEncoding encoding_;
    size_t pos_ = 0;
    int line_ = 1;
    std::string narrow_;
    std::u16string wide_;
};

const char* TokenName(Tok type);

} // namespace QuillLua
