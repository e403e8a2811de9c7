#!/usr/bin/env bash
# End to end: the Windows program, lodestow.exe, under Wine on a virtual X server with a window
# manager, driven with the mouse and keyboard.
#
#   wine_e2e.sh LODESTOW_EXE SOURCE_DIR [SCREENSHOT_DIR]
#
# Run 1: start on a generated game, "Begin Transfer", "X"; then the files on disk and the
# rewritten cache index are checked byte for byte. Run 2: the settings file names a folder
# without the game, so the location window opens; a folder without the game gets the "Try Again"
# box, the game's folder opens the main window, whose "X" ends the program. Screenshots of each
# step go to SCREENSHOT_DIR when given. Exits 77 (skipped) when Wine or the X tools are missing.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/e2e_common.sh"

# ---- the part that runs inside the virtual X server --------------------------------------------
shot() {
    [[ -z ${shots:-} ]] || import -window root "$shots/$1.png" 2>/dev/null || true
}

# Waits for the program $1 of run $2 to end; its exit status goes to exit-$2.
wait_exit() {
    e2e_await_exit "$1" 30 ||
        echo "run $2: the program was still running 30 s after its last window closed" >&2
    echo "$e2e_rc" >"$work/exit-$2"
}

# Clicks at a point given in twips from the window's top-left corner.
click_twips() {
    xdotool mousemove --window "$1" --sync $(($2 / 15)) $(($3 / 15)) click 1
}

drive() {
    openbox >/dev/null 2>&1 &
    local wm=$!
    "$wine" wineboot -i >/dev/null 2>&1 || true
    local game=$WINEPREFIX/drive_c/UnrealTournament
    local WIDTH HEIGHT X Y SCREEN WINDOW wid pid

    # Run 1: the game is where the settings file says; transfer, then "X".
    "$wine" 'C:\Lodestow\lodestow.exe' >"$work/lodestow-1.log" 2>&1 &
    pid=$!
    if wid=$(e2e_find_window Lodestow); then
        sleep 1
        eval "$(xdotool getwindowgeometry --shell "$wid")"
        echo "run 1: main window ${WIDTH}x${HEIGHT} at $X,$Y"
        shot main-before
        e2e_begin_transfer "$wid" "$game/Cache/cache.ini"
        sleep 1
        shot main-after
        e2e_click_close "$wid"
    else
        echo "run 1: the main window did not appear" >&2
    fi
    wait_exit "$pid" 1

    # Run 2: the settings file names a folder without the game.
    cp "$program/Lodestow.ini" "$work/settings-1" 2>/dev/null || true
    printf 'C:\\Nowhere\\\r\n' >"$program/Lodestow.ini"
    "$wine" 'C:\Lodestow\lodestow.exe' >"$work/lodestow-2.log" 2>&1 &
    pid=$!
    if wid=$(e2e_find_window 'Unreal Tourament Location Form'); then
        sleep 1
        echo "run 2: location window opened"
        shot location
        # The path box: Frame1 is 360 twips down; the box at 120, 2760 inside it, 375 high.
        local path_x=$((120 + 2500)) path_y=$((360 + 2760 + 187))
        local enter_x=$((3600 + 847)) enter_y=$((360 + 3240 + 247))
        local box
        # The keyboard as Windows gives it: the focus starts on "Cancel", Tab moves it to "Enter",
        # Return presses the focused button. "C:\" holds no game.
        xdotool windowactivate --sync "$wid" 2>/dev/null || true
        xdotool key --clearmodifiers Tab Return
        if box=$(e2e_find_window 'System Failure'); then
            echo "run 2: Tab, Return: \"System Failure\" box shown"
            sleep 0.5
            shot try-again
            xdotool windowactivate --sync "$box" key Return 2>/dev/null || xdotool key Return
            e2e_window_gone 'System Failure' && echo tab-return >>"$work/seen-2"
        fi
        # Return in the path box presses nothing (no default button); Space on "Enter", reached
        # with Shift+Tab, does.
        click_twips "$wid" $path_x $path_y
        xdotool key --clearmodifiers End shift+Home BackSpace
        xdotool type --delay 20 'C:\Nowhere'
        xdotool key --clearmodifiers Return
        sleep 1.5
        if box=$(xdotool search --onlyvisible --name '^System Failure$' 2>/dev/null | head -n1) &&
            [[ -n $box ]]; then
            echo default-button >>"$work/seen-2"
            xdotool windowactivate --sync "$box" key Return 2>/dev/null || true
            sleep 1
        fi
        xdotool key --clearmodifiers shift+Tab space
        if box=$(e2e_find_window 'System Failure'); then
            echo "run 2: Shift+Tab, Space: \"System Failure\" box shown"
            xdotool windowactivate --sync "$box" key Return 2>/dev/null || xdotool key Return
            e2e_window_gone 'System Failure' && echo shift-tab-space >>"$work/seen-2"
        fi
        click_twips "$wid" $path_x $path_y
        xdotool key --clearmodifiers End shift+Home BackSpace
        xdotool type --delay 20 'C:\UnrealTournament'
        click_twips "$wid" $enter_x $enter_y
        if wid=$(e2e_find_window Lodestow); then
            e2e_window_gone 'Unreal Tourament Location Form' && echo location-closed >>"$work/seen-2"
            echo main >>"$work/seen-2"
            sleep 1
            shot main-from-location
            e2e_click_close "$wid"
        fi
    else
        echo "run 2: the location window did not appear" >&2
    fi
    wait_exit "$pid" 2
    e2e_stop_wineserver
    kill "$wm" 2>/dev/null || true
}

