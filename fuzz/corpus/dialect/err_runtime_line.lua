-- error: err_runtime_line.lua:7: attempt to perform arithmetic
local a = 1 & 2
local s = L"multi" ..
  L"line"
local t = {&10,
  1, 2}
local bad = nil + (a << 1)
