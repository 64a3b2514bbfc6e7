#include "engine/script/dialect/DialectTranslator.h"
#include "tests/script/DialectTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace QuillLua;
using QuillTest::DialectState;

namespace {

DialectResult Translate(const std::string& source, const char* chunk = "=t")
{
    return TranslateDialect(std::u16string(source.begin(), source.end()), SourceEncoding::Bytes, chunk);
}

std::string ErrorOf(const std::string& source)
{
    DialectResult r = Translate(source);
    return r.ok ? "(accepted)" : r.error;
}

int Lines(const std::string& s)
{
    return int(std::count(s.begin(), s.end(), '\n')) + 1;
}

} // namespace

TEST(DialectTranslator, TokensKeepTheirLines)
{
    const std::string source = "local a = 1 &\n  2\nlocal s = [[x\ny\nz]] .. L\"w\"\n"
                               "for i = 1, 2 do\n  if i then continue end\nend\nlocal t = {&4,\n 1}\nx = 0xFF";
    DialectResult r = Translate(source);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(Lines(r.code), Lines(source) + 1); // the closing line of the helper closure
    // each source line's first token starts the same output line
    EXPECT_EQ(r.code.find("\nlocal s"), r.code.find('\n', r.code.find("2")));
    EXPECT_NE(r.code.find("\nx = 255"), std::string::npos);
    EXPECT_EQ(r.code.find("continue"), std::string::npos);
}

TEST(DialectTranslator, PlainChunksStayPlain)
{
    DialectResult r = Translate("local x = 1\nreturn x + 2");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.helpers, 0u);
    EXPECT_EQ(r.code, "local x = 1\nreturn x + 2");
    DialectState s;
    EXPECT_EQ(s.Run("assert(debug.getinfo(1, 'S').what == 'main')"), "");
}

TEST(DialectTranslator, ErrorsCarryChunkLineAndToken)
{
    EXPECT_EQ(ErrorOf("x = = 1"), "t:1: unexpected symbol near `='");
    EXPECT_EQ(ErrorOf("\n\nif x then"), "t:3: `end' expected near `<eof>'");
    EXPECT_EQ(ErrorOf("while x do\n\nlocal y = 1"), "t:3: `end' expected (to close `while' at line 1) near `<eof>'");
    EXPECT_EQ(ErrorOf("x = 0x"), "t:1: malformed number near `0x'");
    EXPECT_EQ(ErrorOf("x = 0x1G"), "t:1: malformed number near `0x1G'");
    EXPECT_EQ(ErrorOf("x = 3..4"), "t:1: ambiguous syntax (decimal point x string concatenation) near `3..'");
    EXPECT_EQ(ErrorOf("x = 1e+"), "t:1: malformed number near `1e+'");
    EXPECT_EQ(ErrorOf("x = 'abc"), "t:1: unfinished string near `<eof>'");
    EXPECT_EQ(ErrorOf("x = 'a\nb'"), "t:1: unfinished string near `'a'");
    EXPECT_EQ(ErrorOf("x = '\\300'"), "t:1: escape sequence too large near `'\\300'");
    EXPECT_EQ(ErrorOf("x = [[abc"), "t:1: unfinished long string near `[[abc'");
    EXPECT_EQ(ErrorOf("--[[ open"), "t:1: unfinished long comment near `<eof>'");
    EXPECT_EQ(ErrorOf("x = \x01"), "t:1: invalid control char near `char(1)'");
    EXPECT_EQ(ErrorOf("f\n(g)"), "t:2: ambiguous syntax (function call x new statement) near `('");
    EXPECT_EQ(ErrorOf("for i = 1, 2 do break x = 1 end"), "t:1: `end' expected near `x'");
    EXPECT_EQ(ErrorOf("function f(a) return ... end"), "t:1: unexpected symbol near `...'");
    EXPECT_EQ(ErrorOf("local t = {&}"), "t:1: size expected following & (line 1) near `}'");
    EXPECT_EQ(ErrorOf("local t = {&2 &x}"), "t:1: size expected following & (line 1) near `x'");
    EXPECT_EQ(ErrorOf("x.y"), "t:1: `=' expected near `<eof>'");
    EXPECT_EQ(ErrorOf("(x) = 1"), "t:1: syntax error near `='");
    EXPECT_EQ(ErrorOf("for a b"), "t:1: `=' or `in' expected near `b'");
    EXPECT_EQ(ErrorOf("x = continue"), "t:1: unexpected symbol near `continue'");
    // deep nesting is refused, not a stack overflow
    EXPECT_NE(ErrorOf("x = " + std::string(100000, '(')).find("too many syntax levels"), std::string::npos);
    EXPECT_NE(ErrorOf(std::string(50000, '{')).find("t:1:"), std::string::npos);
}

