#pragma once
// The translator of the script dialect: a recursive-descent pass over the token stream that writes
// Lua 5.1 source on the same lines. Internal to the dialect; split over DialectTranslator.cpp
// (tokens, output, statements, loops, functions) and DialectExpressions.cpp (expressions).

#include <cstdint>
#include <string>
#include <vector>

#include "engine/script/dialect/DialectLexer.h"
#include "engine/script/dialect/DialectTranslator.h"

namespace QuillLua::dialect {

constexpr int kUnaryPriority = 8;
constexpr int kMaxLoopJump = 100;

struct BinaryOp {
    int left = -1, right = -1;
    uint32_t helper = 0; // operators that become helper calls
};

// A loop of the function being translated. `continue`, and `break` across loops, are built from
// an inner `repeat ... until true` (the "wrapper") and a per-iteration flag local __qf<id>:
// 1 asks the loop to break, 2 to continue.
struct Loop {
    int id = 0;
    size_t bodyMark = 0;             // output position right after `do` / `repeat`
    bool wrapper = false;            // a continue targets this loop
    bool flag = false;               // some jump sets this loop's flag
    bool breakFlag = false;          // some jump asks this loop to break through its flag
    std::vector<int> crossing;       // flags of outer loops that jumps inside this loop target
    std::vector<size_t> plainBreaks; // output positions of `break` aimed at this loop
};

class Translator {
public:
    Translator(std::u16string_view source, SourceEncoding encoding) : lex_(source, encoding)
    {
        out_.reserve(source.size() + source.size() / 8 + 64);
    }

    void Run();

    std::string& Output() { return out_; }
    uint32_t Helpers() const { return helpers_; }

private:
    // ---- tokens -------------------------------------------------------------------------------
    void Next();
    const Token& Lookahead();
    bool IsChar(char c) const { return tok_.type == Tok::Char && tok_.ch == char16_t(c); }

    [[noreturn]] void SyntaxError(const std::string& message) { lex_.Error(message, tok_.line, lex_.TokenText(tok_)); }
    static std::string Quote(const char* what) { return std::string("`") + what + "'"; }

    void Check(Tok type);
    void CheckChar(char c);
    void CheckMatch(bool matched, const char* what, const char* who, int line);
    void CheckName();

    // ---- output -------------------------------------------------------------------------------
    void Pad(int line);
    void Sep();
    void EmitRaw(std::string_view text);
    void AppendQuoted(std::string_view bytes);
    void Emit(const Token& t);
    void Take();

    // ---- statements -----------------------------------------------------------------------------
    bool BlockFollow() const;

    void Chunk();

    bool Statement();

    void IfStat(int line);

    void ForStat(int line);

    // ---- loops, continue and break N ----------------------------------------------------------
    std::vector<Loop>& Loops() { return funcs_.back(); }

    static std::string FlagName(int id) { return "__qf" + std::to_string(id); }

    // Parses a loop's block, then closes the wrapper and flag parts it turned out to need.
    void LoopBody(bool isRepeat = false);

    // After the loop statement: leave the enclosing loop too when a jump is passing through.
    void EndLoop();

    void JumpStat(bool isContinue);

    // ---- functions ------------------------------------------------------------------------------
    void Body(int line);

    // ---- expressions ----------------------------------------------------------------------------
    enum class ExpKind { Other, Assignable, Call };

    void ExprStat();

    ExpKind PrefixExp();

    ExpKind PrimaryExp();

    void FuncArgs();

    void Constructor();

    void SimpleExp();

    BinaryOp GetBinaryOp() const;

    void Expr() { SubExpr(0); }

    void SubExpr(int limit);

    void ExpList();

    static constexpr int kMaxDepth = 200;

    DialectLexer lex_;
    Token tok_, ahead_;
    bool hasAhead_ = false;
    int lastLine_ = 1;
    std::string out_;
    int outLine_ = 1;
    uint32_t helpers_ = 0;
    int depth_ = 0;
    int nextLoopId_ = 0;
    std::vector<std::vector<Loop>> funcs_;
};

} // namespace QuillLua::dialect
