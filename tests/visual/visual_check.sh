#!/usr/bin/env bash
# The visual check: the built program under Xvfb with openbox on our demo game, its main window
# before and after "Begin Transfer", its Cache Entries window and its location window, compared
# by structure (control edges, the colours of each region) with the committed pictures in
# docs/screenshots/, which the README shows and scripts/make-screenshots.sh refreshes when the
# look changes on purpose.
#
#   visual_check.sh LODESTOW_EXECUTABLE SOURCE_DIR OUT_DIR
#
# A picture that differs fails the check and stays in OUT_DIR for a person to look at, beside the
# reference and a picture marking the differences. Exits 77 (skipped) when a tool is missing.
set -uo pipefail
exe=${1:?usage: visual_check.sh LODESTOW_EXECUTABLE SOURCE_DIR OUT_DIR}
src=${2:?usage: visual_check.sh LODESTOW_EXECUTABLE SOURCE_DIR OUT_DIR}
out=${3:?usage: visual_check.sh LODESTOW_EXECUTABLE SOURCE_DIR OUT_DIR}
for tool in xvfb-run xdotool openbox import convert python3; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed"
        exit 77
    fi
done

rm -rf "$out"
mkdir -p "$out"
if ! bash "$src/scripts/make-screenshots.sh" --exe "$exe" --out "$out" --linux-only; then
    echo "FAIL: the screenshots could not be taken; what there is: $out"
    exit 1
fi
failures=0
for name in main-window main-window-after location-window entries-window; do
    if ! python3 "$src/tests/visual/visual_compare.py" "$src/docs/screenshots/$name.png" \
        "$out/$name.png" --diff "$out/$name.diff.png"; then
        cp "$src/docs/screenshots/$name.png" "$out/$name.reference.png"
        failures=$((failures + 1))
    fi
done
if ((failures > 0)); then
    echo "FAIL: $failures picture(s) differ from docs/screenshots/; look at them in $out" \
        "(NAME.png taken now, NAME.reference.png, NAME.diff.png marking the differences)." \
        "If the look changed on purpose, refresh the references: bash scripts/make-screenshots.sh"
    exit 1
fi
rm -rf "$out"
echo "visual check: all four pictures are alike in structure"
