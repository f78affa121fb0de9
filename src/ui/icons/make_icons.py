"""Draws the program's icons: a handheld with a signal arc, tinted by server state.
Run from this folder; writes tavrix.ico and the three tray icons, each in the sizes that
display scaling from 100 % to 200 % asks for, so that none is stretched."""

import struct


def shape(size, body, accent):
    """Rows of RGBA pixels, top row first."""
    s = size / 16.0
    pixels = [[(0, 0, 0, 0)] * size for _ in range(size)]

    def put(x, y, colour):
        if 0 <= x < size and 0 <= y < size:
            pixels[y][x] = colour

    # The handheld: a rounded rectangle with a dark screen.
    left, right, top, bottom = int(4 * s), int(11 * s), int(2 * s), int(15 * s) - 1
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            corner = (x in (left, right)) and (y in (top, bottom))
            if not corner:
                put(x, y, body)
    for y in range(int(4 * s), int(11 * s)):
        for x in range(left + max(1, int(s)), right - max(1, int(s)) + 1):
            put(x, y, (30, 34, 40, 255))
    # The home button.
    put(int(7.5 * s), int(13 * s), accent)
    put(int(7.5 * s) + (1 if size > 16 else 0), int(13 * s), accent)
    # A signal arc to the upper right.
    for step in range(int(3 * s)):
        put(right + 1 + step, top + int(3 * s) - step, accent)
        put(right + 2 + step, top + int(3 * s) - step, accent)
    return pixels


def bitmap(pixels):
    size = len(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(pixels) for (r, g, b, a) in row)
    mask_row = ((size + 31) // 32) * 4
    mask = b"\x00" * (mask_row * size)
    return header + colour + mask


def write_icon(path, images):
    data = [bitmap(p) for p in images]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for pixels, blob in zip(images, data):
        size = len(pixels)
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(out + b"".join(data))


BLUE = (40, 110, 200, 255)
GREEN = (40, 170, 70, 255)
GREY = (140, 140, 140, 255)
ORANGE = (240, 150, 30, 255)

# Small icons are 16 pixels at 100 %, 20, 24 and 32 at 125, 150 and 200 %; large ones 32
# to 64.
SMALL = (16, 20, 24, 32)
LARGE = (32, 40, 48, 64)

write_icon("tavrix.ico", [shape(n, BLUE, ORANGE) for n in sorted(set(SMALL + LARGE))])
write_icon("listening.ico", [shape(n, GREEN, GREEN) for n in SMALL])
write_icon("off.ico", [shape(n, GREY, GREY) for n in SMALL])
write_icon("connected.ico", [shape(n, BLUE, ORANGE) for n in SMALL])
