-- error: no loop to continue
for i = 1, 2 do local f = function() continue end end
