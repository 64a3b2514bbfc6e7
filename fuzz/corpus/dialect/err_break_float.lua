-- error: loop block number must be integer
while true do break 1.5 end
