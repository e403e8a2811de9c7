#!/usr/bin/env bash
# End to end: the first start of the Windows program, lodestow.exe, under Wine finds the game through
# the registry and takes its cache from the game's own ini; then the same for a UT2004-shaped game.
#
#   wine_discovery_e2e.sh LODESTOW_EXE SOURCE_DIR
#
# The generated game is not at C:\UnrealTournament but at C:\Games\UT Classic, recorded by the
# installers' registry value (HKLM\SOFTWARE\WOW6432Node\Unreal Technology\Installed Apps\
# UnrealTournament, Folder, written as Steam writes paths: "c:/games/ut classic"), and its
# System\UnrealTournament.ini moves the cache to ..\Downloads. With no settings file the program
# must open its main window on that game, store the folder as Windows writes it, and on
# "Begin Transfer" move the files out of Downloads and rewrite the index there. The UT2004-shaped
# game is at C:\Games\UT2004, recorded under ...\Installed Apps\UT2004; its ini's Paths decide its
# folders. Exits 77 (skipped) when Wine or the X tools are missing.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/e2e_common.sh"

# ---- the part that runs inside the virtual X server --------------------------------------------
drive() {
    openbox >/dev/null 2>&1 &
    local wm=$!
    "$wine" wineboot -i >/dev/null 2>&1 || true
    "$wine" reg add "$key" /v Folder /t REG_SZ /d "$value" /f >/dev/null 2>&1 ||
        echo "reg add failed" >&2
    "$wine" 'C:\Lodestow\lodestow.exe' >"$work/lodestow.log" 2>&1 &
    local pid=$! wid
    if wid=$(e2e_find_window Lodestow); then
        sleep 1
        import -window "$wid" "$work/before.png" 2>/dev/null || true
        e2e_begin_transfer "$wid" "$cache/cache.ini"
        sleep 1
        import -window root "$work/after.png" 2>/dev/null || true
        e2e_click_close "$wid"
    else
        xdotool search --onlyvisible --name '^Unreal Tourament Location Form$' >/dev/null 2>&1 &&
            echo "the location window opened instead of the main window" >&2
        echo "the main window did not appear" >&2
    fi
    e2e_await_exit "$pid" 30 || echo "the program was still running 30 s after \"X\"" >&2
    echo "$e2e_rc" >"$work/exit"
    e2e_stop_wineserver
    kill "$wm" 2>/dev/null || true
}

if [[ ${1:-} == --drive ]]; then
    work=$2 game=$3 cache=$4 wine=$5 key=$6 value=$7
    drive
    exit 0
fi

# ---- the test ------------------------------------------------------------------------------------
exe=$(realpath "${1:?usage: wine_discovery_e2e.sh LODESTOW_EXE SOURCE_DIR}")
src=$(realpath "${2:?usage: wine_discovery_e2e.sh LODESTOW_EXE SOURCE_DIR}")
e2e_require xvfb-run xdotool openbox import python3
e2e_require_wine

e2e_work_folder lodestow-wine-discovery WINE_DISCOVERY_KEEP "program logs, before.png and after.png"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# One first start: the demo game (make-demo-game.py with DEMO_FLAGS) moved from C:\FROM to
# C:\Games\TO and recorded under the registry KEY as VALUE; CACHE is its cache's folder name.
discover() {
    local case=$1 flags=$2 from=$3 to=$4 cache_name=$5 key=$6 value=$7
    local run=$work/$case
    mkdir -p "$run"
    # shellcheck disable=SC2086
    python3 "$src/scripts/make-demo-game.py" "$run/demo" $flags --manifest "$run/manifest" >/dev/null
    export WINEPREFIX=$run/demo/prefix
    mkdir -p "$WINEPREFIX/drive_c/Games"
    local game="$WINEPREFIX/drive_c/Games/$to"
    mv "$WINEPREFIX/drive_c/$from" "$game"
    if [[ $cache_name != Cache ]]; then
        mv "$game/Cache" "$game/$cache_name"
        printf '[Core.System]\r\nPurgeCacheDays=0\r\nCachePath=..\\%s\r\nCacheExt=.uxx\r\n' \
            "$cache_name" >"$game/System/UnrealTournament.ini"
    fi
    cp -a "$game/$cache_name" "$run/cache-before"
    program=$WINEPREFIX/drive_c/Lodestow
    mkdir -p "$program"
    cp "$exe" "$program/lodestow.exe"

    e2e_xvfb_run bash "${BASH_SOURCE[0]}" --drive "$run" "$game" "$game/$cache_name" "$wine" \
        "$key" "$value"

    [[ $(cat "$run/exit" 2>/dev/null) == 0 ]] ||
        fail "$case: the program's exit status is $(cat "$run/exit" 2>/dev/null), not 0"
    cmp -s "$program/Lodestow.ini" <(printf 'C:\\Games\\%s\\\r\n' "$to") ||
        fail "$case: the first start did not store C:\\Games\\$to\\ CR LF: $(od -c "$program/Lodestow.ini" 2>&1 | head -n 3)"
    e2e_check_transfer "$game" "$game/$cache_name" "$run/cache-before" "$run/manifest" "$case: "
    [[ $cache_name == Cache || ! -e $game/Cache ]] || fail "$case: a Cache folder appeared in the game folder"
}

apps='HKLM\SOFTWARE\Unreal Technology\Installed Apps'
discover ut "" UnrealTournament "UT Classic" Downloads \
    'HKLM\SOFTWARE\WOW6432Node\Unreal Technology\Installed Apps\UnrealTournament' 'c:/games/ut classic'
discover ut2004 --ut2004 UT2004 UT2004 Cache "$apps\UT2004" 'C:\Games\UT2004'
[[ ! -e $WINEPREFIX/drive_c/Games/UT2004/Animations ]] || fail "ut2004: its ini's Paths were not followed"

if ((failures > 0)); then
    echo "$failures check(s) failed; program output:"
    cat "$work"/*/lodestow.log 2>/dev/null || true
    exit 1
fi
echo "PASS: lodestow.exe under Wine found each game through the registry and its cache through its ini"
