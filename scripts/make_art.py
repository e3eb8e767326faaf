#!/usr/bin/env python3
"""Draws the program's icon and the three "tested on" pictures (our own simple drawings).

Writes resources/Ipshifter.ico (16 to 48 pixels in 32-bit colour with alpha, and 256 pixels as
PNG, each size drawn on its own pixel grid) and resources/logo_*.bmp (50x37, 24-bit). Run it again after changing a drawing; the outputs are committed.
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "resources")

# The icon's colours, those of the standard 16-colour palette it was first drawn in.
NAVY = (0, 0, 128)
BLUE = (0, 0, 255)
CYAN = (0, 255, 255)
YELLOW = (255, 255, 0)
BLACK = (0, 0, 0)

# Every size Windows asks for at 100 % to 200 % scaling (small and large icons), and the large
# one of Explorer's views.
ICON_SIZES = (16, 20, 24, 32, 40, 48, 256)


def snap(centre, width):
    """A line's centre moved so that a line of whole pixels covers whole pixels."""
    return math.floor(centre) + 0.5 if width % 2 else float(round(centre))


class IconDrawing:
    """The icon at one size: a globe with its grid, and a bold arrow across its lower half (the
    profile being shifted onto the connection). Lengths are in that size's pixels and stroke
    widths are whole pixels, so that each size is drawn on its own grid, not scaled from one."""

    def __init__(self, size):
        self.size = size
        outline = max(1, round(size / 20))
        self.line = max(1, round(size / 22))
        self.edge = max(1, round(size / 36))
        self.cx = snap(size / 2, self.line)
        self.cy = snap(0.42 * size, self.line)
        self.r = round(0.38 * size)
        self.rim = self.r - outline
        # The small sizes have room for the equator and three meridians only.
        self.latitudes = (-0.5, 0.0, 0.5) if size >= 24 else (0.0,)
        self.ay = snap(0.70 * size, 1)
        self.shaft = (round(0.10 * size), round(0.62 * size), max(2, round(0.085 * size)))
        self.head = (round(0.58 * size), round(0.96 * size), 0.22 * size)

    def colour(self, x, y):
        """The colour at a point in pixels, None where the icon is transparent."""
        s0, s1, half = self.shaft
        if s0 <= x <= s1 and abs(y - self.ay) <= half:
            inside = abs(y - self.ay) <= half - self.edge and x >= s0 + self.edge
            return YELLOW if inside else BLACK
        h0, h1, height = self.head
        if h0 <= x <= h1:
            reach = height * (h1 - x) / (h1 - h0)
            if abs(y - self.ay) <= reach:
                slope = math.hypot(1.0, height / (h1 - h0))
                inside = abs(y - self.ay) <= reach - self.edge * slope and x >= h0 + self.edge
                return YELLOW if inside else BLACK
        d = math.hypot(x - self.cx, y - self.cy)
        if d > self.r:
            return None
        if d >= self.rim:
            return NAVY
        half = self.line / 2
        for lat in self.latitudes:
            if abs(y - snap(self.cy + lat * self.rim, self.line)) < half:
                return CYAN
        dy = (y - self.cy) / self.rim
        inner = math.sqrt(max(0.0, 1 - dy * dy))
        if abs(x - self.cx) < half or abs(abs(x - self.cx) - 0.55 * inner * self.rim) < half:
            return CYAN
        return BLUE

    def pixels(self):
        """Rows of (r, g, b, a), top row first, each pixel the mean of a grid of samples."""
        n = 3 if self.size > 64 else 4
        rows = []
        for py in range(self.size):
            row = []
            for px in range(self.size):
                total = [0, 0, 0]
                hits = 0
                for sy in range(n):
                    for sx in range(n):
                        c = self.colour(px + (sx + 0.5) / n, py + (sy + 0.5) / n)
                        if c is not None:
                            hits += 1
                            for i in range(3):
                                total[i] += c[i]
                if hits:
                    row.append(tuple(round(t / hits) for t in total) + (round(255 * hits / n / n),))
                else:
                    row.append((0, 0, 0, 0))
            rows.append(row)
        return rows


def bmp_icon_image(rows):
    """An icon image in the BMP form: 32-bit colour with alpha, and the 1-bit mask that systems
    without alpha (Windows 2000) draw with."""
    size = len(rows)
    xor = b"".join(struct.pack("<BBBB", b, g, r, a) for row in reversed(rows) for (r, g, b, a) in row)
    mask = b""
    for row in reversed(rows):
        bits = bytearray((size + 31) // 32 * 4)
        for i, (_, _, _, a) in enumerate(row):
            if a < 128:
                bits[i // 8] |= 0x80 >> (i % 8)
        mask += bytes(bits)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0,
                         0, 0)
    return header + xor + mask


def png_image(rows):
    """An icon image in the PNG form, as Vista and later store the 256-pixel size."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    size = len(rows)
    raw = b"".join(b"\0" + bytes(v for px in row for v in px) for row in rows)
    ihdr = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw, 9)) +
            chunk(b"IEND", b""))


def write_icon(path):
    images = []
    for size in ICON_SIZES:
        rows = IconDrawing(size).pixels()
        images.append((size, png_image(rows) if size >= 256 else bmp_icon_image(rows)))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        # 256 is written as 0 in the directory's byte.
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(data for _, data in images))


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
