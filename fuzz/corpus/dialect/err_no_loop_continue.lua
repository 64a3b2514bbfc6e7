-- error: no loop to continue
local function f() continue end
