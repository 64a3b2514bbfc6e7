#include "engine/script/dialect/DialectParser.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>

namespace QuillLua::dialect {

void Translator::ExprStat()
{
    ExpKind k = PrimaryExp();
    if (k == ExpKind::Call && !IsChar('=') && !IsChar(',')) {
        return;
    }
    for (;;) {
        if (k != ExpKind::Assignable) {
            SyntaxError("syntax error");
        }
        if (!IsChar(',')) {
            break;
        }
        Take();
        k = PrimaryExp();
    }
    CheckChar('=');
    Take();
    ExpList();
}

Translator::ExpKind Translator::PrefixExp()
{
    if (tok_.type == Tok::Name) {
        Take();
        return ExpKind::Assignable;
    }
    if (IsChar('(')) {
        int line = tok_.line;
        Take();
        Expr();
        CheckMatch(IsChar(')'), ")", "(", line);
        Take();
        return ExpKind::Other;
    }
    SyntaxError("unexpected symbol");
}

Translator::ExpKind Translator::PrimaryExp()
{
    ExpKind k = PrefixExp();
    for (;;) {
        if (IsChar('.')) {
            Take();
            CheckName();
            Take();
            k = ExpKind::Assignable;
        } else if (IsChar('[')) {
            Take();
            Expr();
            CheckChar(']');
            Take();
            k = ExpKind::Assignable;
        } else if (IsChar(':')) {
            Take();
            CheckName();
            Take();
            FuncArgs();
            k = ExpKind::Call;
        } else if (IsChar('(') || IsChar('{') || tok_.type == Tok::String || tok_.type == Tok::WString) {
            FuncArgs();
            k = ExpKind::Call;
        } else {
            return k;
        }
    }
}

void Translator::FuncArgs()
{
    int line = tok_.line;
    if (IsChar('(')) {
        if (line != lastLine_) {
            SyntaxError("ambiguous syntax (function call x new statement)");
        }
        Take();
        if (!IsChar(')')) {
            ExpList();
        }
        CheckMatch(IsChar(')'), ")", "(", line);
        Take();
    } else if (IsChar('{')) {
        Constructor();
    } else if (tok_.type == Tok::String) {
        Take();
    } else if (tok_.type == Tok::WString) {
        out_ += '('; // on the callee's line, so Lua 5.1 sees no ambiguous call
        Take();
        out_ += ')';
    } else {
        SyntaxError("function arguments expected");
    }
}

void Translator::Constructor()
{
    int line = tok_.line;
    Take();
    if (IsChar('&')) {
        // Size hints only preallocate; they are checked and dropped.
        for (int i = 0; i < 2 && IsChar('&'); ++i) {
            int hintLine = tok_.line;
            Next();
            if (tok_.type != Tok::Number) {
                SyntaxError("size expected following & (line " + std::to_string(hintLine) + ")");
            }
            Next();
        }
        if (IsChar(',') || IsChar(';')) {
            Next();
        }
    }
    while (!IsChar('}')) {
        if (tok_.type == Tok::Name) {
            if (Lookahead().type == Tok::Char && ahead_.ch == '=') {
                Take();
                Take();
            }
            Expr();
        } else if (IsChar('[')) {
            Take();
            Expr();
            CheckChar(']');
            Take();
            CheckChar('=');
            Take();
            Expr();
        } else {
            Expr();
        }
        if (IsChar(',') || IsChar(';')) {
            Take();
        } else {
            break;
        }
    }
    CheckMatch(IsChar('}'), "}", "{", line);
    Take();
}

void Translator::SimpleExp()
{
    switch (tok_.type) {
    case Tok::Number:
    case Tok::String:
    case Tok::WString:
    case Tok::Nil:
    case Tok::True:
    case Tok::False:
        Take();
        return;
    case Tok::Function: {
        int line = tok_.line;
        Take();
        Body(line);
        return;
    }
    default:
        if (IsChar('{')) {
            Constructor();
            return;
        }
        PrimaryExp();
        return;
    }
}

BinaryOp Translator::GetBinaryOp() const
{
    switch (tok_.type) {
    case Tok::Concat:
        return {5, 4};
    case Tok::Eq:
    case Tok::Ne:
    case Tok::Le:
    case Tok::Ge:
        return {3, 3};
    case Tok::And:
        return {2, 2};
    case Tok::Or:
        return {1, 1};
    case Tok::Shl:
        return {8, 8, kHelperShl};
    case Tok::Shr:
        return {8, 8, kHelperShr};
    case Tok::Char:
        switch (tok_.ch) {
        case '+':
        case '-':
            return {6, 6};
        case '*':
        case '/':
            return {7, 7};
        case '^':
            return {10, 9, kHelperXor};
        case '<':
        case '>':
            return {3, 3};
        case '&':
            return {8, 8, kHelperAnd};
        case '|':
            return {8, 8, kHelperOr};
        default:
            return {};
        }
    default:
        return {};
    }
}

void Translator::SubExpr(int limit)
{
    if (++depth_ > kMaxDepth) {
        SyntaxError("chunk has too many syntax levels");
    }
    size_t mark = out_.size();
    if (tok_.type == Tok::Not || IsChar('-')) {
        Take();
        SubExpr(kUnaryPriority);
    } else {
        SimpleExp();
    }
    for (BinaryOp op = GetBinaryOp(); op.left > limit; op = GetBinaryOp()) {
        if (op.helper != 0) {
            helpers_ |= op.helper;
            size_t at = mark;
            while (at < out_.size() && (out_[at] == ' ' || out_[at] == '\n')) {
                ++at;
            }
            int bit = std::countr_zero(op.helper);
            out_.insert(at, std::string(kHelperNames[bit]) + "(");
            Pad(tok_.line);
            out_ += ',';
            Next();
            SubExpr(op.right);
            out_ += ')';
        } else {
            Take();
            SubExpr(op.right);
        }
    }
    --depth_;
}

void Translator::ExpList()
{
    Expr();
    while (IsChar(',')) {
        Take();
        Expr();
    }
}

} // namespace QuillLua::dialect
