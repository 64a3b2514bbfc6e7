-- Lua 5.0 library behaviour.
assert(_VERSION == "Lua 5.0")
local t = {1, 2, 3, n = 2}
assert(table.getn(t) == 2)
table.insert(t, "x")
assert(t.n == 3 and t[3] == "x")
table.setn(t, 5)
assert(t.n == 5)
local u = {1, 2, 3, 4}
table.setn(u, 2)
assert(table.getn(u) == 2 and u.n == nil)
table.insert(u, 9)
assert(table.getn(u) == 3 and u[3] == 9)
assert(table.remove(u) == 9 and table.getn(u) == 2)
local v = {"a", "b", "c", n = 2}
assert(table.concat(v) == "ab")
assert(select("#", unpack(v)) == 2)
local s = {3, 1, 2, 0, n = 3}
table.sort(s)
assert(s[1] == 1 and s[2] == 2 and s[3] == 3 and s[4] == 0)
-- vararg functions see arg
local function count(...) return arg.n, arg[2] end
local n, second = count("a", "b", "c")
assert(n == 3 and second == "b")
-- nested long strings
local long = [[a [[nested]] b]]
assert(long == "a [[nested]] b")
--[[ a comment [[ with nesting ]] still comment ]]
assert([[
first newline dropped]] == "first newline dropped")
-- for k, v in t
local keys = 0
for k, v in {a = 1, b = 2} do keys = keys + v end
assert(keys == 3)
assert(type(_LOADED) == "table")
assert(type(_TRACEBACK) == "function")
local f, msg, kind = loadlib("x.so", "f")
assert(f == nil and kind == "absent")
collectgarbage()
collectgarbage(0)
collectgarbage(100000)
assert(type(gcinfo()) == "number")
assert(math.mod(7, 3) == 1)
assert(string.gfind ~= nil)
-- loadstring goes through the dialect
local g = loadstring("return 6 ^ 3, L'w', 0x20")
local a, b, c = g()
assert(a == 5 and b == L"w" and c == 32)
assert(loadstring("x = = 1") == nil)
-- gsub: a replacement function's nil or false stands for nothing (5.1 would keep the match);
-- a table's missing key still keeps it
assert(string.gsub("a-b-c", "-", function() return nil end) == "abc")
assert(string.gsub("a1b2", "%d", function(d) if d == "1" then return false end return "<" .. d .. ">" end) == "ab<2>")
local kept, count = string.gsub("$x $y", "%$(%w)", {x = "X"})
assert(kept == "X $y" and count == 2)
assert(wstring.gsub(L"a-b", L"-", function() return nil end) == L"ab")
assert(wstring.gsub(L"a-b", L"-", function() return false end) == L"ab")
