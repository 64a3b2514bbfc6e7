-- error: size expected following & (line 3)
local n = 4
local t = {&n}
