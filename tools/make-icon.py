#!/usr/bin/env python3
"""Draws the program's icon, a keyboard, and writes resources/program.ico.

Two images of 16 colours (4 bits per pixel), 48x48 and 32x32, with a transparency mask.
The drawing is made here, from rectangles, so the icon can be changed and rebuilt:
    python3 tools/make-icon.py resources/program.ico
"""
import struct
import sys

# The 16 colours of the standard VGA palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
TRANSPARENT, BLACK, DARK_GREY, LIGHT_GREY, WHITE, BLUE = None, 0, 8, 7, 15, 12


def draw_keyboard(size):
    """Returns size x size pixels (rows top to bottom) of palette indices or None."""
    pixels = [[TRANSPARENT] * size for _ in range(size)]

    def fill(left, top, right, bottom, colour):
        for y in range(max(top, 0), min(bottom, size)):
            for x in range(max(left, 0), min(right, size)):
                pixels[y][x] = colour

    unit = size / 48.0
    s = lambda v: int(round(v * unit))
    # The body: a dark outline around a grey board, lying in the lower two thirds.
    fill(s(2), s(12), s(46), s(40), BLACK)
    fill(s(3), s(13), s(45), s(39), DARK_GREY)
    # Three rows of keys and a space bar; the key of the layout in blue.
    key, gap = 5, 1
    for row, offset, count in ((0, 5, 6), (1, 7, 6), (2, 9, 5)):
        top = 15 + row * (key + gap)
        for i in range(count):
            left = offset + i * (key + gap)
            colour = BLUE if (row, i) == (1, 2) else WHITE
            fill(s(left), s(top), s(left + key), s(top + key - 1), colour)
            fill(s(left), s(top + key - 1), s(left + key), s(top + key), LIGHT_GREY)
    fill(s(12), s(33), s(36), s(37), WHITE)
    return pixels


def image(size):
    pixels = draw_keyboard(size)
    xor_row = ((size * 4 + 31) // 32) * 4
    and_row = ((size + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(size)):  # bitmaps are stored bottom-up
        row = bytearray(xor_row)
        bits = bytearray(and_row)
        for x in range(size):
            index = pixels[y][x]
            if index is None:
                index = 0
                bits[x // 8] |= 0x80 >> (x % 8)
            row[x // 2] |= index << (4 if x % 2 == 0 else 0)
        xor += row
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    colours = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return header + colours + bytes(xor) + bytes(mask)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "resources/program.ico"
    images = [(48, image(48)), (32, image(32))]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, blob in images:
        data += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
    for _, blob in images:
        data += blob
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
