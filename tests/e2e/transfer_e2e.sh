#!/usr/bin/env bash
# End to end: the built program on a generated game folder, driven with the mouse under Xvfb.
#
#   transfer_e2e.sh LODESTOW_EXECUTABLE SOURCE_DIR
#
# Start, press "Begin Transfer", close with "X"; then check the files on disk and the rewritten cache
# index byte for byte. Then start a second time on the same game and transfer again: nothing more may
# move, and the settings file written by the first start is read, not rewritten.
# Exits 77 (skipped) when the X tools are missing.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/e2e_common.sh"

# ---- the part that runs inside the virtual X server --------------------------------------------
# drive WORK: one start of the program in WORK/program, a press on "Begin Transfer", then "X".
drive() {
    local work=$1 run=$2
    local game=$WINEPREFIX/drive_c/UnrealTournament
    "$work/program/lodestow" >"$work/lodestow-$run.log" 2>&1 &
    local pid=$!
    local wid
    if ! wid=$(e2e_find_window Lodestow); then
        echo "run $run: the Lodestow window did not appear within 30 s" >&2
        kill "$pid" 2>/dev/null || true
        echo none >"$work/exit-$run"
        return
    fi
    sleep 0.5
    e2e_begin_transfer "$wid" "$game/Cache/cache.ini"
    sleep 0.5
    import -window "$wid" "$work/after-$run.png" 2>/dev/null || true

    e2e_click_close "$wid"
    e2e_await_exit "$pid" || echo "run $run: the program was still running 20 s after \"X\"" >&2
    echo "$e2e_rc" >"$work/exit-$run"
}

if [[ ${1:-} == --drive ]]; then
    drive "$2" "$3"
    exit 0
fi

# ---- the test ------------------------------------------------------------------------------------
exe=${1:?usage: transfer_e2e.sh LODESTOW_EXECUTABLE SOURCE_DIR}
src=${2:?usage: transfer_e2e.sh LODESTOW_EXECUTABLE SOURCE_DIR}
e2e_require xvfb-run xdotool import python3

e2e_work_folder lodestow-e2e "" "program logs, screenshots after-1.png and after-2.png"

python3 "$src/scripts/make-demo-game.py" "$work/demo" --manifest "$work/manifest" >/dev/null
export WINEPREFIX=$work/demo/prefix
game=$WINEPREFIX/drive_c/UnrealTournament
cp -a "$game/Cache" "$work/cache-before"
# The program folder is the folder of the executable itself (symbolic links are resolved), so the
# settings file lands beside a copy of it, not in the build folder.
mkdir "$work/program"
cp "$exe" "$work/program/lodestow"

e2e_program_environment "$work"
xvfb_run() {
    e2e_xvfb_run bash "${BASH_SOURCE[0]}" --drive "$work" "$1"
}

check_exit() {
    local rc
    rc=$(cat "$work/exit-$1" 2>/dev/null || echo missing)
    if [[ $rc != 0 ]]; then
        fail "run $1: the program's exit status is $rc, not 0; its output:"
        cat "$work/lodestow-$1.log" 2>/dev/null || true
    fi
}

check_game() {
    local run=$1
    e2e_check_transfer "$game" "$game/Cache" "$work/cache-before" "$work/manifest" "run $run: "
    [[ ! -e "$game/Unknown File" ]] || fail "run $run: an \"Unknown File\" folder appeared"
    [[ ! -e "$game/System/Lodestar-ReadMe.txt" ]] || fail "run $run: a file was put into System"

    # Nothing else may be left anywhere: no second index, no temporary or partial files.
    local listed actual cache real folder
    listed=$( (
        echo Cache/cache.ini
        while IFS=$'\t' read -r cache real folder; do
            case $folder in
            Maps | Textures | Sounds | Music) echo "$folder/$real" ;;
            *) echo "Cache/$cache.uxx" ;;
            esac
        done <"$work/manifest"
    ) | sort)
    actual=$(cd "$game" && find Cache Maps Textures Sounds Music -mindepth 1 | sort)
    if [[ $listed != "$actual" ]]; then
        fail "run $run: the game folder holds other files than expected:"
        diff <(echo "$listed") <(echo "$actual") || true
    fi
}

# First start: creates the settings file, transfers, closes.
xvfb_run 1
check_exit 1
check_game 1
if [[ $(cat "$work/exit-1") == none ]]; then
    exit 1
fi
if ! cmp -s "$work/program/Lodestow.ini" <(printf 'C:\\UnrealTournament\\\r\n'); then
    fail "the first start did not write the settings file C:\\UnrealTournament\\ CR LF beside the program"
fi

# Second start on the same game: the settings file is read, not written again, and a second transfer
# moves nothing more and leaves the index as it was.
settings_stamp=$(stat -c '%i %y' "$work/program/Lodestow.ini" 2>/dev/null || true)
sleep 1
xvfb_run 2
check_exit 2
check_game 2
[[ $(stat -c '%i %y' "$work/program/Lodestow.ini" 2>/dev/null || true) == "$settings_stamp" ]] ||
    fail "the second start rewrote the settings file"

if ((failures > 0)); then
    echo "$failures check(s) failed"
    exit 1
fi
echo "PASS: transfer end to end (two starts)"
