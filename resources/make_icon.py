#!/usr/bin/env python3
"""Draws KIVO's icon: a white six-armed snow flake on deep blue, 32 x 32,
16 colours, written as a .ico file (one image). Run it to regenerate kivo.ico."""
import math
import struct
import sys

SIZE = 32
# The 16-colour palette (blue, green, red, 0), from background to white.
PALETTE = [(0x40 + 0x0C * i, 0x20 + 0x0E * i, 0x10 + 0x0F * i) for i in range(15)] + [(255, 255, 255)]


def flake_intensity(x, y):
    """How much of the flake covers pixel (x, y): 0.0 to 1.0."""
    cx = cy = (SIZE - 1) / 2
    dx, dy = x - cx, y - cy
    best = 0.0
    for arm in range(6):
        a = math.pi / 2 + arm * math.pi / 3
        ux, uy = math.cos(a), math.sin(a)
        along = dx * ux + dy * uy
        across = abs(-dx * uy + dy * ux)
        if 0 <= along <= 14:
            best = max(best, 1.0 - max(0.0, across - 0.6))
        # two small branches on each arm
        for at in (6.0, 10.0):
            for side in (-1, 1):
                b = a + side * math.pi / 4
                bx, by = math.cos(b), math.sin(b)
                px, py = dx - ux * at, dy - uy * at
                balong = px * bx + py * by
                bacross = abs(-px * by + py * bx)
                if 0 <= balong <= 4.5 - at / 4:
                    best = max(best, 1.0 - max(0.0, bacross - 0.5))
    if math.hypot(dx, dy) < 2.5:
        best = 1.0
    return max(0.0, min(1.0, best))


def main(path):
    rows = []
    for y in range(SIZE - 1, -1, -1):  # bottom-up
        row = bytearray()
        for x in range(0, SIZE, 2):
            pair = []
            for xx in (x, x + 1):
                v = flake_intensity(xx, y)
                glow = max(0.0, 1.0 - math.hypot(xx - 15.5, y - 15.5) / 22)
                index = 15 if v > 0.75 else int(min(14, glow * 6 + v * 10))
                pair.append(index)
            row.append(pair[0] << 4 | pair[1])
        rows.append(bytes(row))
    xor = b"".join(rows)
    and_mask = b"\x00\x00\x00\x00" * SIZE  # every pixel opaque
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, len(xor) + len(and_mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (b, g, r) in PALETTE)
    image = header + palette + xor + and_mask
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 22)
    with open(path, "wb") as f:
        f.write(directory + image)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "kivo.ico")
