#!/usr/bin/env python3
"""Writes the seed corpus of bitmap_fuzzer into fuzz/corpus/bitmap_fuzzer/.

Small bitmaps of our own making, one per layout the decoder reads: uncompressed at each depth,
bit fields, run-length encoded (8 and 4 bits), top-down, and the OS/2 core header.
"""
import os
import struct

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "bitmap_fuzzer")
PALETTE = bytes([0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 255, 255, 255, 0])


def bmp(info_size, width, height, bits, compression=0, tables=b"", pixels=b"", colours=0, more=b""):
    if info_size == 12:
        info = struct.pack("<IHHHH", 12, width, height, 1, bits)
    else:
        info = struct.pack("<IiiHHIIiiII", info_size, width, height, 1, bits, compression, 0,
                           2835, 2835, colours, 0) + more
        info = info.ljust(info_size, b"\0")
    offset = 14 + len(info) + len(tables)
    return b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + info + tables + pixels


SEEDS = {
    "rgb24": bmp(40, 2, 2, 24, pixels=bytes(16)),
    "rgb32-top-down": bmp(40, 2, -2, 32, pixels=bytes(16)),
    "pal8": bmp(40, 2, 2, 8, tables=PALETTE, pixels=bytes([2, 3, 0, 0, 0, 1, 0, 0]), colours=4),
    "pal4": bmp(40, 2, 2, 4, tables=PALETTE, pixels=bytes([0x23, 0, 0, 0, 1, 0, 0, 0]), colours=4),
    "pal1": bmp(40, 9, 1, 1, tables=PALETTE[:8], pixels=bytes([0xA5, 0x80, 0, 0]), colours=2),
    "rgb16": bmp(40, 2, 2, 16, pixels=bytes(8)),
    "fields565": bmp(40, 2, 2, 16, 3, struct.pack("<III", 0xF800, 0x07E0, 0x1F), bytes(8)),
    "v5-fields": bmp(124, 2, 2, 32, 3, pixels=bytes(16), more=struct.pack("<III", 0xFF, 0xFF00, 0xFF0000)),
    "rle8": bmp(40, 4, 2, 8, 1, PALETTE, bytes([0, 3, 1, 2, 3, 0, 0, 2, 0, 1, 1, 3, 0, 1]), 4),
    "rle4": bmp(40, 2, 2, 4, 2, PALETTE, bytes([2, 0x23, 0, 0, 1, 0, 1, 0x10, 0, 1]), 4),
    "os2-core": bmp(12, 2, 2, 8, tables=bytes([0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255]),
                    pixels=bytes([2, 3, 0, 0, 0, 1, 0, 0])),
}

os.makedirs(OUT, exist_ok=True)
for name, data in SEEDS.items():
    with open(os.path.join(OUT, name + ".bmp"), "wb") as f:
        f.write(data)
print(f"wrote {len(SEEDS)} seeds to {OUT}")
