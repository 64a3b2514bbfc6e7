x = L"a\65" .. 0xFF ^ 3 & 1 << 2 >> 1 | 7
for i = 1, 3 do for j = 1, 2 do if j == 1 then continue 2 end break 2 end end
local t = {&2 &4; [1] = {}, a = function(...) return arg.n end}
repeat local q = 1 until q
--[[ c [[ n ]] ]]
y = [[a [[b]] c]]
