-- Table constructor size hints are accepted and have no other effect.
local t = {&100}
assert(next(t) == nil)
t = {&4 &8}
assert(next(t) == nil)
t = {&3, 1, 2, 3}
assert(table.getn(t) == 3 and t[3] == 3)
t = {&2 &2; a = 1, b = 2}
assert(t.a == 1 and t.b == 2)
t = {&1000000000}
assert(next(t) == nil)
