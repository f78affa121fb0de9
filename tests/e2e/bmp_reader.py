"""An independent reader of the uncompressed Windows BMP files that the server sends: it
checks every header field against the others and against the data, and decodes the pixels."""

import struct


class BmpError(ValueError):
    pass


class Bmp:
    def __init__(self, width, height, bits, colours, rows):
        self.width = width
        self.height = height
        self.bits = bits
        self.colours = colours  # (blue, green, red) of each colour table entry
        self.rows = rows  # top row first; each row a list of (blue, green, red) pixels


def _pixel_values(row, width, bits):
    if bits in (24, 32):
        step = bits // 8
        return [tuple(row[x * step:x * step + 3]) for x in range(width)]
    if bits == 16:
        values = struct.unpack_from(f"<{width}H", row)
        return [((v & 31) << 3, (v >> 5 & 31) << 3, (v >> 10 & 31) << 3) for v in values]
    per_byte = 8 // bits
    mask = (1 << bits) - 1
    return [row[x // per_byte] >> (8 - bits * (x % per_byte + 1)) & mask for x in range(width)]


def read_bmp(data):
    """Parses a whole BMP file; raises BmpError where the headers and the data disagree."""
    if len(data) < 54 or data[:2] != b"BM":
        raise BmpError("no BMP signature")
    file_size, reserved, offset = struct.unpack_from("<III", data, 2)
    if file_size != len(data):
        raise BmpError(f"file size {file_size} but {len(data)} bytes")
    if reserved != 0:
        raise BmpError("reserved fields are not zero")
    (header_size, width, height, planes, bits, compression, image_size, _, _, used,
     _) = struct.unpack_from("<IiiHHIIiiII", data, 14)
    if header_size != 40 or compression != 0 or planes != 1:
        raise BmpError(f"header {header_size}, compression {compression}, planes {planes}")
    if width <= 0 or height == 0 or bits not in (1, 4, 8, 16, 24, 32):
        raise BmpError(f"size {width}x{height} at {bits} bits")
    colours = used or (1 << bits if bits <= 8 else 0)
    if offset != 54 + 4 * colours:
        raise BmpError(f"pixels at {offset}, after {colours} colours")
    stride = (width * bits + 31) // 32 * 4
    needed = stride * abs(height)
    if image_size and image_size < needed or len(data) - offset < needed:
        raise BmpError(f"{len(data) - offset} pixel bytes for rows of {needed}")
    table = [tuple(data[54 + 4 * i:54 + 4 * i + 3]) for i in range(colours)]
    rows = []
    for y in range(abs(height)):
        start = offset + y * stride
        pixels = _pixel_values(data[start:start + stride], width, bits)
        if bits <= 8:
            pixels = [table[i] if i < len(table) else None for i in pixels]
        rows.append(pixels)
    if height > 0:
        rows.reverse()  # stored bottom-up
    return Bmp(width, abs(height), bits, table, rows)
