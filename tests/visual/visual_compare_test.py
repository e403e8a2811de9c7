#!/usr/bin/env python3
"""The structural comparison must tell real damage from harmless change: each reference picture,
altered the way a broken build would alter it (a control gone, a region in another colour, the
window another size), must be found different; the same picture moved by a pixel or with its
text drawn a little differently must not.

    visual_compare_test.py REFERENCE_FOLDER [WORK_FOLDER]

REFERENCE_FOLDER holds main-window.png, main-window-after.png and location-window.png. Exit 0 when
every case comes out as it should. Needs ImageMagick's `convert`.
"""

import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
COMPARE = os.path.join(HERE, "visual_compare.py")

# (name, picture, ImageMagick operations that make the altered copy, must it still pass?)
# Geometry in pixels of the pictures the script takes: the main window's "X" box, its "Begin
# Transfer" button, the transfer status panel's progress bar; the location window's title bar and
# its "Cancel" button.
CASES = [
    ("unchanged", "main-window.png", [], True),
    ("label in another font", "main-window.png",
     ["-fill", "#111932", "-draw", "rectangle 54,16 125,44", "-fill", "#e0e000",
      "-font", "Nimbus-Sans-Regular", "-pointsize", "11",
      "-annotate", "+58+28", "Files Found in", "-annotate", "+92+42", "Cache"], True),
    ("caption text blurred", "location-window.png",
     ["-region", "300x22+8+26", "-blur", "0x0.8"], True),
    ("X box gone", "main-window.png",
     ["-fill", "#121933", "-draw", "rectangle 473,2 490,19"], False),
    ("Begin Transfer gone", "main-window.png",
     ["-fill", "#080a13", "-draw", "rectangle 163,243 333,263"], False),
    ("progress bar red", "main-window-after.png",
     ["-region", "357x11+70+144", "-fuzz", "25%", "-fill", "#d02020", "-opaque", "#0a246a"], False),
    ("title bar blue", "location-window.png",
     ["-region", "364x20+0+0", "-fuzz", "20%", "-fill", "#2030d0", "-opaque", "red"], False),
    ("Cancel button gone", "location-window.png",
     ["-fill", "black", "-draw", "rectangle 118,238 234,274"], False),
    ("window taller", "location-window.png",
     ["-background", "black", "-gravity", "south", "-splice", "0x12"], False),
]


def main():
    refs = sys.argv[1]
    work = sys.argv[2] if len(sys.argv) > 2 else tempfile.mkdtemp(prefix="lodestow-visual-test.")
    os.makedirs(work, exist_ok=True)
    failures = 0
    for name, picture, ops, alike in CASES:
        reference = os.path.join(refs, picture)
        altered = os.path.join(work, name.replace(" ", "-") + ".png")
        subprocess.run(["convert", reference] + ops + [altered], check=True)
        result = subprocess.run([sys.executable, COMPARE, reference, altered,
                                 "--diff", altered.replace(".png", ".diff.png")],
                                capture_output=True, text=True)
        ok = result.returncode == (0 if alike else 1)
        print("%s: %s (%s)" % ("ok" if ok else "FAIL", name,
                               "alike" if result.returncode == 0 else "different"))
        if not ok:
            failures += 1
            print(result.stdout.rstrip())
    print("%d of %d cases as they should be; pictures in %s" % (len(CASES) - failures, len(CASES), work))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
