#!/usr/bin/env python3
# Draws the engine splash picture data/input/Pictures/Splash.png (256x128): a violet band
# with a soft gold ring. Run from the repository root.
import zlib, struct, math
W, H = 256, 128
rows = []
for y in range(H):
    row = bytearray([0])
    for x in range(W):
        # a deep violet band with a soft gold ring in the middle
        dx, dy = x - W / 2, (y - H / 2) * 2
        d = math.hypot(dx, dy)
        ring = max(0.0, 1.0 - abs(d - 90) / 10.0)
        r = int(60 + 120 * ring + 40 * y / H)
        g = int(20 + 100 * ring)
        b = int(90 + 30 * (1 - ring))
        row += bytes([min(r, 255), min(g, 255), min(b, 255), 255])
    rows.append(bytes(row))
raw = b"".join(rows)
def chunk(t, d):
    return struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d) & 0xffffffff)
png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", W, H, 8, 6, 0, 0, 0)) \
    + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
open("data/input/Pictures/Splash.png", "wb").write(png)
