#!/usr/bin/env bash
# End to end: the first start of the Windows program, lodestow.exe, under Wine finds the game through
# the registry and takes its cache from the game's own ini.
#
#   wine_discovery_e2e.sh LODESTOW_EXE SOURCE_DIR
#
# The generated game is not at C:\UnrealTournament but at C:\Games\UT Classic, recorded by the
# installers' registry value (HKLM\SOFTWARE\WOW6432Node\Unreal Technology\Installed Apps\
# UnrealTournament, Folder, written as Steam writes paths: "c:/games/ut classic"), and its
# System\UnrealTournament.ini moves the cache to ..\Downloads. With no settings file the program
# must open its main window on that game, store the folder as Windows writes it, and on
# "Begin Transfer" move the files out of Downloads and rewrite the index there. Exits 77 (skipped)
# when Wine or the X tools are missing.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/e2e_common.sh"

# ---- the part that runs inside the virtual X server --------------------------------------------
drive() {
    openbox >/dev/null 2>&1 &
    local wm=$!
    "$wine" wineboot -i >/dev/null 2>&1 || true
    "$wine" reg add 'HKLM\SOFTWARE\WOW6432Node\Unreal Technology\Installed Apps\UnrealTournament' \
        /v Folder /t REG_SZ /d 'c:/games/ut classic' /f >/dev/null 2>&1 || echo "reg add failed" >&2
    "$wine" 'C:\Lodestow\lodestow.exe' >"$work/lodestow.log" 2>&1 &
    local pid=$! wid
    if wid=$(e2e_find_window Lodestow); then
        sleep 1
        e2e_begin_transfer "$wid" "$game/Downloads/cache.ini"
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
    work=$2 game=$3 wine=$4
    drive
    exit 0
fi

# ---- the test ------------------------------------------------------------------------------------
exe=$(realpath "${1:?usage: wine_discovery_e2e.sh LODESTOW_EXE SOURCE_DIR}")
src=$(realpath "${2:?usage: wine_discovery_e2e.sh LODESTOW_EXE SOURCE_DIR}")
e2e_require xvfb-run xdotool openbox import python3
e2e_require_wine

e2e_work_folder lodestow-wine-discovery "" "program log, after.png"

python3 "$src/scripts/make-demo-game.py" "$work/demo" --manifest "$work/manifest" >/dev/null
export WINEPREFIX=$work/demo/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX/drive_c/Games"
game="$WINEPREFIX/drive_c/Games/UT Classic"
mv "$WINEPREFIX/drive_c/UnrealTournament" "$game"
mv "$game/Cache" "$game/Downloads"
printf '[Core.System]\r\nPurgeCacheDays=0\r\nCachePath=..\\Downloads\r\nCacheExt=.uxx\r\n' \
    >"$game/System/UnrealTournament.ini"
cp -a "$game/Downloads" "$work/cache-before"
program=$WINEPREFIX/drive_c/Lodestow
mkdir -p "$program"
cp "$exe" "$program/lodestow.exe"

e2e_xvfb_run bash "${BASH_SOURCE[0]}" --drive "$work" "$game" "$wine"

[[ $(cat "$work/exit" 2>/dev/null) == 0 ]] || fail "the program's exit status is $(cat "$work/exit" 2>/dev/null), not 0"
cmp -s "$program/Lodestow.ini" <(printf 'C:\\Games\\UT Classic\\\r\n') ||
    fail "the first start did not store C:\\Games\\UT Classic\\ CR LF: $(od -c "$program/Lodestow.ini" 2>&1 | head -n 3)"

e2e_check_transfer "$game" "$game/Downloads" "$work/cache-before" "$work/manifest" "Downloads: "
[[ ! -e $game/Cache ]] || fail "a Cache folder appeared in the game folder"

if ((failures > 0)); then
    echo "$failures check(s) failed; program output:"
    cat "$work/lodestow.log" 2>/dev/null || true
    exit 1
fi
echo "PASS: lodestow.exe under Wine found the game through the registry and its cache through its ini"
