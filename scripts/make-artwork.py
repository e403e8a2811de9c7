#!/usr/bin/env python3
"""Draws Lodestow's own artwork: the main window's icon and the banner down its left edge.

    scripts/make-artwork.py [output folder]
        (default: src/forms/artwork, and packaging/linux/icons for the desktop icons)

Standard library only, so the pictures come out the same on every machine:
  Lodestow.ico  45 x 45, 256-colour palette, icon file layout (an arrow stowing into a tray,
                inside a ring; outside the ring is transparent)
  Banner.bmp    91 x 722, 24-bit device-independent bitmap: "LODESTOW" in yellow on black,
                running from bottom to top
  NxN/org.lodestow.Lodestow.png
                the same icon drawn afresh at the desktop's sizes (48, 64, 128, 256), as RGBA
                PNG with smooth edges against transparency
"""

import math
import os
import struct
import sys
import zlib

YELLOW = (255, 255, 0)
GOLD = (255, 190, 0)
SHADOW = (110, 55, 0)
BLACK = (0, 0, 0)

APP_ID = "org.lodestow.Lodestow"  # the desktop entry's id, which names its icon
ICON_SIZES = (48, 64, 128, 256)


# --- geometry -------------------------------------------------------------------------------

def segment_distance(px, py, ax, ay, bx, by):
    """Distance from point p to the segment a-b."""
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length2))
    cx, cy = ax + t * dx, ay + t * dy
    return math.hypot(px - cx, py - cy)


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


# --- the banner -----------------------------------------------------------------------------

# Our own stroke alphabet on a 4 x 6 grid (x right, y down), only the letters we need.
GLYPHS = {
    "L": [((0, 0), (0, 6)), ((0, 6), (4, 6))],
    "O": [((1, 0), (3, 0)), ((3, 0), (4, 1)), ((4, 1), (4, 5)), ((4, 5), (3, 6)),
          ((3, 6), (1, 6)), ((1, 6), (0, 5)), ((0, 5), (0, 1)), ((0, 1), (1, 0))],
    "D": [((0, 0), (0, 6)), ((0, 0), (3, 0)), ((3, 0), (4, 1)), ((4, 1), (4, 5)),
          ((4, 5), (3, 6)), ((3, 6), (0, 6))],
    "E": [((0, 0), (0, 6)), ((0, 0), (4, 0)), ((0, 3), (3, 3)), ((0, 6), (4, 6))],
    "S": [((4, 0), (1, 0)), ((1, 0), (0, 1)), ((0, 1), (0, 2)), ((0, 2), (1, 3)),
          ((1, 3), (3, 3)), ((3, 3), (4, 4)), ((4, 4), (4, 5)), ((4, 5), (3, 6)),
          ((3, 6), (0, 6))],
    "T": [((0, 0), (4, 0)), ((2, 0), (2, 6))],
    "W": [((0, 0), (1, 6)), ((1, 6), (2, 2)), ((2, 2), (3, 6)), ((3, 6), (4, 0))],
}


def banner(width=91, height=722, word="LODESTOW"):
    """Returns rows of RGB tuples, top row first."""
    # Lay the word out along a horizontal strip (length = the banner's height), then turn the
    # strip a quarter anticlockwise so that it reads from bottom to top.
    length, across = height, width
    half_stroke = 5.5
    letter_len, letter_across = 62.0, 64.0
    advance = 84.0
    start = (length - (advance * (len(word) - 1) + letter_len)) / 2
    top = (across - letter_across) / 2
    unit_x = (letter_len - 2 * half_stroke) / 4
    unit_y = (letter_across - 2 * half_stroke) / 6

    strokes = []  # (letter box start, end along the strip, segments in pixels)
    for i, ch in enumerate(word):
        x0 = start + i * advance
        segs = []
        for (ax, ay), (bx, by) in GLYPHS[ch]:
            segs.append((x0 + half_stroke + ax * unit_x, top + half_stroke + ay * unit_y,
                         x0 + half_stroke + bx * unit_x, top + half_stroke + by * unit_y))
        strokes.append((x0 - 8, x0 + letter_len + 8, segs))

    def coverage(sx, sy, dx=0.0, dy=0.0):
        # 3 x 3 samples per pixel for smooth edges.
        for lo, hi, segs in strokes:
            if lo <= sx <= hi:
                break
        else:
            return 0.0
        hits = 0
        for j in range(3):
            for k in range(3):
                px = sx + (j + 0.5) / 3 - dx
                py = sy + (k + 0.5) / 3 - dy
                if min(segment_distance(px, py, *s) for s in segs) <= half_stroke:
                    hits += 1
        return hits / 9.0

    strip = []
    for sy in range(across):
        row = []
        for sx in range(length):
            shade = coverage(sx, sy, 3.0, 3.0)
            colour = mix(BLACK, SHADOW, shade)
            ink = coverage(sx, sy)
            if ink > 0:
                fill = mix(YELLOW, GOLD, max(0.0, min(1.0, (sy - top) / letter_across)))
                colour = mix(colour, fill, ink)
            row.append(colour)
        strip.append(row)

    # A thin yellow rule near each long edge frames the lettering.
    for sx in range(12, length - 12):
        strip[4][sx] = mix(BLACK, YELLOW, 0.75)
        strip[across - 5][sx] = mix(BLACK, YELLOW, 0.75)

    # Quarter turn anticlockwise: strip (sx, sy) -> image (x = sy, y = length - 1 - sx).
    return [[strip[x][height - 1 - y] for x in range(width)] for y in range(height)]


