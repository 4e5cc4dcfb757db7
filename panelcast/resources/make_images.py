#!/usr/bin/env python3
"""Draws Panelcast's button images (39 x 39, 8-bit gray) and its window icon as PNG files.

Gray levels up to 8 are the dark button face; brighter levels take the button's light
colour in proportion, so the symbol is drawn at 255 and the key's rim at a low level.
Run it again after a change and commit the PNG files.
"""
import struct
import zlib

SIZE = 39
SUPER = 4  # samples per pixel and axis

GLYPHS = {  # 5 x 7, bit 4 is the leftmost column
    'E': [0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F],
    'S': [0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E],
    'C': [0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E],
    'T': [0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04],
}


def png(path, width, height, rows, colour=False):
    raw = b''.join(b'\x00' + bytes(row) for row in rows)
    def chunk(kind, data):
        body = kind + data
        return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body))
    header = struct.pack('>IIBBBBB', width, height, 8, 2 if colour else 0, 0, 0, 0)
    with open(path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) +
                chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def render(inside, rim=True):
    """Gray image from inside(x, y) -> bool over sample coordinates in pixels."""
    rows = []
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            hits = 0
            for sy in range(SUPER):
                for sx in range(SUPER):
                    x = px + (sx + 0.5) / SUPER
                    y = py + (sy + 0.5) / SUPER
                    hits += inside(x, y)
            level = 255 * hits // (SUPER * SUPER)
            if rim and level == 0 and on_rim(px + 0.5, py + 0.5):
                level = 56
            row.append(level)
        rows.append(row)
    return rows


def on_rim(x, y):
    # A rounded square 1.5 pixels wide just inside the image.
    c = SIZE / 2
    dx, dy = max(abs(x - c) - 12.5, 0), max(abs(y - c) - 12.5, 0)
    d = (dx * dx + dy * dy) ** 0.5
    return 5.0 <= d <= 6.5


def up_arrow(x, y):
    if 8 <= y <= 21:  # the head: apex at (19.5, 8), base 24 wide at y 21
        half = (y - 8) * 12 / 13
        return abs(x - 19.5) <= half
    return 21 <= y <= 31 and abs(x - 19.5) <= 4


def lettering(text):
    cell_w, cell_h = 1.8, 2.2
    width = len(text) * 5 * cell_w + (len(text) - 1) * cell_w
    left = (SIZE - width) / 2
    top = (SIZE - 7 * cell_h) / 2

    def inside(x, y):
        row = int((y - top) // cell_h)
        if not 0 <= row < 7 or x < left:
            return False
        column = int((x - left) // cell_w)
        letter, col = divmod(column, 6)
        if letter >= len(text) or col >= 5:
            return False
        return bool(GLYPHS[text[letter]][row] & (0x10 >> col))
    return inside


def icon():
    # 32 x 32: the HC's case, its display in the night palette and two lit buttons.
    rows = []
    for y in range(32):
        row = []
        for x in range(32):
            c = (0, 0, 0)
            if 6 <= x <= 25 and 1 <= y <= 30:
                c = (48, 48, 56)
            if 9 <= x <= 22 and 4 <= y <= 19:
                c = (96, 12, 4) if y <= 6 else (20, 8, 8)
            if 11 <= x <= 20 and y in (10, 13, 16):
                c = (232, 96, 64)
            if y in (24, 25, 26) and (9 <= x <= 12 or 19 <= x <= 22):
                c = (220, 60, 0)
            row.extend(c)
        rows.append(row)
    png('panelcast_icon.png', 32, 32, rows, colour=True)


if __name__ == '__main__':
    png('button_up.png', SIZE, SIZE, render(up_arrow))
    png('button_esc.png', SIZE, SIZE, render(lettering('ESC')))
    png('button_set.png', SIZE, SIZE, render(lettering('SET')))
    icon()
