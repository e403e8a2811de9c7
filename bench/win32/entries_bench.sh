#!/usr/bin/env bash
# The Windows cache entries window on a large cache, under Wine on a virtual X server: the
# catalogue read, F3 to the window shown, the spare-time examination, sorts, scrolling and the
# program's memory (bench/win32/entries_bench.cpp). A benchmark, not a test: it prints figures.
#
#   bash bench/win32/entries_bench.sh [ENTRIES] [BUILD_DIR]    (defaults: 100000, build-windows)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
entries=${1:-100000}
build_dir=${2:-build-windows}

wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
generator=(-G Ninja)
[[ ! -f $build_dir/CMakeCache.txt ]] || generator=()
cmake -S . -B "$build_dir" "${generator[@]}" --toolchain "$PWD/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DLODESTOW_BENCH=ON >/dev/null
cmake --build "$build_dir" -j2 --target lodestow_entries_bench

work=$(mktemp -d "${TMPDIR:-/tmp}/lodestow-entries-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
# A game whose index lists ENTRIES files of every kind, each in the cache, a few already installed.
python3 - "$work/game" "$entries" <<'PY'
import os, sys
game, n = sys.argv[1], int(sys.argv[2])
kinds = [(".unr", "Maps"), (".utx", "Textures"), (".uax", "Sounds"), (".umx", "Music"),
         (".u", None), (".int", None)]
for folder in ("Cache", "Maps", "Textures", "Sounds", "Music", "System"):
    os.makedirs(os.path.join(game, folder), exist_ok=True)
lines = ["[Cache]"]
for i in range(n):
    ext, folder = kinds[i % len(kinds)]
    cache = "%032X" % (i * 2654435761 % (1 << 128))
    name = "Entry%06d%s" % (i, ext)
    lines.append(cache + "=" + name)
    with open(os.path.join(game, "Cache", cache + ".uxx"), "wb") as f:
        f.write(bytes([i % 251]) * (64 + i % 512))
    if folder and i % 50 == 0:
        with open(os.path.join(game, folder, name), "wb") as f:
            f.write(b"installed")
with open(os.path.join(game, "Cache", "cache.ini"), "w", newline="") as f:
    f.write("\r\n".join(lines) + "\r\n")
PY

export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
game="Z:$(tr / '\\' <<<"$work/game")\\"
echo "entries bench: $entries entries, lodestow_entries_bench.exe under $("$wine" --version)"
bash scripts/in-xvfb.sh bash -c "'$wine' wineboot -i >/dev/null 2>&1
    /usr/bin/time -f 'the Wine process: %M KB at most resident' '$wine' '$build_dir/lodestow_entries_bench.exe' '$game'
    rc=\$?; '${wine%64}server' -k 2>/dev/null; exit \$rc"
