-- error: no loop to break
if x then break end
