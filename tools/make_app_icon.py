#!/usr/bin/env python3
"""Draws the application icon (a rounded tile with a play triangle) and writes it as a
multi-size .ico with PNG images, using only the standard library."""
import struct, sys, zlib

def render(size):
    px = bytearray()
    r = size * 0.22
    for y in range(size):
        px.append(0)  # PNG filter: none
        for x in range(size):
            fx, fy = x + 0.5, y + 0.5
            # rounded-rectangle coverage
            dx = max(r - fx, 0, fx - (size - r)); dy = max(r - fy, 0, fy - (size - r))
            inside = (dx * dx + dy * dy) <= r * r
            if not inside:
                px += b"\0\0\0\0"; continue
            t = fy / size
            cr, cg, cb = int(255 * (0.98 - 0.25 * t)), int(255 * (0.35 + 0.1 * t)), int(255 * (0.20 + 0.45 * t))
            # play triangle
            ax, ay, bx, cy = size * 0.38, size * 0.28, size * 0.74, size * 0.72
            if fx >= ax and fy >= ay and fy <= cy:
                half = (cy - ay) / 2; mid = ay + half
                if fx - ax <= (bx - ax) * (1 - abs(fy - mid) / half):
                    cr, cg, cb = 255, 255, 255
            px += bytes((cr, cg, cb, 255))
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xffffffff)
    ihdr = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(bytes(px), 9)) + chunk(b"IEND", b"")

sizes = [16, 32, 48, 256]
images = [render(s) for s in sizes]
out = struct.pack("<HHH", 0, 1, len(images))
offset = 6 + 16 * len(images)
for s, img in zip(sizes, images):
    out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(img), offset)
    offset += len(img)
out += b"".join(images)
open(sys.argv[1], "wb").write(out)
