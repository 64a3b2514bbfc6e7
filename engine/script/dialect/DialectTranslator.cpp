#include "engine/script/dialect/DialectTranslator.h"
#include "engine/script/dialect/DialectParser.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <vector>

namespace QuillLua {

const char* const kHelperNames[kHelperCount] = {"__q_w",   "__q_and", "__q_or", "__q_xor",
                                                "__q_shl", "__q_shr", "__q_in"};

namespace dialect {

void Translator::Run()
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

void Translator::Next()
{
    lastLine_ = tok_.line;
    if (hasAhead_) {
        tok_ = ahead_;
        hasAhead_ = false;
    } else {
        lex_.Next(tok_);
    }
}

const Token& Translator::Lookahead()
{
    if (!hasAhead_) {
        lex_.Next(ahead_);
        hasAhead_ = true;
    }
    return ahead_;
}

void Translator::Check(Tok type)
{
    if (tok_.type != type) {
        SyntaxError(Quote(TokenName(type)) + " expected");
    }
}

void Translator::CheckChar(char c)
{
    if (!IsChar(c)) {
        char s[2] = {c, 0};
        SyntaxError(Quote(s) + " expected");
    }
}

void Translator::CheckMatch(bool matched, const char* what, const char* who, int line)
{
    if (matched) {
        return;
    }
    if (line == tok_.line) {
        SyntaxError(Quote(what) + " expected");
    }
    SyntaxError(Quote(what) + " expected (to close " + Quote(who) + " at line " + std::to_string(line) + ")");
}

void Translator::CheckName()
{
    if (tok_.type != Tok::Name) {
        SyntaxError("<name> expected");
    }
}

void Translator::Pad(int line)
{
    while (outLine_ < line) {
        out_ += '\n';
        ++outLine_;
    }
}

void Translator::Sep()
{
    if (!out_.empty() && out_.back() != '\n') {
        out_ += ' ';
    }
}

void Translator::EmitRaw(std::string_view text)
{
    Sep();
    out_ += text;
}

void Translator::AppendQuoted(std::string_view bytes)
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

void Translator::Emit(const Token& t)
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

void Translator::Take()
{
    Emit(tok_);
    Next();
}

bool Translator::BlockFollow() const
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

void Translator::Chunk()
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

bool Translator::Statement()
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

void Translator::IfStat(int line)
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

void Translator::ForStat(int line)
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

void Translator::LoopBody(bool isRepeat)
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

void Translator::EndLoop()
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

void Translator::JumpStat(bool isContinue)
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

void Translator::Body(int line)
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

} // namespace dialect

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
    dialect::Translator t(source, encoding);
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
