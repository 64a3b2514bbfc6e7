-- error: err_bit_runtime_line.lua:4: attempt to perform arithmetic on a table value
local long = [[
spanning]]
local v = 1 | {}
