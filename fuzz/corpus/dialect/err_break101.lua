-- error: loop block number out of range
while true do break 101 end
