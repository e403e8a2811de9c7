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

# ---- the part that runs inside the virtual X server --------------------------------------------
# drive WORK: one start of the program in WORK/program, a press on "Begin Transfer", then "X".
drive() {
    local work=$1 run=$2
    local game=$WINEPREFIX/drive_c/UnrealTournament
    "$work/program/lodestow" >"$work/lodestow-$run.log" 2>&1 &
    local pid=$!
    local wid
    wid=$(timeout 30 xdotool search --sync --onlyvisible --name '^Lodestow$' 2>/dev/null | head -n1) || true
    if [[ -z $wid ]]; then
        echo "run $run: the Lodestow window did not appear within 30 s" >&2
        kill "$pid" 2>/dev/null || true
        echo none >"$work/exit-$run"
        return
    fi
    sleep 0.5
    local WIDTH HEIGHT X Y SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$wid")"
    echo "run $run: window $wid at $X,$Y size ${WIDTH}x${HEIGHT}"

    # "Begin Transfer" is centred, its bottom edge 250 twips above the window's; 255 twips high.
    local before
    before=$(stat -c '%i %Y.%y' "$game/Cache/cache.ini" 2>/dev/null || true)
    xdotool mousemove --window "$wid" --sync $((WIDTH / 2)) $((HEIGHT - (250 + 127) / 15)) click 1
    # The run ends with the index put in place anew (a new file), so wait for that.
    local i
    for ((i = 0; i < 120; i++)); do
        [[ $(stat -c '%i %Y.%y' "$game/Cache/cache.ini" 2>/dev/null || true) != "$before" ]] && break
        sleep 0.25
    done
    sleep 0.5
    import -window "$wid" "$work/after-$run.png" 2>/dev/null || true

    # "X" (255 twips square) ends 75 twips inside the right edge, at the top.
    xdotool mousemove --window "$wid" --sync $((WIDTH - (75 + 127) / 15)) $((127 / 15)) click 1
    for ((i = 0; i < 80; i++)); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.25
    done
    if kill -0 "$pid" 2>/dev/null; then
        echo "run $run: the program was still running 20 s after \"X\"" >&2
        kill -9 "$pid"
    fi
    local rc=0
    wait "$pid" || rc=$?
    echo "$rc" >"$work/exit-$run"
}

if [[ ${1:-} == --drive ]]; then
    drive "$2" "$3"
    exit 0
fi

# ---- the test ------------------------------------------------------------------------------------
exe=${1:?usage: transfer_e2e.sh LODESTOW_EXECUTABLE SOURCE_DIR}
src=${2:?usage: transfer_e2e.sh LODESTOW_EXECUTABLE SOURCE_DIR}
source "$(dirname "${BASH_SOURCE[0]}")/e2e_common.sh"
e2e_require xvfb-run xdotool import python3

work=$(mktemp -d "${TMPDIR:-/tmp}/lodestow-e2e.XXXXXX")
finish() {
    if ((failures == 0)); then
        rm -rf "$work"
    else
        echo "kept for a look: $work (program logs, screenshots after-1.png and after-2.png)"
    fi
}
trap finish EXIT

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

# Where every entry must be after a transfer, and the index that must remain.
expected_index=$work/expected-cache.ini
printf '[Cache]\r\n' >"$expected_index"
declare -A expect_in_cache=() expect_in_folder=()
while IFS=$'\t' read -r cache real folder; do
    case $folder in
    Maps | Textures | Sounds | Music)
        expect_in_folder["$folder/$real"]=$cache
        ;;
    *)
        # "System" entries are never moved; an entry with an unknown extension has no folder to go
        # to (the game has no "Unknown File" folder), so its file stays in the cache and listed.
        expect_in_cache["$cache.uxx"]=1
        printf '%s=%s\r\n' "$cache" "$real" >>"$expected_index"
        ;;
    esac
done <"$work/manifest"
printf '\r\n' >>"$expected_index"

check_game() {
    local run=$1 f
    for f in "${!expect_in_folder[@]}"; do
        local cache=${expect_in_folder[$f]}
        if [[ ! -f $game/$f ]]; then
            fail "run $run: $f was not transferred"
        elif ! cmp -s "$game/$f" "$work/cache-before/$cache.uxx"; then
            fail "run $run: $f does not hold the bytes of $cache.uxx"
        fi
        [[ ! -e $game/Cache/$cache.uxx ]] || fail "run $run: $cache.uxx is still in the cache after its copy"
    done
    for f in "${!expect_in_cache[@]}"; do
        cmp -s "$game/Cache/$f" "$work/cache-before/$f" || fail "run $run: $f is not in the cache unchanged"
    done
    [[ ! -e "$game/Unknown File" ]] || fail "run $run: an \"Unknown File\" folder appeared"
    [[ ! -e "$game/System/Lodestar-ReadMe.txt" ]] || fail "run $run: a file was put into System"

    if ! cmp -s "$game/Cache/cache.ini" "$expected_index"; then
        fail "run $run: the cache index is not what it should be; it holds:"
        od -c "$game/Cache/cache.ini" | head -n 40
        echo "expected:"
        od -c "$expected_index" | head -n 40
    fi

    # Nothing else may be left anywhere: no second index, no temporary or partial files.
    local listed actual
    listed=$( (
        echo Cache/cache.ini
        for f in "${!expect_in_cache[@]}"; do echo "Cache/$f"; done
        for f in "${!expect_in_folder[@]}"; do echo "$f"; done
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
