#include "engine/script/dialect/DialectTranslator.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <vector>

namespace QuillLua {

const char* const kHelperNames[kHelperCount] = {"__q_w",   "__q_and", "__q_or", "__q_xor",
                                                "__q_shl", "__q_shr", "__q_in"};

namespace {

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

    void Run()
    {
        Next();
        funcs_.emplace_back();
        Chunk();
        if (tok_.type != Tok::Eof) {
            SyntaxError("`<eof>' expected");
        }
        funcs_.pop_back();
        if (helpers_ != 0) {
            // The chunk becomes a closure over the helpers, all on the first line.
            // Inside, the helpers are copied to locals: the chunk's own code then reaches them as
            // fast as any local, nested functions through upvalues.
            std::string names;
            for (int i = 0; i < kHelperCount; ++i) {
                if (helpers_ & (1u << i)) {
                    names += names.empty() ? "" : ",";
                    names += kHelperNames[i];
                }
            }
            std::string prologue = "local " + names + " return function() local " + names + "=" + names + " ";
            out_.insert(0, prologue);
            out_ += "\nend";
        }
    }

    std::string& Output() { return out_; }
    uint32_t Helpers() const { return helpers_; }

private:
    // ---- tokens -------------------------------------------------------------------------------
    void Next()
    {
        lastLine_ = tok_.line;
        if (hasAhead_) {
            tok_ = ahead_;
            hasAhead_ = false;
        } else {
            lex_.Next(tok_);
        }
    }
    const Token& Lookahead()
    {
        if (!hasAhead_) {
            lex_.Next(ahead_);
            hasAhead_ = true;
        }
        return ahead_;
    }
    bool IsChar(char c) const { return tok_.type == Tok::Char && tok_.ch == char16_t(c); }

    [[noreturn]] void SyntaxError(const std::string& message) { lex_.Error(message, tok_.line, lex_.TokenText(tok_)); }
    static std::string Quote(const char* what) { return std::string("`") + what + "'"; }

    void Check(Tok type)
    {
        if (tok_.type != type) {
            SyntaxError(Quote(TokenName(type)) + " expected");
        }
    }
    void CheckChar(char c)
    {
        if (!IsChar(c)) {
            char s[2] = {c, 0};
            SyntaxError(Quote(s) + " expected");
        }
    }
    void CheckMatch(bool matched, const char* what, const char* who, int line)
    {
        if (matched) {
            return;
        }
        if (line == tok_.line) {
            SyntaxError(Quote(what) + " expected");
        }
        SyntaxError(Quote(what) + " expected (to close " + Quote(who) + " at line " + std::to_string(line) + ")");
    }
    void CheckName()
    {
        if (tok_.type != Tok::Name) {
            SyntaxError("<name> expected");
        }
    }

    // ---- output -------------------------------------------------------------------------------
    void Pad(int line)
    {
        while (outLine_ < line) {
            out_ += '\n';
            ++outLine_;
        }
    }
    void Sep()
    {
        if (!out_.empty() && out_.back() != '\n') {
            out_ += ' ';
        }
    }
    void EmitRaw(std::string_view text)
    {
        Sep();
        out_ += text;
    }
    void AppendQuoted(std::string_view bytes)
    {
        out_ += '"';
        for (unsigned char b : bytes) {
            if (b >= 32 && b < 127 && b != '"' && b != '\\') {
                out_ += char(b);
            } else {
                out_ += '\\';
                out_ += char('0' + b / 100);
                out_ += char('0' + b / 10 % 10);
                out_ += char('0' + b % 10);
            }
        }
        out_ += '"';
    }
    void Emit(const Token& t)
    {
        Pad(t.line);
        Sep();
        switch (t.type) {
        case Tok::Name:
            for (size_t i = t.start; i < t.end; ++i) {
                out_ += char(lex_.Source()[i]);
            }
            break;
        case Tok::Number:
            if (t.hex) {
                char buf[16];
                auto r = std::to_chars(buf, buf + sizeof(buf), int32_t(t.number));
                if (t.number < 0) {
                    out_ += '(';
                    out_.append(buf, r.ptr);
                    out_ += ')';
                } else {
                    out_.append(buf, r.ptr);
                }
            } else {
                for (size_t i = t.start; i < t.end; ++i) {
                    out_ += char(lex_.Source()[i]);
                }
            }
            break;
        case Tok::String:
            AppendQuoted(lex_.NarrowText());
            break;
        case Tok::WString: {
            helpers_ |= kHelperWide;
            out_ += "__q_w(";
            const std::u16string& w = lex_.WideText();
            std::string bytes;
            bytes.reserve(w.size() * 2);
            for (char16_t u : w) {
                bytes += char(u & 0xFF);
                bytes += char(u >> 8);
            }
            AppendQuoted(bytes);
            out_ += ')';
            break;
        }
        case Tok::Char:
            out_ += char(t.ch);
            break;
        default:
            out_ += TokenName(t.type);
            break;
        }
    }
    void Take()
    {
        Emit(tok_);
        Next();
    }

