#!/usr/bin/env python3
"""Compares a screenshot of a window with its reference by structure, not pixel by pixel.

    visual_compare.py REFERENCE.png ACTUAL.png [--diff DIFF.png] [--resampled]

Two things must agree, so that another font (or the same font drawn a little differently) passes,
while a missing control, a control in the wrong place or a region in the wrong colour fails:

  control edges   every long straight edge (a run of at least EDGE_RUN pixels across which the
                  brightness jumps by EDGE_STEP or more: the border of a button, a box, a panel, the
                  banner) in one picture has an edge within EDGE_SLACK pixels in the other;
  region colours  the window is cut into CELL x CELL squares; in each, the colours (coarsely
                  binned) must cover the square in nearly the same shares (histogram intersection
                  at least CELL_MATCH).

The window sizes must agree within SIZE_SLACK pixels. With --resampled (ACTUAL is a window taken
at another scale and brought back to the reference's size) only the region colours count: the
resampling blurs one-pixel lines below the edge step. Exit status 0: alike; 1: different (the
reasons are printed, and with --diff a picture marks them: differing squares tinted red, missing
edges magenta, extra edges cyan); 2: a picture could not be read. Uses ImageMagick's `convert` to
read PNG; otherwise the standard library only.
"""

import argparse
import subprocess
import sys

CELL = 16
CELL_MATCH = 0.5
EDGE_STEP = 48
EDGE_RUN = 20
EDGE_SLACK = 2
EDGE_COVER = 0.6
SIZE_SLACK = 2


class Picture:
    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    @staticmethod
    def load(path):
        ppm = subprocess.run(["convert", path, "-alpha", "off", "-depth", "8", "ppm:-"],
                             check=True, capture_output=True).stdout
        # P6 <w> <h> <max>\n<bytes>
        fields, pos = [], 2
        while len(fields) < 3:
            while ppm[pos:pos + 1].isspace():
                pos += 1
            end = pos
            while not ppm[end:end + 1].isspace():
                end += 1
            fields.append(int(ppm[pos:end]))
            pos = end
        width, height, _ = fields
        return Picture(width, height, ppm[pos + 1:pos + 1 + width * height * 3])

    def luma(self):
        rgb = self.rgb
        return [(rgb[i] * 299 + rgb[i + 1] * 587 + rgb[i + 2] * 114) // 1000
                for i in range(0, len(rgb), 3)]


def long_edges(pic, width, height):
    """Sets of edge pixels that belong to long straight runs: (horizontal, vertical). A horizontal
    edge pixel (x, y) lies between rows y and y + 1; a vertical one between columns x and x + 1."""
    luma = pic.luma()
    w = pic.width
    horizontal, vertical = set(), set()
    for y in range(height - 1):
        run = []
        for x in range(width + 1):
            if x < width and abs(luma[y * w + x] - luma[(y + 1) * w + x]) >= EDGE_STEP:
                run.append(x)
                continue
            if len(run) >= EDGE_RUN:
                horizontal.update((rx, y) for rx in run)
            run = []
    for x in range(width - 1):
        run = []
        for y in range(height + 1):
            if y < height and abs(luma[y * w + x] - luma[y * w + x + 1]) >= EDGE_STEP:
                run.append(y)
                continue
            if len(run) >= EDGE_RUN:
                vertical.update((x, ry) for ry in run)
            run = []
    return horizontal, vertical


def uncovered(edges, others, across):
    """Pixels of edges with no pixel of others within EDGE_SLACK across the edge (and one pixel
    along it), grouped into runs of at least EDGE_RUN / 2 (shorter leftovers are noise)."""
    missing = []
    for (x, y) in edges:
        found = False
        for d in range(-EDGE_SLACK, EDGE_SLACK + 1):
            for a in (-1, 0, 1):
                probe = (x + a, y + d) if across == "y" else (x + d, y + a)
                if probe in others:
                    found = True
                    break
            if found:
                break
        if not found:
            missing.append((x, y))
    # Keep only pixels that form runs along the edge.
    keep = set()
    key = (lambda p: (p[1], p[0])) if across == "y" else (lambda p: (p[0], p[1]))
    run = []
    for p in sorted(missing, key=key) + [None]:
        if run and p is not None and key(p)[0] == key(run[-1])[0] and key(p)[1] == key(run[-1])[1] + 1:
            run.append(p)
            continue
        if len(run) >= EDGE_RUN // 2:
            keep.update(run)
        run = [p] if p is not None else []
    return keep


