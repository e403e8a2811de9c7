#!/usr/bin/env bash
# End to end: the Cache Entries window of the built program under Xvfb.
#
#   entries_e2e.sh LODESTOW_EXECUTABLE SOURCE_DIR
#
# Opens the window by a right-click on the logo (first item of its menu), closes it with Escape,
# opens it again by a double-click on the found-files count, unchecks the second row
# (CTF-Driftwood.unr) with Down and Space and presses Alt+M ("Move checked"). Every other
# movable entry must be in its folder; the unchecked one must stay in the cache and in the index,
# byte for byte. ENTRIES_E2E_KEEP=1 keeps the work folder (screenshot entries.png). Exits 77
# (skipped) when the X tools are missing.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/e2e_common.sh"

drive() {
    local work=$1 game=$WINEPREFIX/drive_c/UnrealTournament
    "$work/program/lodestow" >"$work/lodestow.log" 2>&1 &
    local pid=$! wid eid WIDTH HEIGHT X Y SCREEN WINDOW
    if ! wid=$(e2e_find_window Lodestow); then
        echo "the Lodestow window did not appear" >"$work/problem"
        kill "$pid" 2>/dev/null || true
        return
    fi
    sleep 0.5
    eval "$(xdotool getwindowgeometry --shell "$wid")"
    # Right-click on the logo below the counts; the menu opens at the pointer, its first item
    # just below and right of it.
    xdotool mousemove --window "$wid" --sync $((WIDTH / 2)) $((HEIGHT / 2)) click 3
    sleep 0.5
    xdotool mousemove_relative --sync 20 8 click 1
    if ! eid=$(e2e_find_window "Cache Entries - Unreal Tournament" 10); then
        echo "the logo's menu did not open the Cache Entries window" >"$work/problem"
    else
        xdotool key --clearmodifiers Escape
        e2e_window_gone "Cache Entries - Unreal Tournament" 10 || echo "Escape did not close the window" >"$work/problem"
    fi
    # NumFilesTxt: 615 twips wide and 375 high, at 1950 twips from the left, 240 from the top.
    xdotool mousemove --window "$wid" --sync $(((1950 + 307) / 15)) $(((240 + 187) / 15)) \
        click --repeat 2 1
    if ! eid=$(e2e_find_window "Cache Entries - Unreal Tournament" 10); then
        echo "a double-click on the count did not open the Cache Entries window" >>"$work/problem"
        kill "$pid" 2>/dev/null || true
        return
    fi
    sleep 1 # the rows are examined in spare time
    xdotool key --clearmodifiers Down space
    sleep 0.3
    import -window "$eid" "$work/entries.png" 2>/dev/null || true
    local i before
    before=$(stat -c '%i %Y.%y' "$game/Cache/cache.ini")
    xdotool key --clearmodifiers alt+m
    for ((i = 0; i < 120; i++)); do
        [[ $(stat -c '%i %Y.%y' "$game/Cache/cache.ini") != "$before" ]] && break
        sleep 0.25
    done
    sleep 0.5
    e2e_click_close "$wid"
    e2e_await_exit "$pid" || echo "the program was still running 20 s after \"X\"" >>"$work/problem"
    ((e2e_rc == 0)) || echo "the program's exit status is $e2e_rc" >>"$work/problem"
}

if [[ ${1:-} == --drive ]]; then
    drive "$2"
    exit 0
fi

exe=${1:?usage: entries_e2e.sh LODESTOW_EXECUTABLE SOURCE_DIR}
src=${2:?usage: entries_e2e.sh LODESTOW_EXECUTABLE SOURCE_DIR}
e2e_require xvfb-run xdotool import python3
e2e_work_folder lodestow-entries-e2e ENTRIES_E2E_KEEP "program log, screenshot entries.png"

python3 "$src/scripts/make-demo-game.py" "$work/demo" --manifest "$work/manifest" >/dev/null
export WINEPREFIX=$work/demo/prefix
game=$WINEPREFIX/drive_c/UnrealTournament
cp -a "$game/Cache" "$work/cache-before"
mkdir "$work/program"
cp "$exe" "$work/program/lodestow"
# The unchecked row stays where it is, as a row that is never moved does.
sed -i 's/\tCTF-Driftwood.unr\tMaps$/\tCTF-Driftwood.unr\tunchecked/' "$work/manifest"
grep -q $'\tunchecked$' "$work/manifest" || fail "the demo game has no CTF-Driftwood.unr"

e2e_program_environment "$work"
e2e_xvfb_run bash "${BASH_SOURCE[0]}" --drive "$work"
if [[ -s $work/problem ]]; then
    fail "$(cat "$work/problem")"
    cat "$work/lodestow.log" 2>/dev/null || true
fi
e2e_check_transfer "$game" "$game/Cache" "$work/cache-before" "$work/manifest"

if ((failures > 0)); then
    echo "$failures check(s) failed"
    exit 1
fi
echo "PASS: Cache Entries window, opened twice, one row unchecked, the rest moved"