def write_bmp24(path, rows):
    height, width = len(rows), len(rows[0])
    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += bytes(stride - len(line))
        pixels += line
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


# --- the icon -------------------------------------------------------------------------------

def icon_coverage(size=45):
    """Rows of (ink, inside) per pixel, top first: the share of the pixel covered by the drawing
    and by the disc it sits on. Drawn on a 45-unit design grid scaled to the size."""
    k = size / 45.0
    c = 22.0  # the design's centre, in design units
    outer, ring = 21.5, 3.2
    # Arrow down into an open tray.
    arrow = [((c, 9.5), (c, 26.0)), ((c, 27.5), (c - 7.0, 20.0)), ((c, 27.5), (c + 7.0, 20.0))]
    tray = [((c - 11.5, 24.0), (c - 11.5, 32.0)), ((c - 11.5, 32.0), (c + 11.5, 32.0)),
            ((c + 11.5, 32.0), (c + 11.5, 24.0))]
    half_arrow, half_tray = 2.4, 1.8

    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            ink = inside = 0
            for j in range(4):
                for i in range(4):
                    px, py = (x + (j + 0.5) / 4) / k, (y + (i + 0.5) / 4) / k
                    r = math.hypot(px - c - 0.5, py - c - 0.5)
                    if r <= outer:
                        inside += 1
                        if r >= outer - ring:
                            ink += 1
                        elif min(segment_distance(px - 0.5, py - 0.5, ax, ay, bx, by)
                                 for (ax, ay), (bx, by) in arrow) <= half_arrow:
                            ink += 1
                        elif min(segment_distance(px - 0.5, py - 0.5, ax, ay, bx, by)
                                 for (ax, ay), (bx, by) in tray) <= half_tray:
                            ink += 1
            row.append((ink / 16.0, inside / 16.0))
        rows.append(row)
    return rows


def icon(size=45):
    """Returns (palette of 256 RGB, rows of palette indices, rows of transparency), top first."""
    levels = 64  # a ramp from black to yellow; the rest of the palette stays black
    palette = [mix(BLACK, YELLOW, i / (levels - 1)) for i in range(levels)]
    palette += [BLACK] * (256 - len(palette))

    indices, transparent = [], []
    for row in icon_coverage(size):
        irow, trow = [], []
        for ink, inside in row:
            clear = inside < 0.5
            trow.append(clear)
            irow.append(0 if clear else int(round(ink / max(inside, 1 / 16) * (levels - 1))))
        indices.append(irow)
        transparent.append(trow)
    return palette, indices, transparent


def icon_rgba(size):
    """Rows of RGBA tuples, top first: the icon at any size, its disc's edge blended into
    transparency instead of the 45-pixel icon's hard mask."""
    rows = []
    for row in icon_coverage(size):
        out = []
        for ink, inside in row:
            if inside == 0:
                out.append((0, 0, 0, 0))
            else:
                r, g, b = mix(BLACK, YELLOW, ink / inside)
                out.append((r, g, b, int(round(inside * 255))))
        rows.append(out)
    return rows


def write_png_rgba(path, rows):
    height, width = len(rows), len(rows[0])

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    raw = bytearray()
    for row in rows:
        raw.append(0)  # filter: none
        for pixel in row:
            raw += bytes(pixel)
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def write_ico8(path, palette, indices, transparent):
    height, width = len(indices), len(indices[0])
    xor_stride = (width + 3) & ~3
    and_stride = ((width + 31) // 32) * 4
    xor = bytearray()
    for row in reversed(indices):
        xor += bytes(row) + bytes(xor_stride - width)
    mask = bytearray()
    for row in reversed(transparent):
        bits = bytearray(and_stride)
        for x, clear in enumerate(row):
            if clear:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    pal = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 8, 0, len(xor) + len(mask),
                       0, 0, 256, 0)
    image = info + pal + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", width, height, 0, 0, 1, 8, len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(directory + entry + image)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    if len(sys.argv) > 1:
        out = icons = sys.argv[1]
    else:
        out = os.path.join(here, "..", "src", "forms", "artwork")
        icons = os.path.join(here, "..", "packaging", "linux", "icons")
    os.makedirs(out, exist_ok=True)
    write_bmp24(os.path.join(out, "Banner.bmp"), banner())
    write_ico8(os.path.join(out, "Lodestow.ico"), *icon())
    for size in ICON_SIZES:
        folder = os.path.join(icons, "%dx%d" % (size, size))
        os.makedirs(folder, exist_ok=True)
        write_png_rgba(os.path.join(folder, APP_ID + ".png"), icon_rgba(size))


if __name__ == "__main__":
    main()
