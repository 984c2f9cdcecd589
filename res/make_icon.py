#!/usr/bin/env python3
"""Generate res/plix1.ico: the Plix32 program icon.

One 32x32 image, 16 colours (4 bpp, standard Windows palette), classic
BITMAPINFOHEADER-based ICO with a 1 bpp AND mask for transparency.

The picture: a small monitor with a dark screen showing green text and a
prompt with a cursor, three signal lamps (green, green, off) on the bezel,
and a DB-9 connector (metal flange, D-shaped shell, 5 + 4 gold pins) below.

Run:  python3 res/make_icon.py     (output is written next to this script)
The output is deterministic.
"""

import os
import struct

W = H = 32

# Standard 16-colour Windows palette, as (R, G, B).
PALETTE = [
    (0x00, 0x00, 0x00),  # 0  black
    (0x80, 0x00, 0x00),  # 1  dark red
    (0x00, 0x80, 0x00),  # 2  dark green
    (0x80, 0x80, 0x00),  # 3  olive
    (0x00, 0x00, 0x80),  # 4  navy
    (0x80, 0x00, 0x80),  # 5  purple
    (0x00, 0x80, 0x80),  # 6  teal
    (0xC0, 0xC0, 0xC0),  # 7  silver
    (0x80, 0x80, 0x80),  # 8  grey
    (0xFF, 0x00, 0x00),  # 9  red
    (0x00, 0xFF, 0x00),  # 10 lime
    (0xFF, 0xFF, 0x00),  # 11 yellow
    (0x00, 0x00, 0xFF),  # 12 blue
    (0xFF, 0x00, 0xFF),  # 13 magenta
    (0x00, 0xFF, 0xFF),  # 14 cyan
    (0xFF, 0xFF, 0xFF),  # 15 white
]

BLACK, DGREEN, OLIVE, SILVER, GREY = 0, 2, 3, 7, 8
LIME, YELLOW, WHITE = 10, 11, 15

# None = transparent pixel
img = [[None] * W for _ in range(H)]


def px(x, y, c):
    if 0 <= x < W and 0 <= y < H:
        img[y][x] = c


def fill(x0, y0, x1, y1, c):
    """Filled rectangle, inclusive corners."""
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            px(x, y, c)


def hline(x0, x1, y, c):
    fill(x0, y, x1, y, c)


def vline(x, y0, y1, c):
    fill(x, y0, x, y1, c)


def box(x0, y0, x1, y1, face, light, dark):
    """Bevelled box: face fill, light top/left edge, dark outline."""
    fill(x0, y0, x1, y1, dark)
    fill(x0 + 1, y0 + 1, x1 - 1, y1 - 1, face)
    hline(x0 + 1, x1 - 2, y0 + 1, light)
    vline(x0 + 1, y0 + 1, y1 - 2, light)


# ---------------------------------------------------------------- monitor
MX0, MY0, MX1, MY1 = 2, 0, 29, 19
box(MX0, MY0, MX1, MY1, SILVER, WHITE, GREY)
# round the outer corners a little
for x, y in ((MX0, MY0), (MX1, MY0), (MX0, MY1), (MX1, MY1)):
    img[y][x] = None

# recessed screen: grey frame on top/left, white on bottom/right, black glass
SX0, SY0, SX1, SY1 = 4, 2, 27, 14
fill(SX0, SY0, SX1, SY1, WHITE)
hline(SX0, SX1 - 1, SY0, GREY)
vline(SX0, SY0, SY1 - 1, GREY)
fill(SX0 + 1, SY0 + 1, SX1 - 1, SY1 - 1, BLACK)

# text on the screen: an older (dim) line, a fresh (bright) line, prompt
for x0, x1 in ((7, 10), (12, 13), (15, 19), (21, 23)):
    hline(x0, x1, 5, DGREEN)
for x0, x1 in ((7, 9), (11, 15), (17, 18), (20, 24)):
    hline(x0, x1, 7, LIME)
# ">" prompt and a block cursor
px(7, 9, LIME)
px(8, 10, LIME)
px(7, 11, LIME)
fill(10, 10, 11, 11, LIME)

# bezel: three signal lamps (on, on, off) at the lower right
for lx, on in ((19, True), (22, True), (25, False)):
    if on:
        fill(lx, 16, lx + 1, 17, LIME)
        px(lx + 1, 17, DGREEN)
    else:
        fill(lx, 16, lx + 1, 17, GREY)
        px(lx + 1, 17, BLACK)
# a small grille on the left of the bezel
for gx in (5, 7, 9):
    vline(gx, 16, 17, GREY)

# ---------------------------------------------------------------- cable
vline(15, 20, 20, GREY)
vline(16, 20, 20, BLACK)

# ---------------------------------------------------------------- DB-9
FX0, FY0, FX1, FY1 = 0, 21, 31, 31
box(FX0, FY0, FX1, FY1, SILVER, WHITE, GREY)
for x, y in ((FX0, FY0), (FX1, FY0), (FX0, FY1), (FX1, FY1)):
    img[y][x] = None

# mounting screw holes in the flange
for sx in (2, 28):
    fill(sx, 25, sx + 1, 26, BLACK)
    px(sx, 25, GREY)
    px(sx + 1, 26, WHITE)

# D-shaped shell: outline column per row (left edge); mirror for right
SHELL_TOP, SHELL_BOT = 22, 30
left = {22: 4, 23: 4, 24: 5, 25: 5, 26: 5, 27: 6, 28: 6, 29: 6, 30: 7}
for y in range(SHELL_TOP, SHELL_BOT + 1):
    lx = left[y]
    rx = W - 1 - lx
    if y in (SHELL_TOP, SHELL_BOT):
        hline(lx, rx, y, GREY)
    else:
        hline(lx + 1, rx - 1, y, BLACK)
        px(lx, y, GREY)
        px(rx, y, WHITE)

# pins: 5 on the top row, 4 on the bottom row (2x2 each, gold)
for i in range(5):
    x = 7 + 4 * i
    fill(x, 24, x + 1, 25, YELLOW)
    px(x + 1, 25, OLIVE)
for i in range(4):
    x = 9 + 4 * i
    fill(x, 27, x + 1, 28, YELLOW)
    px(x + 1, 28, OLIVE)


# ---------------------------------------------------------------- writer
def row_bytes(bits_per_px):
    return ((W * bits_per_px + 31) // 32) * 4


def build_ico():
    xor_stride = row_bytes(4)
    and_stride = row_bytes(1)
    xor = bytearray()
    mask = bytearray()
    for y in range(H - 1, -1, -1):  # bottom-up
        row = img[y]
        line = bytearray(xor_stride)
        mline = bytearray(and_stride)
        for x in range(W):
            c = row[x]
            if c is None:
                c = 0
                mline[x // 8] |= 0x80 >> (x % 8)
            if x % 2 == 0:
                line[x // 2] |= c << 4
            else:
                line[x // 2] |= c
        xor += line
        mask += mline

    palette = b"".join(struct.pack("<BBBB", b, g, r, 0)
                       for (r, g, b) in PALETTE)
    header = struct.pack("<IiiHHIIiiII",
                         40, W, H * 2, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 16, 0)
    image = header + palette + bytes(xor) + bytes(mask)

    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", W, H, 16, 0, 1, 4,
                        len(image), 6 + 16)
    return icondir + entry + image


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                       "plix1.ico")
    data = build_ico()
    with open(out, "wb") as f:
        f.write(data)
    print("wrote %s (%d bytes)" % (out, len(data)))


if __name__ == "__main__":
    main()