TEST(DialectTranslator, ChunkIds)
{
    EXPECT_EQ(ChunkId("=stdin"), "stdin");
    EXPECT_EQ(ChunkId("@script/a.lua"), "script/a.lua");
    EXPECT_EQ(ChunkId("@" + std::string(100, 'd') + "/file.lua"), "..." + std::string(47, 'd') + "/file.lua");
    EXPECT_EQ(ChunkId("x = 1"), "[string \"x = 1\"]");
    EXPECT_EQ(ChunkId("x = 1\ny = 2"), "[string \"x = 1...\"]");
    EXPECT_EQ(DialectState().Run("x = = 1", "local a\nx = = 1"),
              "[string \"local a...\"]:1: unexpected symbol near `='");
}

TEST(DialectTranslator, LiteralsAndCallForms)
{
    DialectState s;
    EXPECT_EQ(s.Eval("5-0xFFFFFFFF"), "number:6");
    EXPECT_EQ(s.Eval("-0xFFFFFFFF"), "number:1");
    EXPECT_EQ(s.Eval("0x7fffffff + 1"), "number:2147483648");
    EXPECT_EQ(s.Eval("type(0x00000000)"), "string:number");
    EXPECT_EQ(s.Eval("'\\65\\066\\0067x\\q\\''"), "string:AB\0067xq'");
    EXPECT_EQ(s.Eval("L'\\9990'"), "wstring:\\x03e70"); // three digits at most
    EXPECT_EQ(s.Eval("string.len('a\\0b')"), "number:3");
    EXPECT_EQ(s.Eval(".5 + 3. + 1e1"), "number:13.5");
    // a wide literal as a call argument, also on the next line
    ASSERT_EQ(s.Run("function id(v) return v end\nw = id L'x'\nv = id\nL'y'"), "");
    EXPECT_EQ(s.Eval("w"), "wstring:x");
    EXPECT_EQ(s.Eval("v"), "wstring:y");
    EXPECT_EQ(s.Eval("id'n' .. id{1}[1]"), "string:n1");
    // method call on a wide string, nested expression operators
    EXPECT_EQ(s.Eval("(L'abc'):sub(2)"), "wstring:bc");
    EXPECT_EQ(s.Eval("{n = 1 << 3}.n"), "error:test:1: unexpected symbol near `.'");
    EXPECT_EQ(s.Eval("({n = 1 << 3}).n"), "number:8");
    EXPECT_EQ(s.Eval("not nil == true"), "boolean:true");
    EXPECT_EQ(s.Eval("1 .. 2"), "string:12");
}

TEST(DialectTranslator, LoopsInNestedFunctionsAreSeparate)
{
    DialectState s;
    ASSERT_EQ(
        s.Run("out = {}\n"
              "for i = 1, 3 do\n"
              "  local f = function()\n"
              "    for j = 1, 3 do if j == 2 then continue end if j == 3 then break end table.insert(out, i .. j) end\n"
              "    return 'done'\n"
              "  end\n"
              "  if i == 2 then continue end\n"
              "  table.insert(out, f())\n"
              "end"),
        "");
    EXPECT_EQ(s.Eval("table.concat(out, ',')"), "string:11,done,31,done");
    // break 2 across a repeat loop with a continue of its own
    ASSERT_EQ(s.Run("out = {}\n"
                    "for i = 1, 3 do\n"
                    "  local k = 0\n"
                    "  repeat\n"
                    "    k = k + 1\n"
                    "    if k == 1 then continue end\n"
                    "    if i == 2 then break 2 end\n"
                    "    table.insert(out, i .. k)\n"
                    "  until k >= 3\n"
                    "end"),
              "");
    EXPECT_EQ(s.Eval("table.concat(out, ',')"), "string:12,13");
    // continue 3 from a while inside two fors
    ASSERT_EQ(s.Run("n = 0\n"
                    "for a = 1, 4 do\n"
                    "  for b = 1, 4 do\n"
                    "    local c = 0\n"
                    "    while true do c = c + 1 if c > 1 then continue 3 end n = n + 1 end\n"
                    "  end\n"
                    "  n = n + 100\n"
                    "end"),
              "");
    EXPECT_EQ(s.Eval("n"), "number:4");
}
