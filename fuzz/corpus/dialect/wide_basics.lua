-- Wide strings: a type of their own, interned, never equal to narrow strings.
assert(type(L"abc") == "wstring")
assert(L"abc" ~= "abc")
assert(L"abc" == L"abc")
assert(rawequal(L"abc", L'abc'))
local t = {}
t[L"k"] = 1
t["k"] = 2
assert(t[L"k"] == 1 and t.k == 2)
local n = 0
for k, v in pairs(t) do n = n + 1 end
assert(n == 2)
assert((L"abc"):len() == 3)
assert(wstring.len(L"") == 0)
assert(wstring.sub(L"hello", -3) == L"llo")
assert(getmetatable(L"x") == wstring)
assert(L"a\n\65\066" == wstring.char(97, 10, 65, 66))
-- concatenation widens narrow strings and numbers
assert(L"a" .. "b" == L"ab")
assert("a" .. L"b" == L"ab")
assert(L"n=" .. 12 == L"n=12")
assert(L"x" .. 0.5 == L"x0.5")
-- wide numerals in arithmetic
assert(L"10" + 5 == 15)
assert(2 * L"4" == 8)
assert(-L"3" == -3)
-- comparison
assert(L"abc" < L"abd")
assert(L"b" > L"abc")
assert(L"a" <= L"a")
-- towstring
assert(towstring(12) == L"12")
assert(towstring("x") == L"x")
assert(towstring(L"y") == L"y")
assert(towstring(nil) == L"nil")
assert(towstring(true) == L"true")
assert(towstring(1/3) == L"0.3333333333333333")
