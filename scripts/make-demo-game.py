#!/usr/bin/env python3
"""Writes a small demo game for Lodestow: a Wine-style prefix with a game folder and a download cache.

    python3 scripts/make-demo-game.py OUT_DIR [--manifest FILE]

OUT_DIR/prefix is the prefix to give the program as WINEPREFIX: its drive C: (dosdevices/c: -> ../drive_c)
holds UnrealTournament/ with a placeholder System/UnrealTournament.exe, a logo picture drawn here,
the four destination folders, and Cache/ with cache.ini and the cached packages it lists.

Every byte is made by this script: the packages are synthetic (a package header whose GUID is the
cache name, and seeded noise), the logo is an original drawing. The script starts from scratch each time, so a demo can be run again
after a transfer has emptied the cache. It only ever deletes a folder that it made itself.

--native lays the game out as the native Linux build installs it, in a home folder of its own,
OUT_DIR/home (give it to the program as HOME): the game in .local/share/OldUnreal/UnrealTournament/
with a placeholder System64/ut-bin-amd64 and no executable, and the download cache where that build
keeps it, in the home folder's .utpg/Cache/, named by .utpg/System64/UnrealTournament.ini. The prefix
is then empty.

--ut2004 writes a UT2004-shaped game instead: UT2004/ with a placeholder System/UT2004.exe and a
System/UT2004.ini whose Paths put animations (.ukx) in CustomAnimations/ and hold a few entries the
program must pass over; its cache holds .ut2, .usx and .ukx packages, and Help/UT2004Logo.bmp is
its logo.

--manifest writes one line per cache entry, tab-separated: cache name, real file name, and the
folder the entry is meant to end up in ("Maps", ..., "System", or "Unknown File"), for tests.
"""

import argparse
import hashlib
import math
import os
import random
import shutil
import struct
import sys

MARKER = ".lodestow-demo"

# (real file name, size in bytes, folder it belongs in). Order is the order of cache.ini.
ENTRIES = [
    ("DM-Lodestar.unr", 180_000, "Maps"),
    ("CTF-Driftwood.unr", 240_000, "Maps"),
    ("LodeRock.utx", 96_000, "Textures"),
    ("AmbientHum.uax", 40_000, "Sounds"),
    ("Skyline.umx", 120_000, "Music"),
    ("LodeWeapons.u", 64_000, "System"),
    ("LodeWeapons.int", 2_000, "System"),
    ("Lodestar-ReadMe.txt", 1_500, "Unknown File"),
]

# The UT2004-shaped game's entries, and the Paths of its ini.
UT2004_ENTRIES = [
    ("DM-Lodestar.ut2", 200_000, "Maps"),
    ("LodeRock.utx", 96_000, "Textures"),
    ("LodeBlocks.usx", 80_000, "StaticMeshes"),
    ("LodeRig.ukx", 60_000, "CustomAnimations"),
    ("LodeWeapons.u", 64_000, "System"),
    ("LodeWeapons.int", 2_000, "System"),
    ("Lodestar-ReadMe.txt", 1_500, "Unknown File"),
]
UT2004_PATHS = [
    "../System/*.u",
    "../../Outside/*.ukx",  # climbs out of the game folder: passed over
    "C:\\Anims\\*.ukx",    # absolute: passed over
    "../Anims/NoWildcard.ukx",
    "../CustomAnimations/*.ukx",
    "..\\Maps\\*.ut2",
    "../Textures/*.utx",
    "../StaticMeshes/*.usx",
    "../Animations/*.ukx",  # a second claim of .ukx: the first valid one wins
]

LOGO_W, LOGO_H = 489, 273


def cache_name(real_name):
    # Opaque 32-hex-digit names, stable from run to run so that tests can rely on them.
    return hashlib.md5(("lodestow-demo:" + real_name).encode()).hexdigest().upper()


PACKAGE_EXTENSIONS = (".unr", ".utx", ".uax", ".umx", ".u", ".ut2", ".usx", ".ukx")


