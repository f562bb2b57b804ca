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
TRANSPARENT, BLACK, NAVY, DARK_GREY, LIGHT_GREY, WHITE, BLUE = None, 0, 4, 8, 7, 15, 12


# Per image size: key edge, gap between keys, keys per row, and the indent of each row (the
# rows are staggered as on a real keyboard). Each size is drawn on its own pixel grid, so the
# keys stay apart; scaling one drawing down merges them at 32x32.
GEOMETRY = {
    48: dict(key=5, gap=1, columns=6, indents=(0, 2, 4)),
    32: dict(key=3, gap=1, columns=6, indents=(0, 1, 2)),
}


def draw_keyboard(size):
    """Returns size x size pixels (rows top to bottom) of palette indices or None."""
    pixels = [[TRANSPARENT] * size for _ in range(size)]

    def fill(left, top, right, bottom, colour):
        for y in range(max(top, 0), min(bottom, size)):
            for x in range(max(left, 0), min(right, size)):
                pixels[y][x] = colour

    g = GEOMETRY[size]
    key, gap, columns, indents = g["key"], g["gap"], g["columns"], g["indents"]
    pitch = key + gap
    keys_width = columns * pitch - gap + max(indents)
    keys_height = (len(indents) + 1) * pitch - gap  # the rows and the space bar
    margin = gap + 1
    width = keys_width + 2 * (margin + 1)
    height = keys_height + 2 * (margin + 1)
    left = (size - width) // 2
    top = (size - height) // 2 + size // 16  # a little below the middle, as a board lies
    # The board: a black outline, dark grey with a lighter rim along its top edge.
    fill(left, top, left + width, top + height, BLACK)
    fill(left + 1, top + 1, left + width - 1, top + height - 1, DARK_GREY)
    fill(left + 1, top + 1, left + width - 1, top + 2, LIGHT_GREY)
    x0, y0 = left + 1 + margin, top + 1 + margin

    def draw_key(kl, kt, kr, kb, face):
        fill(kl, kt, kr, kb, face)
        fill(kl, kb - 1, kr, kb, LIGHT_GREY if face == WHITE else NAVY)  # the key's lower edge

    for row, indent in enumerate(indents):
        for column in range(columns):
            kl = x0 + indent + column * pitch
            kt = y0 + row * pitch
            # The layout's own key stands out in blue: the middle of the home row.
            face = BLUE if (row, column) == (1, columns // 2 - 1) else WHITE
            draw_key(kl, kt, kl + key, kt + key, face)
    space_top = y0 + len(indents) * pitch
    draw_key(x0 + indents[1] + pitch, space_top, x0 + keys_width - indents[1] - pitch, space_top + key,
             WHITE)
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