def cell_histograms(pic, width, height):
    cells = {}
    w = pic.width
    for cy in range(0, height, CELL):
        for cx in range(0, width, CELL):
            hist, count = {}, 0
            for y in range(cy, min(cy + CELL, height)):
                base = (y * w + cx) * 3
                for x in range(cx, min(cx + CELL, width)):
                    i = base + (x - cx) * 3
                    key = (pic.rgb[i] >> 6, pic.rgb[i + 1] >> 6, pic.rgb[i + 2] >> 6)
                    hist[key] = hist.get(key, 0) + 1
                    count += 1
            cells[(cx, cy)] = {k: v / count for k, v in hist.items()}
    return cells


def compare(ref, act, edges=True):
    """Returns (list of reasons, differing cells, missing edge pixels, extra edge pixels)."""
    reasons = []
    if abs(ref.width - act.width) > SIZE_SLACK or abs(ref.height - act.height) > SIZE_SLACK:
        reasons.append("window size %dx%d, the reference is %dx%d"
                       % (act.width, act.height, ref.width, ref.height))
        return reasons, [], set(), set()
    width, height = min(ref.width, act.width), min(ref.height, act.height)

    missing, extra = set(), set()
    if edges:
        ref_h, ref_v = long_edges(ref, width, height)
        act_h, act_v = long_edges(act, width, height)
        missing = uncovered(ref_h, act_h, "y") | uncovered(ref_v, act_v, "x")
        extra = uncovered(act_h, ref_h, "y") | uncovered(act_v, ref_v, "x")
    if missing:
        reasons.append("%d pixels of control edges are missing, around %s"
                       % (len(missing), describe(missing)))
    if extra:
        reasons.append("%d pixels of control edges are not in the reference, around %s"
                       % (len(extra), describe(extra)))

    ref_cells, act_cells = cell_histograms(ref, width, height), cell_histograms(act, width, height)
    differing = []
    for cell, rh in ref_cells.items():
        ah = act_cells[cell]
        if sum(min(v, ah.get(k, 0)) for k, v in rh.items()) < CELL_MATCH:
            differing.append(cell)
    if differing:
        reasons.append("%d of %d regions have other colours, around %s"
                       % (len(differing), len(ref_cells), describe(differing)))
    return reasons, differing, missing, extra


def describe(points):
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    return "x %d-%d, y %d-%d" % (min(xs), max(xs), min(ys), max(ys))


def write_diff(path, act, differing, missing, extra):
    rgb = bytearray(act.rgb)
    w = act.width
    for (cx, cy) in differing:
        for y in range(cy, min(cy + CELL, act.height)):
            for x in range(cx, min(cx + CELL, w)):
                i = (y * w + x) * 3
                rgb[i] = (rgb[i] + 255) // 2
                rgb[i + 1] //= 2
                rgb[i + 2] //= 2
    for colour, points in (((255, 0, 255), missing), ((0, 255, 255), extra)):
        for (x, y) in points:
            if x < w and y < act.height:
                i = (y * w + x) * 3
                rgb[i:i + 3] = bytes(colour)
    header = b"P6 %d %d 255\n" % (w, act.height)
    subprocess.run(["convert", "ppm:-", path], input=header + bytes(rgb), check=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("reference")
    parser.add_argument("actual")
    parser.add_argument("--diff", help="write a picture that marks the differences here")
    parser.add_argument("--resampled", action="store_true",
                        help="the actual picture was resized: compare region colours only")
    args = parser.parse_args()
    try:
        ref, act = Picture.load(args.reference), Picture.load(args.actual)
    except (OSError, subprocess.CalledProcessError, ValueError) as e:
        print("visual_compare: cannot read the pictures: %s" % e)
        return 2
    reasons, differing, missing, extra = compare(ref, act, edges=not args.resampled)
    if not reasons:
        print("visual_compare: %s looks like %s" % (args.actual, args.reference))
        return 0
    print("visual_compare: %s differs from %s:" % (args.actual, args.reference))
    for r in reasons:
        print("  " + r)
    if args.diff:
        write_diff(args.diff, act, differing, missing, extra)
        print("  marked in %s" % args.diff)
    return 1


if __name__ == "__main__":
    sys.exit(main())