    // ---- statements -----------------------------------------------------------------------------
    bool BlockFollow() const
    {
        switch (tok_.type) {
        case Tok::Eof:
        case Tok::Else:
        case Tok::Elseif:
        case Tok::End:
        case Tok::Until:
            return true;
        default:
            return false;
        }
    }

    void Chunk()
    {
        bool last = false;
        while (!last && !BlockFollow()) {
            if (++depth_ > kMaxDepth) {
                SyntaxError("chunk has too many syntax levels");
            }
            last = Statement();
            --depth_;
            if (IsChar(';')) {
                Take();
            }
        }
    }

    bool Statement()
    {
        int line = tok_.line;
        switch (tok_.type) {
        case Tok::If:
            IfStat(line);
            return false;
        case Tok::While: {
            Take();
            Expr();
            Check(Tok::Do);
            Take();
            LoopBody();
            CheckMatch(tok_.type == Tok::End, "end", "while", line);
            Take();
            EndLoop();
            return false;
        }
        case Tok::Do:
            Take();
            Chunk();
            CheckMatch(tok_.type == Tok::End, "end", "do", line);
            Take();
            return false;
        case Tok::For:
            ForStat(line);
            return false;
        case Tok::Repeat: {
            Take();
            LoopBody(true);
            CheckMatch(tok_.type == Tok::Until, "until", "repeat", line);
            Take();
            Expr();
            EndLoop();
            return false;
        }
        case Tok::Function:
            Take();
            CheckName();
            Take();
            while (IsChar('.')) {
                Take();
                CheckName();
                Take();
            }
            if (IsChar(':')) {
                Take();
                CheckName();
                Take();
            }
            Body(line);
            return false;
        case Tok::Local:
            Take();
            if (tok_.type == Tok::Function) {
                Take();
                CheckName();
                Take();
                Body(line);
                return false;
            }
            for (;;) {
                CheckName();
                Take();
                if (!IsChar(',')) {
                    break;
                }
                Take();
            }
            if (IsChar('=')) {
                Take();
                ExpList();
            }
            return false;
        case Tok::Return:
            Take();
            if (!BlockFollow() && !IsChar(';')) {
                ExpList();
            }
            return true;
        case Tok::Break:
            JumpStat(false);
            return true;
        case Tok::Continue:
            JumpStat(true);
            return true;
        default:
            ExprStat();
            return false;
        }
    }

    void IfStat(int line)
    {
        Take();
        Expr();
        Check(Tok::Then);
        Take();
        Chunk();
        while (tok_.type == Tok::Elseif) {
            Take();
            Expr();
            Check(Tok::Then);
            Take();
            Chunk();
        }
        if (tok_.type == Tok::Else) {
            Take();
            Chunk();
        }
        CheckMatch(tok_.type == Tok::End, "end", "if", line);
        Take();
    }

    void ForStat(int line)
    {
        Take();
        CheckName();
        Take();
        if (IsChar('=')) {
            Take();
            Expr();
            CheckChar(',');
            Take();
            Expr();
            if (IsChar(',')) {
                Take();
                Expr();
            }
        } else if (IsChar(',') || tok_.type == Tok::In) {
            while (IsChar(',')) {
                Take();
                CheckName();
                Take();
            }
            Check(Tok::In);
            Take();
            helpers_ |= kHelperForIn;
            EmitRaw("__q_in(");
            ExpList();
            out_ += ')';
        } else {
            SyntaxError("`=' or `in' expected");
        }
        Check(Tok::Do);
        Take();
        LoopBody();
        CheckMatch(tok_.type == Tok::End, "end", "for", line);
        Take();
        EndLoop();
    }

    // ---- loops, continue and break N ----------------------------------------------------------
    std::vector<Loop>& Loops() { return funcs_.back(); }

    static std::string FlagName(int id) { return "__qf" + std::to_string(id); }

    // Parses a loop's block, then closes the wrapper and flag parts it turned out to need.
    void LoopBody(bool isRepeat = false)
    {
        Loop loop;
        loop.id = nextLoopId_++;
        loop.bodyMark = out_.size();
        Loops().push_back(std::move(loop));
        Chunk();
        Loop& l = Loops().back();
        std::string flag = FlagName(l.id);
        if (l.wrapper) {
            if (!l.plainBreaks.empty()) {
                l.flag = l.breakFlag = true;
                std::string set = flag + "=1 ";
                for (size_t i = l.plainBreaks.size(); i-- > 0;) {
                    out_.insert(l.plainBreaks[i], set);
                }
            }
            std::string conds;
            if (l.breakFlag) {
                conds = flag + "==1";
            }
            for (int id : l.crossing) {
                conds += (conds.empty() ? "" : " or ") + FlagName(id);
            }
            EmitRaw("until true");
            if (!conds.empty()) {
                EmitRaw("if " + conds + " then break end");
            }
        } else if (isRepeat) {
            // 5.0 scoping: the until-condition does not see the block's locals.
            EmitRaw("end");
        }
        std::string prologue;
        if (l.flag) {
            prologue += " local " + flag;
        }
        if (l.wrapper) {
            prologue += " repeat";
        } else if (isRepeat) {
            prologue += " do";
        }
        out_.insert(l.bodyMark, prologue);
    }

