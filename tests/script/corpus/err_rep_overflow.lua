-- error: resulting string too large
local w = wstring.rep(L"abcdef", 1e12)
