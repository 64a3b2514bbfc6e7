-- & | << >> ^ on 32-bit integers; ^ is xor on numbers.
assert(5 ^ 3 == 6)
assert(1 << 33 == 2)
assert(-1 >> 28 == 15)
assert(7 & 3 | 8 == 11)
assert((7 & 3) | 8 == 11)
assert(1 << 31 == -2147483648)
assert(0x80000000 == -2147483648)
assert(0x7FFFFFFF == 2147483647)
assert(0xFFFFFFFF == -1)
assert(0xff == 255 and 0XAb == 171)
assert(3.9 & 7 == 3)
assert(-3.9 | 0 == -3)
assert((4294967296 + 5) | 0 == 5)
assert(2 * 3 & 1 == 2)         -- & binds tighter than *
assert(1 + 2 << 1 == 5)
assert(-2 & 7 == 6)            -- unary minus first
assert(-2 ^ 2 == 0)          -- ^ binds tighter than unary minus: -(2 ^ 2)
assert(2 ^ 3 & 1 == 1)         -- ^ binds tighter than &
assert("6" & 3 == 2)
assert(L"6" & L"12" == 4)
local x = 0xF0
x = x >> 4
assert(x == 15)
local mt = {__pow = function(a, b) return "pow" end}
local obj = setmetatable({}, mt)
assert(obj ^ 2 == "pow")
assert(2 ^ obj == "pow")
local ok, err = pcall(function() return {} & 1 end)
assert(not ok and string.find(err, "arithmetic"))
assert(type(__pow) == "function" and __pow(2, 10) == 1024)
