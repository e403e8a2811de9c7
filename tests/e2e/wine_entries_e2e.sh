#!/usr/bin/env bash
# End to end: the cache entries window of the Windows program, lodestow.exe, under Wine on a
# virtual X server with a window manager, driven with the mouse and keyboard.
#
#   wine_entries_e2e.sh LODESTOW_EXE SOURCE_DIR [SCREENSHOT_DIR]
#
# On a generated game: a right-click on the logo and the menu's first item open "Cache Entries",
# Escape closes it; a double-click on the found-files box opens it again; Down and Space uncheck
# the second row, Alt+M moves the checked rows; the main window's "X" closes both windows and ends
# the program. Then the
# files on disk and the rewritten cache index are checked byte for byte: the unchecked entry is
# still in the cache and listed, every other one moved as by "Begin Transfer". Screenshots go to
# SCREENSHOT_DIR when given. Exits 77 (skipped) when Wine or the X tools are missing.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/e2e_common.sh"

# ---- the part that runs inside the virtual X server --------------------------------------------
shot() {
    [[ -z ${shots:-} ]] || import -window "${2:-root}" "$shots/$1.png" 2>/dev/null || true
}

drive() {
    openbox >/dev/null 2>&1 &
    local wm=$!
    "$wine" wineboot -i >/dev/null 2>&1 || true
    local index=$WINEPREFIX/drive_c/UnrealTournament/Cache/cache.ini
    local WIDTH HEIGHT X Y SCREEN WINDOW wid entries pid before i

    "$wine" 'C:\Lodestow\lodestow.exe' >"$work/lodestow.log" 2>&1 &
    pid=$!
    if ! wid=$(e2e_find_window Lodestow); then
        echo "the main window did not appear" >&2
        e2e_stop_wineserver
        kill "$wm" 2>/dev/null || true
        return
    fi
    sleep 1
    eval "$(xdotool getwindowgeometry --shell "$wid")"

    # A right-click on the logo (clear of every control), then the menu's first item.
    xdotool mousemove --window "$wid" --sync $((WIDTH / 2)) $((HEIGHT / 3)) click 3
    sleep 0.7
    shot logo-menu
    xdotool key --clearmodifiers Down Return
    if entries=$(e2e_find_window 'Cache Entries - Unreal Tournament' 10); then
        echo menu >>"$work/seen"
        sleep 1
        shot entries-window "$entries"
        xdotool windowactivate --sync "$entries" 2>/dev/null || true
        xdotool key --clearmodifiers Escape
        e2e_window_gone 'Cache Entries - Unreal Tournament' && echo escape >>"$work/seen"
    fi

    # A double-click on the found-files box (1950 twips from the left, 240 down, 615 x 375).
    xdotool mousemove --window "$wid" --sync $(((1950 + 307) / 15)) $(((240 + 187) / 15)) \
        click --repeat 2 --delay 80 1
    if entries=$(e2e_find_window 'Cache Entries - Unreal Tournament' 10); then
        echo double-click >>"$work/seen"
        sleep 1
        xdotool windowactivate --sync "$entries" 2>/dev/null || true
        # The list holds the focus with the first row selected.
        xdotool key --clearmodifiers Down space
        sleep 0.5
        shot entries-unchecked "$entries"
        before=$(stat -c '%i %Y.%y' "$index")
        xdotool key --clearmodifiers alt+m
        for ((i = 0; i < 120; i++)); do
            [[ $(stat -c '%i %Y.%y' "$index" 2>/dev/null || true) != "$before" ]] && break
            sleep 0.25
        done
        sleep 1.5
        shot entries-after "$entries"
        # Out of the way of the main window's "X": closing the main window closes it too.
        xdotool windowmove "$entries" 0 $((Y + HEIGHT / 2)) 2>/dev/null || true
        sleep 0.5
        shot main-after "$wid"
    fi
    e2e_click_close "$wid"
    e2e_window_gone 'Cache Entries - Unreal Tournament' 10 && echo closed-with-main >>"$work/seen"
    e2e_await_exit "$pid" 30 ||
        echo "the program was still running 30 s after its main window closed" >&2
    echo "$e2e_rc" >"$work/exit"
    e2e_stop_wineserver
    kill "$wm" 2>/dev/null || true
}

if [[ ${1:-} == --drive ]]; then
    work=$2 wine=$3 shots=${4:-}
    drive
    exit 0
fi

# ---- the test ------------------------------------------------------------------------------------
usage="usage: wine_entries_e2e.sh LODESTOW_EXE SOURCE_DIR [SCREENSHOT_DIR]"
exe=$(realpath "${1:?$usage}")
src=$(realpath "${2:?$usage}")
shots=${3:+$(realpath -m "$3")}
e2e_require xvfb-run xdotool openbox import python3
e2e_require_wine
[[ -z $shots ]] || mkdir -p "$shots"

e2e_work_folder lodestow-wine-entries-e2e

python3 "$src/scripts/make-demo-game.py" "$work/demo" --manifest "$work/manifest" >/dev/null
export WINEPREFIX=$work/demo/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
game=$WINEPREFIX/drive_c/UnrealTournament
cp -a "$game/Cache" "$work/cache-before"
mkdir -p "$WINEPREFIX/drive_c/Lodestow"
cp "$exe" "$WINEPREFIX/drive_c/Lodestow/lodestow.exe"

e2e_xvfb_run bash "${BASH_SOURCE[0]}" --drive "$work" "$wine" "$shots"

rc=$(cat "$work/exit" 2>/dev/null || echo missing)
[[ $rc == 0 ]] || fail "the program's exit status is $rc, not 0"
for step in menu escape double-click closed-with-main; do
    grep -qx "$step" "$work/seen" 2>/dev/null || fail "step \"$step\" was not seen"
done

# The second entry of the index was unchecked: it stays in the cache and in the index, as an entry
# that never moves would. Every other entry went as "Begin Transfer" takes it.
awk -F '\t' -v OFS='\t' 'NR == 2 { $3 = "Unchecked" } { print }' "$work/manifest" \
    >"$work/manifest-chosen"
grep -q Unchecked "$work/manifest-chosen" || fail "the generated game has fewer than two entries"
e2e_check_transfer "$game" "$game/Cache" "$work/cache-before" "$work/manifest-chosen"

if ((failures > 0)); then
    echo "$failures check(s) failed; program output:"
    cat "$work/lodestow.log" 2>/dev/null || true
    exit 1
fi
echo "PASS: lodestow.exe under Wine: the cache entries window moves the checked entries only"