if [[ ${1:-} == --drive ]]; then
    work=$2 program=$3 wine=$4 shots=${5:-}
    drive
    exit 0
fi

# ---- the test ------------------------------------------------------------------------------------
exe=$(realpath "${1:?usage: wine_e2e.sh LODESTOW_EXE SOURCE_DIR [SCREENSHOT_DIR]}")
src=$(realpath "${2:?usage: wine_e2e.sh LODESTOW_EXE SOURCE_DIR [SCREENSHOT_DIR]}")
shots=${3:+$(realpath -m "$3")}
e2e_require xvfb-run xdotool openbox import python3
e2e_require_wine
[[ -z $shots ]] || mkdir -p "$shots"

e2e_work_folder lodestow-wine-e2e

python3 "$src/scripts/make-demo-game.py" "$work/demo" --manifest "$work/manifest" >/dev/null
export WINEPREFIX=$work/demo/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
game=$WINEPREFIX/drive_c/UnrealTournament
cp -a "$game/Cache" "$work/cache-before"
program=$WINEPREFIX/drive_c/Lodestow
mkdir -p "$program"
cp "$exe" "$program/lodestow.exe"

e2e_xvfb_run bash "${BASH_SOURCE[0]}" --drive "$work" "$program" "$wine" "$shots"

for run in 1 2; do
    rc=$(cat "$work/exit-$run" 2>/dev/null || echo missing)
    [[ $rc == 0 ]] || fail "run $run: the program's exit status is $rc, not 0"
done

# Run 1: every transferable entry in its folder with the cache file's bytes, the rest in the cache,
# the index holding exactly the entries that stayed.
e2e_check_transfer "$game" "$game/Cache" "$work/cache-before" "$work/manifest" "run 1: "
leftovers=$(find "$game/Cache" "$game/Maps" "$game/Textures" "$game/Sounds" "$game/Music" \
    -name '*.tmp' -o -name '*~*' 2>/dev/null | head -n 5)
[[ -z $leftovers ]] || fail "run 1: temporary files were left: $leftovers"

cmp -s "$work/settings-1" <(printf 'C:\\UnrealTournament\\\r\n') ||
    fail "run 1: the first start did not write C:\\UnrealTournament\\ CR LF into the settings file"

# Run 2: the box, the main window in place of the location window, the settings file untouched.
grep -qx default-button "$work/seen-2" 2>/dev/null &&
    fail "run 2: Return in the path box pressed a button"
for step in tab-return shift-tab-space location-closed main; do
    grep -qx "$step" "$work/seen-2" 2>/dev/null || fail "run 2: step \"$step\" was not seen"
done
cmp -s "$program/Lodestow.ini" <(printf 'C:\\Nowhere\\\r\n') ||
    fail "run 2: the settings file was changed by the location window"

if ((failures > 0)); then
    echo "$failures check(s) failed; program output:"
    cat "$work"/lodestow-*.log 2>/dev/null || true
    exit 1
fi
echo "PASS: lodestow.exe end to end under Wine (transfer; location window)"
