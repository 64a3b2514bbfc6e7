-- error: out of range
local w = wstring.find(L"ab", L"a", 5)
