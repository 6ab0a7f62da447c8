#!/usr/bin/env python3
"""Writes the program's icon (two images of 16 colours, 32 x 32 and 16 x 16) from the text art below.

usage: make_icon.py OUTPUT.ico

K black, g dark grey, W white, . transparent.
"""
import struct
import sys

ICON_32 = """
................................
................................
....KKKKKKKKKKKKKKKKKKKKKK......
....KWWWWWWWWWWWWWWWWWWWWK......
....KWWWWWWWWWWWKKKWWWWWWKgg....
....KWWWWWWWWWWWK.KKWWWWWKgg....
....KWWWWWWWWWWWK..KKWWWWKgg....
....KWWWWWWWWWWWK...KKWWWKgg....
....KKKKKKKKKKKKK....KKWWKgg....
......................KKWKgg....
.......................KKKgg....
........................KKgg....
.......................KKKgg....
......................KKWKgg....
....KKKKKKKKKKKKK....KKWWKgg....
....KWWWWWWWWWWWK...KKWWWKgg....
....KWWWWWWWWWWWK..KKWWWWKgg....
....KWWWWWWWWWWWK.KKWWWWWKgg....
....KWWWWWWWWWWWKKKWWWWWWKgg....
....KWWWWWWWWWWWWWWWWWWWWKgg....
....KWWWWWKKKKKKKKKKWWWWWKgg....
....KWWWWKWWWWWWWWWWKWWWWKgg....
....KWWWWKWWWWWWWWWWKWWWWKgg....
....KWWWKWKKWWWWWWKKWKWWWKgg....
....KWWWKWKKWWWWWWKKWKWWWKgg....
....KWWKKKKKKKKKKKKKKKKWWKgg....
....KWWWWWWWWWWWWWWWWWWWWKgg....
....KKKKKKKKKKKKKKKKKKKKKKgg....
......gggggggggggggggggggggg....
......gggggggggggggggggggggg....
................................
................................
"""

ICON_16 = """
................
..KKKKKKKKKKK...
..KWWWWKKKWWKg..
..KWWWWK.KKWKg..
..KKKKKK..KKKg..
...........KKg..
...........KKg..
..KKKKKK..KKKg..
..KWWWWK.KKWKg..
..KWWKKKKKWWKg..
..KWWKWWWKWWKg..
..KWKWKWKWKWKg..
..KWKKKKKKKWKg..
..KWWWWWWWWWKg..
..KKKKKKKKKKKg..
...ggggggggggg..
"""

# The standard 16-colour palette, as blue, green, red, reserved.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
COLOUR_INDEX = {"K": 0, "g": 8, "W": 15, ".": 0}


def rows_of(art, size):
    rows = [line for line in art.strip("\n").split("\n")]
    if len(rows) != size or any(len(row) != size for row in rows):
        raise SystemExit("icon art must be %d x %d" % (size, size))
    for row in rows:
        for pixel in row:
            if pixel not in COLOUR_INDEX:
                raise SystemExit("unknown pixel %r" % pixel)
    return rows


def padded(data):
    return data + b"\0" * (-len(data) % 4)


def image(art, size):
    rows = rows_of(art, size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", *colour, 0) for colour in PALETTE)
    colours = b""
    mask = b""
    for row in reversed(rows):  # bottom-up, as bitmaps are stored
        line = bytearray()
        for x in range(0, size, 2):
            line.append(COLOUR_INDEX[row[x]] << 4 | COLOUR_INDEX[row[x + 1]])
        colours += padded(bytes(line))
        bits = bytearray(size // 8)
        for x, pixel in enumerate(row):
            if pixel == ".":
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += padded(bytes(bits))
    return header + palette + colours + mask


def main():
    if len(sys.argv) != 2:
        raise SystemExit("usage: make_icon.py OUTPUT.ico")
    images = [(32, image(ICON_32, 32)), (16, image(ICON_16, 16))]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    body = b""
    for size, data in images:
        directory += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset + len(body))
        body += data
    with open(sys.argv[1], "wb") as output:
        output.write(directory + body)


if __name__ == "__main__":
    main()
