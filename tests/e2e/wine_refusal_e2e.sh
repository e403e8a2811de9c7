#!/usr/bin/env bash
# End to end: lodestow.exe under Wine on a game whose Maps folder the system refuses to write in
# (made immutable with chattr, which Wine reports as access denied).
#
#   wine_refusal_e2e.sh LODESTOW_EXE SOURCE_DIR
#
# "Begin Transfer" moves what it may; the maps stay in the cache, listed. The end of the run says
# which folder refused and offers to start Lodestow again as administrator; answering Yes starts
# lodestow.exe again with "--game C:\UnrealTournament\" (Wine starts it without asking) and the
# first program closes. Exits 77 (skipped) when Wine, the X tools or chattr cannot be used.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/e2e_common.sh"

drive() {
    openbox >/dev/null 2>&1 &
    local wm=$!
    "$wine" wineboot -i >/dev/null 2>&1 || true
    local game=$WINEPREFIX/drive_c/UnrealTournament wid box pid
    "$wine" 'C:\Lodestow\lodestow.exe' >"$work/lodestow.log" 2>&1 &
    pid=$!
    if wid=$(e2e_find_window Lodestow); then
        sleep 1
        e2e_begin_transfer "$wid" "$game/Cache/cache.ini"
        # The refusal's box has the program's title too: the newest window of that name.
        for _ in $(seq 40); do
            box=$(xdotool search --name '^Lodestow$' 2>/dev/null | grep -vx "$wid" | tail -n 1 || true)
            [[ -n $box ]] && break
            sleep 0.25
        done
        if [[ -n $box ]]; then
            import -window root "$work/refusal.png" 2>/dev/null || true
            xdotool windowactivate --sync "$box" 2>/dev/null || true
            xdotool key --clearmodifiers Return # "Yes", the box's default
            echo answered >"$work/seen"
        else
            echo "no box after the run" >&2
        fi
        # The program started again, with the game on its command line.
        for _ in $(seq 40); do
            if pgrep -af 'lodestow.exe' | grep -q -- '--game'; then
                pgrep -af 'lodestow.exe' | grep -- '--game' | head -n 1 >"$work/restarted"
                break
            fi
            sleep 0.25
        done
    else
        echo "the main window did not appear" >&2
    fi
    e2e_await_exit "$pid" 30 || true
    echo "$e2e_rc" >"$work/exit"
    "${wine%64}server" -k 2>/dev/null || true
    kill "$wm" 2>/dev/null || true
}

if [[ ${1:-} == --drive ]]; then
    work=$2 wine=$3
    drive
    exit 0
fi

exe=$(realpath "${1:?usage: wine_refusal_e2e.sh LODESTOW_EXE SOURCE_DIR}")
src=$(realpath "${2:?usage: wine_refusal_e2e.sh LODESTOW_EXE SOURCE_DIR}")
e2e_require xvfb-run xdotool openbox import python3 chattr pgrep
e2e_require_wine
e2e_work_folder lodestow-wine-refusal "" "refusal.png"

python3 "$src/scripts/make-demo-game.py" "$work/demo" --manifest "$work/manifest" >/dev/null
export WINEPREFIX=$work/demo/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
game=$WINEPREFIX/drive_c/UnrealTournament
program=$WINEPREFIX/drive_c/Lodestow
mkdir -p "$program"
cp "$exe" "$program/lodestow.exe"
if ! chattr +i "$game/Maps" 2>/dev/null; then
    echo "SKIP: chattr +i is not possible here"
    exit 77
fi
trap 'chattr -i "$game/Maps" 2>/dev/null || true; e2e_finish' EXIT
cp -a "$game/Cache" "$work/cache-before"

e2e_xvfb_run bash "${BASH_SOURCE[0]}" --drive "$work" "$wine"
chattr -i "$game/Maps"

[[ -s $work/seen ]] || fail "no box offered to start Lodestow again at the end of the run"
grep -q -- '--game C:\\UnrealTournament\\' "$work/restarted" 2>/dev/null ||
    fail "Lodestow was not started again on the same game: $(cat "$work/restarted" 2>/dev/null)"
[[ $(cat "$work/exit" 2>/dev/null) == 0 ]] || fail "the first program's exit status is $(cat "$work/exit" 2>/dev/null)"
[[ -z $(ls -A "$game/Maps") ]] || fail "a file appeared in the refused Maps folder"
# The maps stay in the cache and in the index; the rest moved as usual.
while IFS=$'\t' read -r cache real dest; do
    if [[ $dest == Maps ]]; then
        cmp -s "$work/cache-before/$cache.uxx" "$game/Cache/$cache.uxx" || fail "$real left the cache"
        grep -q "^$cache=$real" "$game/Cache/cache.ini" || fail "$real left the index"
    fi
done <"$work/manifest"

if ((failures > 0)); then
    echo "$failures check(s) failed; program output:"
    cat "$work/lodestow.log" 2>/dev/null || true
    exit 1
fi
echo "PASS: lodestow.exe under Wine named the folder it could not write in and started again on the same game"
