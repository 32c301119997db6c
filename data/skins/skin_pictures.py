"""Renders the skins' SVG pictures into the 16-bit BMP files the skin format loads.

Each picture is an SVG document (a glyph from glyphs/ placed on a shape, or a shape alone) that
rsvg-convert rasterises into an RGBA PNG; the PNG is then reduced to RGB565 with the skin's
transparency scheme:

- 0xF81F (magenta) is the colour key: a fully transparent pixel;
- a pixel carrying the lowest green bit (0x20) is opaque;
- any other pixel is half-transparent: the images of these skins draw with "alpha" 128, whose
  blitter adds half of the destination, so the stored colour is what the pixel contributes on its
  own, small enough that the sum never overflows a channel.

Anti-aliased edges thus get three steps (key, half, opaque). Every picture knows the colour it is
designed to sit on; edge pixels are blended toward it, so on that colour the edge is exact and on a
neighbouring colour (a pressed look) it is still close.
"""
import os
import re
import struct
import subprocess
import zlib

KEY = 0xF81F
# What an alpha-128 blitter adds of the destination is half of each channel; a half-transparent
# pixel may therefore hold at most 16 of 31 red and blue steps and 32 of 63 green steps.
HALF_LIMIT = (16, 32, 16)


def hex_rgb(colour):
    colour = colour.lstrip("#")
    return tuple(int(colour[i:i + 2], 16) for i in (0, 2, 4))


def opaque_565(r, g, b):
    return ((r >> 3) << 11) | ((g & 0xFC) << 3) | (b >> 3) | 0x20


def half_565(r, g, b):
    r5 = min(HALF_LIMIT[0], (r * 31 + 127) // 255)
    g6 = min(HALF_LIMIT[1], (g * 63 + 127) // 255) & ~1
    b5 = min(HALF_LIMIT[2], (b * 31 + 127) // 255)
    return (r5 << 11) | (g6 << 5) | b5


def encode_pixel(r, g, b, a, backdrop):
    """One RGBA pixel (straight alpha) as an RGB565 pixel of the scheme above."""
    coverage = a / 255.0
    if coverage < 0.2:
        return KEY
    br, bg, bb = backdrop
    if coverage >= 0.8:
        mix = lambda c, d: int(round(c * coverage + d * (1.0 - coverage)))
        return opaque_565(mix(r, br), mix(g, bg), mix(b, bb))
    # The blitter will add half of the destination; on the designed backdrop the result is exact.
    own = lambda c, d: max(0, int(round(c * coverage + d * (0.5 - coverage))))
    return half_565(own(r, br), own(g, bg), own(b, bb))


def decode_png(data):
    """Width, height and RGBA rows of an 8-bit RGBA, non-interlaced PNG (what rsvg-convert writes)."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    pos, idat, width, height = 8, b"", 0, 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour_type, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if depth != 8 or colour_type != 6 or interlace != 0:
                raise ValueError("expected 8-bit RGBA without interlacing")
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = width * 4
    rows, previous = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            left = line[i - 4] if i >= 4 else 0
            up = previous[i]
            corner = previous[i - 4] if i >= 4 else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + ((left + up) >> 1)) & 0xFF
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                predictor = left if pa <= pb and pa <= pc else (up if pb <= pc else corner)
                line[i] = (line[i] + predictor) & 0xFF
        rows.append(line)
        previous = line
    return width, height, rows


def write_bmp(path, width, height, pixels):
    """A 16-bit BI_BITFIELDS BMP, bottom-up, as the skin loader reads it."""
    pitch = (16 * width + 31) // 32 * 4
    body = bytearray()
    for y in reversed(range(height)):
        row = pixels[y * width:(y + 1) * width]
        body += struct.pack("<%dH" % width, *row) + b"\0" * (pitch - 2 * width)
    offset = 14 + 40 + 12
    header = struct.pack("<2sIHHI", b"BM", offset + len(body), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 16, 3, len(body), 2835, 2835, 0, 0)
    masks = struct.pack("<III", 0xF800, 0x07E0, 0x001F)
    with open(path, "wb") as out:
        out.write(header + info + masks + body)


class Pictures:
    """Collects the pictures a skin names and writes each once."""

    def __init__(self, glyph_folder, rsvg="rsvg-convert"):
        self.glyph_folder = glyph_folder
        self.rsvg = rsvg
        self.documents = {}  # name -> (svg text, width, height, backdrop)

    def glyph_body(self, glyph):
        with open(os.path.join(self.glyph_folder, glyph + ".svg"), encoding="utf-8") as f:
            text = f.read()
        match = re.search(r"<svg[^>]*>(.*)</svg>", text, re.S)
        attributes = re.search(r"<svg([^>]*)>", text).group(1)
        # The drawing attributes of the glyph's root (stroke width, caps) go on a group.
        keep = " ".join(re.findall(r'(?:fill|stroke[-a-z]*)="[^"]*"', attributes))
        return "<g %s>%s</g>" % (keep, match.group(1))

    def add(self, name, svg_body, width, height, backdrop):
        document = ('<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" '
                    'viewBox="0 0 %d %d">%s</svg>' % (width, height, width, height, svg_body))
        known = self.documents.get(name)
        if known and known[0] != document:
            raise ValueError("picture %s defined twice with different content" % name)
        self.documents[name] = (document, width, height, hex_rgb(backdrop))
        return name

    def place_glyph(self, glyph, colour, x, y, size):
        scale = size / 24.0
        return '<g color="%s" transform="translate(%g %g) scale(%g)">%s</g>' % (
            colour, x, y, scale, self.glyph_body(glyph))

    def render(self, folder):
        for name, (document, width, height, backdrop) in sorted(self.documents.items()):
            png = subprocess.run([self.rsvg, "-w", str(width), "-h", str(height)], input=document.encode(),
                                 stdout=subprocess.PIPE, check=True).stdout
            w, h, rows = decode_png(png)
            if (w, h) != (width, height):
                raise ValueError("%s rendered at %dx%d instead of %dx%d" % (name, w, h, width, height))
            pixels = []
            for row in rows:
                for x in range(w):
                    pixels.append(encode_pixel(row[4 * x], row[4 * x + 1], row[4 * x + 2], row[4 * x + 3],
                                               backdrop))
            write_bmp(os.path.join(folder, name + ".bmp"), w, h, pixels)
