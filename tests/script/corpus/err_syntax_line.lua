-- error: err_syntax_line.lua:5: `=' expected near `y'
local s = "a\
b"
local t = [[x
]] x y = 1
