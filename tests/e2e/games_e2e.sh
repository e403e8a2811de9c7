#!/usr/bin/env bash
# End to end: a generated UT2004-shaped game through the command line, no display, then through
# the window under Xvfb. The game is recognised by its program, its ini's Paths decide where each
# kind goes (animations to a folder of their own, hostile entries passed over), and each transfer
# leaves files and index as expected, byte for byte.
#
#   games_e2e.sh LODESTOW_EXECUTABLE SOURCE_DIR
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/e2e_common.sh"

# ---- the part that runs inside the virtual X server: F3 shows the game's name in the entries
# window's title; Escape closes it; "Begin Transfer"; "X".
if [[ ${1:-} == --drive ]]; then
    work=$2 game=$3
    "$work/program/lodestow" >"$work/window.log" 2>&1 &
    pid=$!
    if wid=$(e2e_find_window Lodestow); then
        sleep 0.5
        import -window "$wid" "$work/main-window.png" 2>/dev/null || true
        xdotool windowfocus --sync "$wid" key F3 2>/dev/null || true
        if e2e_find_window "Cache Entries - Unreal Tournament 2004" 10 >/dev/null; then
            echo entries-named >>"$work/seen"
            xdotool key Escape
            e2e_window_gone "Cache Entries - Unreal Tournament 2004" 10 || true
        fi
        e2e_begin_transfer "$wid" "$game/Cache/cache.ini"
        sleep 0.5
        e2e_click_close "$wid"
    fi
    e2e_await_exit "$pid" || true
    echo "$e2e_rc" >"$work/exit"
    exit 0
fi

exe=$(realpath "${1:?usage: games_e2e.sh LODESTOW_EXECUTABLE SOURCE_DIR}")
src=$(realpath "${2:?usage: games_e2e.sh LODESTOW_EXECUTABLE SOURCE_DIR}")
e2e_require python3
e2e_work_folder games_e2e GAMES_E2E_KEEP

unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config SDL_AUDIODRIVER=dummy
mkdir -p "$HOME" "$work/program"
cp "$exe" "$work/program/lodestow"
lodestow=$work/program/lodestow

python3 "$src/scripts/make-demo-game.py" "$work/demo" --ut2004 --manifest "$work/manifest" >/dev/null
export WINEPREFIX=$work/demo/prefix
game=$WINEPREFIX/drive_c/UT2004
cache=$game/Cache
cp -a "$cache" "$work/before"

"$lodestow" check --game 'C:\UT2004\' >"$work/out" 2>&1 || fail "check failed: $(cat "$work/out")"
grep -qxF "game:            Unreal Tournament 2004" "$work/out" || fail "check printed: $(cat "$work/out")"

"$lodestow" transfer --game 'C:\UT2004\' >"$work/out" 2>&1 || fail "transfer failed: $(cat "$work/out")"
e2e_check_transfer "$game" "$cache" "$work/before" "$work/manifest"
[[ ! -e $WINEPREFIX/drive_c/Outside && ! -e $game/Anims && ! -e $game/Animations ]] ||
    fail "a passed-over Paths entry was used"

# The same game through the window, found by the settings file beside the program.
if command -v xvfb-run >/dev/null && command -v xdotool >/dev/null; then
    python3 "$src/scripts/make-demo-game.py" "$work/demo" --ut2004 --manifest "$work/manifest" >/dev/null
    rm -rf "$work/before" && cp -a "$cache" "$work/before"
    printf 'C:\\UT2004\\\r\n' >"$work/program/Lodestow.ini"
    (
        e2e_program_environment "$work"
        e2e_xvfb_run bash "${BASH_SOURCE[0]}" --drive "$work" "$game"
    )
    [[ $(cat "$work/exit" 2>/dev/null) == 0 ]] || fail "the window's exit status: $(cat "$work/exit" 2>/dev/null)"
    grep -qx entries-named "$work/seen" 2>/dev/null || fail "F3 did not open the entries window named for the game"
    e2e_check_transfer "$game" "$cache" "$work/before" "$work/manifest" "window: "
else
    echo "games_e2e: SKIP the window part: xvfb-run or xdotool is not installed"
fi

if ((failures)); then
    echo "games_e2e: $failures check(s) failed"
    exit 1
fi
echo "games_e2e: every check passed"
