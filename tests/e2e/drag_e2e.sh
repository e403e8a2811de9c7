#!/usr/bin/env bash
# End to end: dragging the borderless main window by its logo, under Xvfb with a window manager.
#
#   drag_e2e.sh LODESTOW_EXECUTABLE SOURCE_DIR
#
# A drag with the left button moves the window with the mouse and stops at the release; moving the
# mouse afterwards, or dragging with the right button, leaves it where it is; "X" then ends the
# program with status 0. Exits 77 (skipped) when the X tools or the window manager are missing.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/e2e_common.sh"

drive() {
    local work=$1
    openbox >/dev/null 2>&1 &
    sleep 1
    "$work/program/lodestow" >"$work/lodestow.log" 2>&1 &
    local pid=$!
    local wid
    if ! wid=$(e2e_find_window Lodestow); then
        echo "the Lodestow window did not appear within 30 s" >"$work/result"
        kill "$pid" 2>/dev/null || true
        return
    fi
    sleep 0.5
    local WIDTH HEIGHT X Y SCREEN WINDOW
    where() {
        eval "$(xdotool getwindowgeometry --shell "$wid")"
        echo "$1 $X $Y" >>"$work/result"
    }
    where start
    # A point on the logo's own surface: right of the banner, below the counts, above the buttons.
    local px=$((X + WIDTH / 2 + 60)) py=$((Y + HEIGHT / 3))
    drag() {
        xdotool mousemove "$px" "$py"
        sleep 0.3
        xdotool mousedown "$1"
        sleep 0.3
        local i
        for ((i = 0; i < 5; i++)); do
            xdotool mousemove_relative -- 20 12
            sleep 0.1
        done
        sleep 0.3
        xdotool mouseup "$1"
        sleep 0.5
    }
    drag 1
    where left-drag
    local i
    for ((i = 0; i < 3; i++)); do
        xdotool mousemove_relative -- 20 12
        sleep 0.1
    done
    sleep 0.3
    where free-move
    px=$((X + WIDTH / 2 + 60)) py=$((Y + HEIGHT / 3))
    drag 3
    where right-drag
    e2e_click_close "$wid"
    e2e_await_exit "$pid" || true
    echo "exit $e2e_rc" >>"$work/result"
}

if [[ ${1:-} == --drive ]]; then
    drive "$2"
    exit 0
fi

exe=${1:?usage: drag_e2e.sh LODESTOW_EXECUTABLE SOURCE_DIR}
src=${2:?usage: drag_e2e.sh LODESTOW_EXECUTABLE SOURCE_DIR}
e2e_require xvfb-run xdotool openbox python3

e2e_work_folder lodestow-drag
python3 "$src/scripts/make-demo-game.py" "$work/demo" >/dev/null
export WINEPREFIX=$work/demo/prefix
mkdir "$work/program"
cp "$exe" "$work/program/lodestow"
e2e_program_environment "$work"
e2e_xvfb_run bash "${BASH_SOURCE[0]}" --drive "$work"

cat "$work/result"
declare -A at=()
while read -r what a b; do
    at[$what]="$a $b"
done <"$work/result"
read -r x0 y0 <<<"${at[start]:-}"
read -r x1 y1 <<<"${at[left-drag]:-}"
if [[ -z ${x0:-} || -z ${x1:-} ]]; then
    fail "no window positions recorded"
else
    # The mouse went 100 x 60 pixels; the first step may go to starting the move.
    ((x1 - x0 >= 60 && x1 - x0 <= 100 && y1 - y0 >= 36 && y1 - y0 <= 60)) ||
        fail "a left-button drag moved the window by $((x1 - x0)),$((y1 - y0))"
    [[ ${at[free-move]:-} == "$x1 $y1" ]] || fail "the window kept following the mouse after the release"
    [[ ${at[right-drag]:-} == "$x1 $y1" ]] || fail "a right-button drag moved the window"
fi
[[ ${at[exit]:-} == "0 " || ${at[exit]:-} == "0" ]] || fail "the program's exit status is ${at[exit]:-missing}"
((failures == 0)) && echo "drag_e2e: all checks passed"
((failures == 0))
