#!/usr/bin/env python3
"""Draws Tovakin's icon, a cassette with an arrow turning back to it (the
absolute paths turned relative), as a 32 x 32, 16-colour .ico file.

Run from the repository root: python3 tools/icons/make_tovakin_icon.py
It rewrites converter/Tovakin.ico.
"""
import math
import struct

# The 16 colours of the standard Windows palette, as (blue, green, red).
PALETTE = [
    (0x00, 0x00, 0x00), (0x00, 0x00, 0x80), (0x00, 0x80, 0x00), (0x00, 0x80, 0x80),
    (0x80, 0x00, 0x00), (0x80, 0x00, 0x80), (0x80, 0x80, 0x00), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0x00, 0x00, 0xFF), (0x00, 0xFF, 0x00), (0x00, 0xFF, 0xFF),
    (0xFF, 0x00, 0x00), (0xFF, 0x00, 0xFF), (0xFF, 0xFF, 0x00), (0xFF, 0xFF, 0xFF),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GREY, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE = range(8, 16)
CLEAR = None

SIZE = 32


def draw():
    image = [[CLEAR] * SIZE for _ in range(SIZE)]

    def put(x, y, colour):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            image[y][x] = colour

    def box(x0, y0, x1, y1, colour):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                put(x, y, colour)

    # Cassette body with a dark outline.
    box(2, 8, 29, 27, GREY)
    for x in range(2, 30):
        put(x, 8, BLACK)
        put(x, 27, BLACK)
    for y in range(8, 28):
        put(2, y, BLACK)
        put(29, y, BLACK)
    # Label and the window with two reels.
    box(5, 10, 26, 20, WHITE)
    box(5, 11, 26, 12, RED)
    box(9, 14, 22, 19, BLACK)
    for cx in (12, 19):
        for y in range(14, 20):
            for x in range(cx - 2, cx + 3):
                if (x - cx) ** 2 + (y - 16.5) ** 2 <= 5:
                    put(x, y, SILVER)
        put(cx, 16, BLACK)
        put(cx, 17, BLACK)
    # Lower guide with its holes.
    box(8, 22, 23, 27, SILVER)
    for x in (10, 21):
        put(x, 24, BLACK)
        put(x, 25, BLACK)
    # A green arrow sweeping over the top, back towards the cassette.
    for step in range(0, 181, 3):
        angle = math.radians(step)
        for radius in (9.0, 10.0, 11.0):
            x = 16 + radius * math.cos(angle)
            y = 8.5 - radius * 0.6 * math.sin(angle)
            put(int(round(x)), int(round(y)), GREEN)
    for dy in range(0, 4):
        for dx in range(-dy, dy + 1):
            put(5 + dx, 6 + dy, LIME if dx == 0 else GREEN)
    return image


def ico(image):
    xor = bytearray()
    mask = bytearray()
    for row in reversed(image):  # bottom-up rows
        for x in range(0, SIZE, 2):
            hi = row[x] if row[x] is not None else 0
            lo = row[x + 1] if row[x + 1] is not None else 0
            xor.append((hi << 4) | lo)
        bits = 0
        for x in range(SIZE):
            bits = (bits << 1) | (1 if row[x] is None else 0)
        mask += struct.pack(">I", bits)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for (b, g, r) in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    body = header + palette + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(body), 22)
    return directory + body


if __name__ == "__main__":
    with open("converter/Tovakin.ico", "wb") as out:
        out.write(ico(draw()))
