#!/usr/bin/env bash
# End to end: a first start on a native Linux install whose download cache lives in the home folder.
#
#   native_e2e.sh LODESTOW_EXECUTABLE SOURCE_DIR
#
# The game is where the native installer puts it (HOME/.local/share/OldUnreal/UnrealTournament, with
# System64/ut-bin-amd64 and no Windows executable) and its cache where that build keeps it
# (HOME/.utpg/Cache, named by HOME/.utpg/System64/UnrealTournament.ini), under a HOME of the test's
# own. With no settings file, the program must find the game itself, store it, show the counts of the
# home folder's cache, move its files into the game folder's Maps and friends on "Begin Transfer" and
# rewrite the home folder's index. NATIVE_E2E_KEEP=1 keeps the work folder (screenshots before.png
# and after.png) also when every check passes. Exits 77 (skipped) when the X tools are missing.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/e2e_common.sh"

# The text of a count box (twips from the window's top-left corner, 15 to the pixel): a double click
# selects it, and the X selection hands it over.
count_at() {
    local wid=$1 x=$2
    xdotool mousemove --window "$wid" --sync $(((x + 307) / 15)) $(((240 + 187) / 15)) click --repeat 2 1
    sleep 0.3
    xclip -o -selection primary 2>/dev/null || echo "(nothing selected)"
    # The double-click also opened the Cache Entries window: Escape closes it again.
    if e2e_find_window "Cache Entries - Unreal Tournament" 5 >/dev/null; then
        xdotool key --clearmodifiers Escape
        e2e_window_gone "Cache Entries - Unreal Tournament" 5 || true
    fi
}

# ---- the part that runs inside the virtual X server --------------------------------------------
drive() {
    local work=$1
    "$work/program/lodestow" >"$work/lodestow.log" 2>&1 &
    local pid=$!
    local wid
    if ! wid=$(e2e_find_window Lodestow); then
        echo "the Lodestow window did not appear within 30 s" >"$work/problem"
        xdotool search --onlyvisible --name '^Unreal Tourament Location Form$' >/dev/null 2>&1 &&
            echo "the location window opened instead" >>"$work/problem"
        kill "$pid" 2>/dev/null || true
        echo none >"$work/exit"
        return
    fi
    sleep 0.5
    local WIDTH HEIGHT X Y SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$wid")"
    import -window "$wid" "$work/before.png" 2>/dev/null || true

    # NumFilesTxt: left at 2 * 615 + (495 + 100) + 125 twips; OnesToTransfer: 500 twips and its own
    # width (615) from the right edge.
    count_at "$wid" 1950 >"$work/found"
    count_at "$wid" $((WIDTH * 15 - 1115)) >"$work/transferable"

    e2e_begin_transfer "$wid" "$HOME/.utpg/Cache/cache.ini"
    sleep 0.5
    import -window "$wid" "$work/after.png" 2>/dev/null || true

    e2e_click_close "$wid"
    e2e_await_exit "$pid" || echo "the program was still running 20 s after \"X\"" >"$work/problem"
    echo "$e2e_rc" >"$work/exit"
}

if [[ ${1:-} == --drive ]]; then
    drive "$2"
    exit 0
fi

# ---- the test ------------------------------------------------------------------------------------
exe=${1:?usage: native_e2e.sh LODESTOW_EXECUTABLE SOURCE_DIR}
src=${2:?usage: native_e2e.sh LODESTOW_EXECUTABLE SOURCE_DIR}
e2e_require xvfb-run xdotool xclip import python3

e2e_work_folder lodestow-native-e2e NATIVE_E2E_KEEP "program log, screenshots before.png and after.png"

python3 "$src/scripts/make-demo-game.py" "$work/demo" --native --manifest "$work/manifest" >/dev/null
export HOME=$work/demo/home WINEPREFIX=$work/demo/prefix
unset XDG_DATA_HOME
game=$HOME/.local/share/OldUnreal/UnrealTournament
cache=$HOME/.utpg/Cache
cp -a "$cache" "$work/cache-before"
mkdir "$work/program"
cp "$exe" "$work/program/lodestow"

e2e_program_environment "$work"
e2e_xvfb_run bash "${BASH_SOURCE[0]}" --drive "$work"

if [[ $(cat "$work/exit") != 0 ]]; then
    fail "the program's exit status is $(cat "$work/exit"), not 0"
    cat "$work/problem" 2>/dev/null || true
    cat "$work/lodestow.log" 2>/dev/null || true
    exit 1
fi

# The counts of the home folder's cache: every entry found, all but "System" ones transferable.
entries=$(wc -l <"$work/manifest")
movable=$(grep -cv $'\tSystem$' "$work/manifest")
[[ $(cat "$work/found") == "$entries" ]] || fail "found-files count shows '$(cat "$work/found")', not $entries"
[[ $(cat "$work/transferable") == "$movable" ]] ||
    fail "transferable count shows '$(cat "$work/transferable")', not $movable"

# The game found on the first start is what the settings file now holds: the native folder.
if ! cmp -s "$work/program/Lodestow.ini" <(printf '%s/\r\n' "$game"); then
    fail "the settings file does not hold the game's folder $game/:"
    od -c "$work/program/Lodestow.ini" | head -n 5
fi

e2e_check_transfer "$game" "$cache" "$work/cache-before" "$work/manifest" "home folder: "
[[ ! -e $game/Cache && ! -e $game/GameFolderCache ]] || fail "a cache folder appeared in the game folder"

if ((failures > 0)); then
    echo "$failures check(s) failed"
    exit 1
fi
echo "PASS: native game with its cache in the home folder (found $entries, transferable $movable)"
