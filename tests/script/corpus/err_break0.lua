-- error: loop block number out of range
while true do break 0 end
