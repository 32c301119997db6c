#!/usr/bin/env python3
"""Generates the small 16-bit (RGB565) pictures of the default skins. Run it again after editing;
the .bmp files it writes are kept in the repository."""
import math
import os
import struct

KEY = 0xF81F  # the colour key: transparent


def rgb(r, g, b):
    # Opaque pixels carry the lowest green bit.
    return ((r >> 3) << 11) | ((g & 0xFC) << 3) | (b >> 3) | 0x20


def write_bmp(name, width, height, pixel):
    pitch = (16 * width + 31) // 32 * 4
    offset = 14 + 40 + 12
    rows = b""
    for y in reversed(range(height)):  # bottom-up
        row = b"".join(struct.pack("<H", pixel(x, y)) for x in range(width))
        rows += row + b"\0" * (pitch - 2 * width)
    header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 16, 3, len(rows), 2835, 2835, 0, 0)
    masks = struct.pack("<III", 0xF800, 0x07E0, 0x001F)
    with open(os.path.join(os.path.dirname(__file__), name + ".bmp"), "wb") as f:
        f.write(header + info + masks + rows)


def rounded(width, height, radius, top, bottom, border):
    def pixel(x, y):
        cx = min(max(x, radius), width - 1 - radius)
        cy = min(max(y, radius), height - 1 - radius)
        d = math.hypot(x - cx, y - cy)
        if d > radius:
            return KEY
        if d > radius - 1.2:
            return rgb(*border)
        # Shaded only in the fixed top and bottom rows, so the tiled middle rows are all alike.
        t = 1 if y >= height - 8 else 0
        return rgb(*[int(a + (b - a) * t) for a, b in zip(top, bottom)])
    return pixel


# Buttons: 24 × 24, corners of 8 kept, the middle 8 × 8 tiled.
write_bmp("button", 24, 24, rounded(24, 24, 7, (90, 110, 140), (40, 55, 80), (20, 25, 35)))
write_bmp("button_pressed", 24, 24, rounded(24, 24, 7, (230, 140, 40), (170, 80, 20), (20, 25, 35)))
write_bmp("button_red", 24, 24, rounded(24, 24, 11, (230, 60, 60), (150, 20, 20), (60, 10, 10)))
# The list row and progress bars.
write_bmp("row", 8, 24, lambda x, y: rgb(235, 238, 242) if y < 23 else rgb(200, 205, 212))
write_bmp("row_pressed", 8, 24, lambda x, y: rgb(250, 200, 120) if y < 23 else rgb(200, 205, 212))
write_bmp("bar", 12, 12, rounded(12, 12, 5, (30, 30, 36), (60, 60, 70), (10, 10, 12)))
write_bmp("bar_fill", 12, 12, rounded(12, 12, 5, (120, 220, 90), (40, 150, 40), (10, 60, 10)))


# Icons: 16 × 16 microphone, tinted per storage kind.
def microphone(colour):
    def pixel(x, y):
        if 5 <= x <= 10 and 1 <= y <= 9 and math.hypot(x - 7.5, max(0, 3.5 - y)) <= 3 and math.hypot(
                x - 7.5, max(0, y - 7)) <= 3:
            return rgb(*colour)
        if y == 11 and 3 <= x <= 12 or (x in (3, 12) and 7 <= y <= 11) or (7 <= x <= 8 and 11 <= y <= 14):
            return rgb(80, 80, 90)
        return KEY
    return pixel


write_bmp("icon_memory", 16, 16, microphone((60, 90, 200)))
write_bmp("icon_card", 16, 16, microphone((40, 160, 60)))
write_bmp("icon_in", 16, 16, microphone((200, 120, 30)))
write_bmp("icon_out", 16, 16, microphone((160, 40, 160)))


# Splash: a 64 × 64 round logo.
def logo(x, y):
    d = math.hypot(x - 31.5, y - 31.5)
    if d > 31:
        return KEY
    if d > 29:
        return rgb(255, 255, 255)
    if math.hypot(x - 31.5, y - 26) < 10 or (27 <= x <= 36 and 26 <= y <= 40):
        return rgb(255, 255, 255)
    return rgb(200, 40, 40)


write_bmp("splash_logo", 64, 64, logo)
