#!/usr/bin/env bash
# The Windows program's cost per file under Wine, against the least work that does the same there.
#
#   bash bench/wine_bench.sh [ENTRIES...]         (default: 1666 13334)
#
# For each size, a generated game (4 KiB packages, 2 of 3 transferable) is transferred by the
# headless driver of the Windows build (build-windows/tests/transfer_driver.exe, made by
# scripts/test-windows.sh) and, on a fresh copy, by bench/bare_move_loop.cpp (MoveFileExW per file,
# the index written once), both under Wine in one running Wine session. Then lodestow.exe
# (build-windows/lodestow.exe) is launched on a 20,000-entry cache in that session under a virtual
# X server, and the time until its main window shows is printed. A benchmark, never a test.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
sizes=("$@")
((${#sizes[@]})) || sizes=(1666 13334)
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(dirname "$wine")/wineserver
driver=${LODESTOW_WINE_DRIVER:-build-windows/tests/transfer_driver.exe}
exe=${LODESTOW_WINE_EXE:-build-windows/lodestow.exe}
[[ -f $driver ]] || { echo "wine_bench: $driver is missing (scripts/test-windows.sh)" >&2; exit 2; }
bare=build-windows/bare_move_loop.exe
x86_64-w64-mingw32-g++-posix -O2 -static -o "$bare" bench/bare_move_loop.cpp

work=$(mktemp -d "${TMPDIR:-/tmp}/lodestow-wine-bench.XXXXXX")
trap '"$wineserver" -k 2>/dev/null || true; rm -rf "$work"' EXIT
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
"$wine" wineboot -i >/dev/null 2>&1
"$wineserver" -p 2>/dev/null || true # one session for every run
game=$WINEPREFIX/drive_c/Game

make_game() {
    python3 - "$game" "$1" <<'PY'
import os, shutil, sys
game, n = sys.argv[1], int(sys.argv[2])
shutil.rmtree(game, ignore_errors=True)
for d in ("Cache", "Maps", "Textures", "Sounds", "Music", "System"):
    os.makedirs(os.path.join(game, d))
open(os.path.join(game, "System", "UnrealTournament.exe"), "wb").write(b"game")
exts = (".unr", ".utx", ".u")
lines = ["[Cache]"]
body = b"p" * 4096
for i in range(n):
    cache = "%032X" % (0x5EED0000 << 96 | i)
    lines.append("%s=Pkg%06d%s" % (cache, i, exts[i % 3]))
    open(os.path.join(game, "Cache", cache + ".uxx"), "wb").write(body)
open(os.path.join(game, "Cache", "cache.ini"), "wb").write(("\r\n".join(lines) + "\r\n").encode())
PY
    sync
}

seconds() {
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || true
    end=$(date +%s.%N)
    python3 -c "print(f'{$end - $start:.2f}')"
}

printf '%-28s %12s %14s %8s\n' "transfer under Wine" "lodestow" "bare loop" "ratio"
for n in "${sizes[@]}"; do
    make_game "$n"
    ours=$(seconds "$wine" "$driver" 'C:\Game\')
    moved=$(find "$game/Maps" "$game/Textures" -type f | wc -l)
    make_game "$n"
    loop=$(seconds "$wine" "$bare" 'C:\Game\')
    printf '%-28s %10s s %12s s %7.2fx   (%d files moved)\n' "  $n entries" "$ours" "$loop" \
        "$(python3 -c "print($ours / max($loop, 0.01))")" "$moved"
done

# The main window of a 20,000-entry cache, launched in the running session.
[[ -f $exe ]] || { echo "wine_bench: $exe is missing (scripts/build-windows.sh): no window figure"; exit 0; }
make_game 20000
program=$WINEPREFIX/drive_c/Lodestow
mkdir -p "$program"
cp "$exe" "$program/lodestow.exe"
printf 'C:\\Game\\\r\n' >"$program/Lodestow.ini"
xvfb-run -a -s '-screen 0 1024x768x24' bash -c '
    for run in warm timed; do
        start=$(date +%s.%N)
        "$1" "C:\\Lodestow\\lodestow.exe" >/dev/null 2>&1 &
        pid=$!
        wid=$(timeout 60 xdotool search --sync --onlyvisible --name "^Lodestow$" 2>/dev/null | head -n 1)
        end=$(date +%s.%N)
        if [[ -z $wid ]]; then
            echo "  the window of 20000 entries did not show within 60 s"
        elif [[ $run == timed ]]; then
            python3 -c "print(f\"  window of 20000 entries shown after {$end - $start:.2f} s\")"
        fi
        kill $pid 2>/dev/null || true # (closing the X window leaves the Windows program running)
        wait $pid 2>/dev/null || true
    done' _ "$wine"
