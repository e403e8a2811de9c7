#!/usr/bin/env python3
"""Writes the seed corpus of package_fuzzer into fuzz/corpus/package_fuzzer/.

Package headers of our own making, one per layout the reader must handle: the GUID in the header
(file version 68 and later) or as the last entry of the heritage table (before 68), and a few that
are cut short or carry hostile numbers.
"""
import pathlib
import random
import struct

OUT = pathlib.Path(__file__).resolve().parent / "corpus" / "package_fuzzer"
GUID = (0x308EA24F, 0x79FEB145, 0xEE8651F3, 0xEB404B83)


def package(version, licensee=0, size=256, guid=GUID):
    rng = random.Random(version)
    body = bytearray(rng.randbytes(size))
    head = struct.pack("<IHHI", 0x9E2A83C1, version, licensee, 1)
    if version >= 68:
        tables = 64
        rest = struct.pack("<4I", *guid) + struct.pack("<3I", 1, 2, 3)
    else:
        tables = 76
        earlier = tuple(w ^ 0x5A5A5A5A for w in guid)
        rest = struct.pack("<2I", 2, 44) + struct.pack("<4I", *earlier) + struct.pack("<4I", *guid)
    counts = struct.pack("<6I", 3, tables, 2, tables + 32, 1, tables + 64)
    header = head + counts + rest
    body[: len(header)] = header
    return bytes(body)


SEEDS = {
    "v61-heritage": package(61),
    "v68-guid": package(68),
    "v69-licensee": package(69, 5),
    "v128": package(128),
    "v129-licensee": package(129, 29),
    "cut-in-header": package(128)[:40],
    "cut-in-heritage": package(63)[:70],
    "hostile-counts": package(128)[:12] + struct.pack("<6I", 0xFFFFFFFF, 64, 0x7FFFFFFF, 96, 1, 128)
    + package(128)[36:],
    "not-a-package": b"LODESTOW DEMO PACKAGE\nDM-Lodestar.unr\n" + bytes(64),
}


def main():
    OUT.mkdir(parents=True, exist_ok=True)
    for name, data in SEEDS.items():
        (OUT / ("seed-" + name)).write_bytes(data)


if __name__ == "__main__":
    main()
