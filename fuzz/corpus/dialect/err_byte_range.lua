-- error: out of range
local w = wstring.byte(L"ab", 3)