def package_bytes(real_name, size):
    """A package header of file version 69 whose GUID is the entry's cache name (as the game names
    what it downloads), with tables that fit, then seeded noise; text for anything else."""
    rng = random.Random(real_name)
    if not real_name.lower().endswith(PACKAGE_EXTENSIONS):
        text = ("Lodestow demo file %s\r\n" % real_name).encode()
        return (text * (size // len(text) + 1))[:size]
    name = cache_name(real_name)
    guid = [int(name[i:i + 8], 16) for i in range(0, 32, 8)]
    header = struct.pack("<IHHI", 0x9E2A83C1, 69, 0, 1)
    header += struct.pack("<6I", 3, 64, 2, 96, 1, 128)
    header += struct.pack("<4I", *guid) + struct.pack("<3I", 1, 2, 3)
    return header + rng.randbytes(max(0, size - len(header)))


def write_bmp(path, width, height, pixel):
    """24-bit bottom-up BMP; pixel(x, y) gives (r, g, b) with y = 0 at the top."""
    row_size = (width * 3 + 3) & ~3
    pad = b"\0" * (row_size - width * 3)
    rows = []
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        rows.append(bytes(row) + pad)
    image = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(image), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(image), 0, 0, 14 + len(info))
    with open(path, "wb") as f:
        f.write(header + info + image)


def smoothstep(edge0, edge1, v):
    t = min(1.0, max(0.0, (v - edge0) / (edge1 - edge0)))
    return t * t * (3 - 2 * t)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


STAR = []
for i in range(16):
    r = (72 if i % 4 == 0 else 44) if i % 2 == 0 else 14
    a = i * math.pi / 8
    STAR.append((r * math.cos(a), r * math.sin(a)))


def star_radius(theta):
    """Distance from the centre to the star's outline in direction theta."""
    step = math.pi / 8
    i = int((theta % (2 * math.pi)) // step) % 16
    (x1, y1), (x2, y2) = STAR[i], STAR[(i + 1) % 16]
    ux, uy = math.cos(theta), math.sin(theta)
    ex, ey = x2 - x1, y2 - y1
    return (x1 * ey - y1 * ex) / (ux * ey - uy * ex)


def logo_pixel(x, y):
    """A lodestar: a compass star in a double ring over a dark blue gradient with a faint grid."""
    w, h = LOGO_W, LOGO_H
    # Background: night blue at the top to near black at the bottom, with a soft glow behind the emblem.
    base = mix((18, 26, 52), (6, 7, 12), y / (h - 1))
    cx, cy = w / 2, h / 2 + 4
    dx, dy = x - cx, y - cy
    d = math.hypot(dx, dy)
    base = mix(base, (40, 52, 92), 0.55 * (1 - smoothstep(0, 150, d)))
    # Faint diagonal grid, fading out towards the edges.
    if (x + y) % 24 == 0 or (x - y) % 24 == 0:
        base = mix(base, (52, 64, 104), 0.35 * (1 - smoothstep(90, 260, d)))

    gold, bronze = (236, 188, 72), (150, 96, 38)
    color = base
    # Two rings.
    for radius, width, tint in ((88, 4.0, gold), (78, 1.6, bronze)):
        a = 1 - smoothstep(width / 2, width / 2 + 1.2, abs(d - radius))
        color = mix(color, tint, a)
    # Tick marks outside the rings every 15 degrees.
    angle = math.atan2(dy, dx)
    if 92 < d < 100:
        tick = abs(((angle / (math.pi / 12)) + 0.5) % 1 - 0.5) * (math.pi / 12) * d
        color = mix(color, gold, 1 - smoothstep(0.6, 1.8, tick))

    # Star: four long points on the axes and four short ones between them, with straight edges.
    sr = star_radius(angle)
    inside = 1 - smoothstep(sr - 1.2, sr + 0.6, d)
    if inside > 0:
        # Each point has a lit and a shaded half, as if cut like a gem.
        lit = (angle % (math.pi / 4)) < math.pi / 8
        shade = mix(gold, (255, 236, 170), 0.5) if lit else mix(gold, bronze, 0.55)
        color = mix(color, shade, inside)
    # A dark core with a bright centre.
    core = 1 - smoothstep(9, 10.5, d)
    color = mix(color, (12, 14, 24), core)
    color = mix(color, (255, 244, 200), 1 - smoothstep(2.5, 4.0, d))
    return tuple(int(round(min(255, max(0, c)))) for c in color)


def write_ini(path, cache_path):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", newline="\n") as f:
        f.write("[Core.System]\nPurgeCacheDays=0\nCachePath=%s\nCacheExt=.uxx\n\n[Engine.Engine]\n" % cache_path)


def make_game(out_dir, manifest=None, native=False, ut2004=False):
    out_dir = os.path.abspath(out_dir)
    if os.path.isdir(out_dir) and os.listdir(out_dir):
        if not os.path.exists(os.path.join(out_dir, MARKER)):
            sys.exit("make-demo-game: %s exists and was not made by this script; not touching it" % out_dir)
        shutil.rmtree(out_dir)
    os.makedirs(out_dir, exist_ok=True)
    with open(os.path.join(out_dir, MARKER), "w") as f:
        f.write("Demo game made by scripts/make-demo-game.py; the folder is replaced on every run.\n")

    prefix = os.path.join(out_dir, "prefix")
    drive_c = os.path.join(prefix, "drive_c")
    os.makedirs(drive_c)
    os.makedirs(os.path.join(prefix, "dosdevices"))
    os.symlink("../drive_c", os.path.join(prefix, "dosdevices", "c:"))
    if native:
        home = os.path.join(out_dir, "home")
        game = os.path.join(home, ".local", "share", "OldUnreal", "UnrealTournament")
        system, program = "System64", "ut-bin-amd64"
        cache = os.path.join(home, ".utpg", "Cache")
        # The game's own ini names a cache of its own; the player's copy in the home folder wins.
        write_ini(os.path.join(game, system, "UnrealTournament.ini"), "..\\GameFolderCache")
        write_ini(os.path.join(home, ".utpg", system, "UnrealTournament.ini"), "../Cache")
    elif ut2004:
        game = os.path.join(drive_c, "UT2004")
        system, program = "System", "UT2004.exe"
        cache = os.path.join(game, "Cache")
        os.makedirs(os.path.join(game, system))
        with open(os.path.join(game, system, "UT2004.ini"), "w", newline="\r\n") as f:
            f.write("[Core.System]\nPurgeCacheDays=0\nCachePath=../Cache\nCacheExt=.uxx\n")
            f.write("".join("Paths=%s\n" % p for p in UT2004_PATHS) + "\n[Engine.Engine]\n")
    else:
        game = os.path.join(drive_c, "UnrealTournament")
        system, program = "System", "UnrealTournament.exe"
        cache = os.path.join(game, "Cache")
    subs = ("Maps", "Textures", "StaticMeshes", "CustomAnimations") if ut2004 else ("Maps", "Textures", "Sounds", "Music")
    for folder in [os.path.join(game, sub) for sub in (system, "Help") + subs] + [cache]:
        os.makedirs(folder, exist_ok=True)

    with open(os.path.join(game, system, program), "wb") as f:
        f.write(b"Placeholder for the game's program (Lodestow demo game).\n")
    if ut2004:
        # Its own logo, under its own name: the same star in other colours.
        write_bmp(os.path.join(game, "Help", "UT2004Logo.bmp"), LOGO_W, LOGO_H,
                  lambda x, y: logo_pixel(x, y)[::-1])
    else:
        write_bmp(os.path.join(game, "Help", "UnrealTournamentLogo.bmp"), LOGO_W, LOGO_H, logo_pixel)

    lines = ["[Cache]"]
    rows = []
    for real_name, size, folder in UT2004_ENTRIES if ut2004 else ENTRIES:
        name = cache_name(real_name)
        with open(os.path.join(cache, name + ".uxx"), "wb") as f:
            f.write(package_bytes(real_name, size))
        lines.append("%s=%s" % (name, real_name))
        rows.append((name, real_name, folder))
    # The game writes its index with Windows line ends.
    with open(os.path.join(cache, "cache.ini"), "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n").encode("cp1252"))

    if manifest:
        with open(manifest, "w") as f:
            for row in rows:
                f.write("\t".join(row) + "\n")
    return prefix


def main():
    parser = argparse.ArgumentParser(description="Write Lodestow's demo game (a Wine-style prefix).")
    parser.add_argument("out_dir", help="folder to (re)create; the prefix is OUT_DIR/prefix")
    parser.add_argument("--manifest", help="write the cache entries and where they belong to this file")
    parser.add_argument("--native", action="store_true",
                        help="a native Linux install in OUT_DIR/home, its cache in that home folder")
    parser.add_argument("--ut2004", action="store_true", help="a UT2004-shaped game in the prefix's C:\\UT2004")
    args = parser.parse_args()
    prefix = make_game(args.out_dir, args.manifest, args.native, args.ut2004)
    if args.native:
        print("make-demo-game: demo game written; HOME=%s WINEPREFIX=%s"
              % (os.path.join(os.path.abspath(args.out_dir), "home"), prefix))
    else:
        print("make-demo-game: demo game written; WINEPREFIX=%s" % prefix)


if __name__ == "__main__":
    main()