    // After the loop statement: leave the enclosing loop too when a jump is passing through.
    void EndLoop()
    {
        Loop l = std::move(Loops().back());
        Loops().pop_back();
        if (l.crossing.empty()) {
            return;
        }
        std::string conds;
        for (int id : l.crossing) {
            conds += (conds.empty() ? "" : " or ") + FlagName(id);
        }
        EmitRaw("if " + conds + " then break end");
    }

    void JumpStat(bool isContinue)
    {
        Token keyword = tok_;
        Next();
        int n = 1;
        if (tok_.type == Tok::Number) {
            double v = tok_.number;
            if (v != std::floor(v)) {
                SyntaxError("loop block number must be integer");
            }
            if (v < 1 || v > kMaxLoopJump) {
                SyntaxError("loop block number out of range");
            }
            n = int(v);
            Next();
        }
        std::vector<Loop>& loops = Loops();
        if (loops.size() < size_t(n)) {
            SyntaxError(isContinue ? "no loop to continue" : "no loop to break");
        }
        Pad(keyword.line);
        Sep();
        size_t t = loops.size() - size_t(n);
        Loop& target = loops[t];
        if (n == 1 && !isContinue) {
            target.plainBreaks.push_back(out_.size());
            out_ += "break";
            return;
        }
        if (n == 1) {
            target.wrapper = true;
            out_ += "break";
            return;
        }
        target.flag = true;
        if (isContinue) {
            target.wrapper = true;
        } else {
            target.breakFlag = true;
        }
        for (size_t j = t + 1; j < loops.size(); ++j) {
            std::vector<int>& c = loops[j].crossing;
            if (std::find(c.begin(), c.end(), target.id) == c.end()) {
                c.push_back(target.id);
            }
        }
        out_ += FlagName(target.id);
        out_ += isContinue ? "=2 break" : "=1 break";
    }

    // ---- functions ------------------------------------------------------------------------------
    void Body(int line)
    {
        CheckChar('(');
        Take();
        if (!IsChar(')')) {
            for (;;) {
                if (tok_.type == Tok::Name) {
                    Take();
                } else if (tok_.type == Tok::Dots) {
                    Take();
                    break;
                } else {
                    SyntaxError("<name> or `...' expected");
                }
                if (!IsChar(',')) {
                    break;
                }
                Take();
            }
        }
        CheckChar(')');
        Take();
        funcs_.emplace_back();
        Chunk();
        CheckMatch(tok_.type == Tok::End, "end", "function", line);
        Take();
        funcs_.pop_back();
    }

    // ---- expressions ----------------------------------------------------------------------------
    enum class ExpKind { Other, Assignable, Call };

    void ExprStat()
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

    ExpKind PrefixExp()
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

    ExpKind PrimaryExp()
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

    void FuncArgs()
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

    void Constructor()
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

    void SimpleExp()
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

    BinaryOp GetBinaryOp() const
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

    void Expr() { SubExpr(0); }

    void SubExpr(int limit)
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

    void ExpList()
    {
        Expr();
        while (IsChar(',')) {
            Take();
            Expr();
        }
    }

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

} // namespace

std::string ChunkId(std::string_view name)
{
    constexpr size_t kIdSize = 60;
    if (!name.empty() && name[0] == '=') {
        return std::string(name.substr(1, kIdSize - 1));
    }
    if (!name.empty() && name[0] == '@') {
        std::string_view file = name.substr(1);
        if (file.size() > kIdSize - 4) {
            return "..." + std::string(file.substr(file.size() - (kIdSize - 4)));
        }
        return std::string(file);
    }
    size_t lineEnd = name.find_first_of("\r\n");
    std::string_view first = name.substr(0, lineEnd);
    constexpr size_t kMax = kIdSize - 16;
    bool cut = lineEnd != std::string_view::npos || first.size() > kMax;
    if (first.size() > kMax) {
        first = first.substr(0, kMax);
    }
    return "[string \"" + std::string(first) + (cut ? "...\"]" : "\"]");
}

DialectResult TranslateDialect(std::u16string_view source, SourceEncoding encoding, std::string_view chunkName)
{
    DialectResult result;
    Translator t(source, encoding);
    try {
        t.Run();
    } catch (const DialectError& e) {
        result.error = ChunkId(chunkName) + ":" + std::to_string(e.line) + ": " + e.message;
        if (!e.nearText.empty()) {
            result.error += " near `" + e.nearText + "'";
        }
        return result;
    }
    result.ok = true;
    result.code = std::move(t.Output());
    result.helpers = t.Helpers();
    return result;
}

} // namespace QuillLua
