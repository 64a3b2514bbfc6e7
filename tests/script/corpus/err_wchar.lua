-- error: invalid value
local w = wstring.char(65536)
