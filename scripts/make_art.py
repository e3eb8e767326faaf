#!/usr/bin/env python3
"""Draws the program's icon and the three "tested on" pictures (our own simple drawings).

Writes resources/Ipshifter.ico (32x32 and 16x16, 16 colours) and resources/logo_*.bmp
(50x37, 24-bit). Run it again after changing a drawing; the outputs are committed.
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "resources")

# The standard 16-colour palette.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, GREY, BLUE, YELLOW, CYAN, WHITE, TEAL = 0, 4, 8, 12, 11, 14, 15, 6


def icon_pixel(u, v):
    """Colour index (or None for transparent) at unit coordinates u, v in [0, 1)."""
    # A bold arrow across the lower half: the profile being shifted onto the connection.
    ay = 0.70
    if 0.10 <= u <= 0.62 and abs(v - ay) <= 0.085:
        return YELLOW if abs(v - ay) <= 0.05 and u >= 0.14 else BLACK
    if 0.58 <= u <= 0.96:
        half = 0.22 * (0.96 - u) / 0.38
        if abs(v - ay) <= half:
            return YELLOW if abs(v - ay) <= half - 0.05 and u <= 0.90 else BLACK
    # A globe behind it.
    cx, cy, r = 0.5, 0.42, 0.38
    d = math.hypot(u - cx, v - cy)
    if d <= r:
        if d >= r - 0.05:
            return NAVY
        x, y = (u - cx) / r, (v - cy) / r
        if abs(y) < 0.06 or abs(y - 0.5) < 0.05 or abs(y + 0.5) < 0.05:
            return CYAN
        inner = math.sqrt(max(0.0, 1 - y * y))
        if abs(x) < 0.06 or abs(abs(x) - 0.55 * inner) < 0.06:
            return CYAN
        return BLUE
    return None


def icon_image(size):
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            row.append(icon_pixel((px + 0.5) / size, (py + 0.5) / size))
        rows.append(row)
    # Colour rows: 4 bits a pixel, bottom-up, padded to 4 bytes.
    xor = b""
    for row in reversed(rows):
        bits = bytearray()
        for i in range(0, size, 2):
            a = row[i] if row[i] is not None else 0
            b = row[i + 1] if row[i + 1] is not None else 0
            bits.append((a << 4) | b)
        while len(bits) % 4:
            bits.append(0)
        xor += bytes(bits)
    mask = b""
    for row in reversed(rows):
        bits = bytearray((size + 7) // 8)
        for i, c in enumerate(row):
            if c is None:
                bits[i // 8] |= 0x80 >> (i % 8)
        while len(bits) % 4:
            bits.append(0)
        mask += bytes(bits)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(xor) + len(mask), 0,
                         0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    return header + palette + xor + mask


def write_icon(path):
    images = [icon_image(32), icon_image(16)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((32, 16), images):
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


# A 5x7 pixel font for the few letters the pictures need.
GLYPHS = {
    "0": ["01110", "10001", "10011", "10101", "11001", "10001", "01110"],
    "2": ["01110", "10001", "00001", "00010", "00100", "01000", "11111"],
    "X": ["10001", "10001", "01010", "00100", "01010", "10001", "10001"],
    "P": ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    "i": ["00100", "00000", "01100", "00100", "00100", "00100", "01110"],
    "s": ["00000", "00000", "01111", "10000", "01110", "00001", "11110"],
    "t": ["01000", "01000", "11100", "01000", "01000", "01001", "00110"],
    "a": ["00000", "00000", "01110", "00001", "01111", "10001", "01111"],
}


def logo(text, background, frame, title, pane, ink):
    w, h = 50, 37
    img = [[background] * w for _ in range(h)]

    def rect(x0, y0, x1, y1, c):
        for y in range(max(0, y0), min(h, y1)):
            for x in range(max(0, x0), min(w, x1)):
                img[y][x] = c

    # A small application window: border, title bar, two panes.
    rect(3, 4, 21, 20, frame)
    rect(4, 5, 20, 8, title)
    rect(4, 9, 11, 19, pane)
    rect(12, 9, 20, 19, pane)
    # The version name beside and below it.
    x = (w - 6 * len(text) + 1) // 2
    for ch in text:
        for gy, line in enumerate(GLYPHS[ch]):
            for gx, bit in enumerate(line):
                if bit == "1":
                    img[25 + gy][x + gx] = ink
        x += 6
    # A stripe on the right of the window to tell the three apart at a glance.
    rect(24, 6, 47, 8, title)
    rect(24, 11, 41, 13, frame)
    rect(24, 16, 44, 18, frame)
    return img


def write_bmp(path, img):
    h, w = len(img), len(img[0])
    row_bytes = (w * 3 + 3) & ~3
    pixels = b""
    for row in reversed(img):
        line = b"".join(struct.pack("<BBB", b, g, r) for (r, g, b) in row)
        pixels += line + b"\0" * (row_bytes - len(line))
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


if __name__ == "__main__":
    write_icon(os.path.join(OUT, "Ipshifter.ico"))
    write_bmp(os.path.join(OUT, "logo_2000.bmp"),
              logo("2000", (212, 208, 200), (64, 64, 64), (10, 36, 106), (255, 255, 255),
                   (0, 0, 0)))
    write_bmp(os.path.join(OUT, "logo_xp.bmp"),
              logo("XP", (236, 233, 216), (0, 84, 227), (0, 84, 227), (255, 255, 255),
                   (0, 60, 160)))
    write_bmp(os.path.join(OUT, "logo_vista.bmp"),
              logo("Vista", (24, 32, 40), (120, 170, 210), (60, 110, 160), (220, 235, 245),
                   (230, 240, 250)))
