-- error: no loop to break
for i = 1, 2 do break 2 end
