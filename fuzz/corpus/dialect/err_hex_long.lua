-- error: malformed number near `0x123456789'
x = 0x123456789
