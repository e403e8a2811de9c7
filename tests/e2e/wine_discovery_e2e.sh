#!/usr/bin/env bash
# End to end: the first start of the Windows program, lodestow.exe, under Wine finds the game through
# the registry and takes its cache from the game's own ini.
#
#   wine_discovery_e2e.sh LODESTOW_EXE SOURCE_DIR
#
# The generated game is not at C:\UnrealTournament but at C:\Games\UT Classic, recorded by the
# installers' registry value (HKLM\SOFTWARE\WOW6432Node\Unreal Technology\Installed Apps\
# UnrealTournament, Folder), and its System\UnrealTournament.ini moves the cache to ..\Downloads.
# With no settings file the program must open its main window on that game, store the folder, and on
# "Begin Transfer" move the files out of Downloads and rewrite the index there. Exits 77 (skipped)
# when Wine or the X tools are missing.
set -euo pipefail

wait_window() {
    local i wid
    for ((i = 0; i < 120; i++)); do
        wid=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1 || true)
        [[ -z $wid ]] || { echo "$wid"; return 0; }
        sleep 0.25
    done
    return 1
}

# ---- the part that runs inside the virtual X server --------------------------------------------
drive() {
    openbox >/dev/null 2>&1 &
    local wm=$!
    "$wine" wineboot -i >/dev/null 2>&1 || true
    "$wine" reg add 'HKLM\SOFTWARE\WOW6432Node\Unreal Technology\Installed Apps\UnrealTournament' \
        /v Folder /t REG_SZ /d 'C:\Games\UT Classic' /f >/dev/null 2>&1 || echo "reg add failed" >&2
    "$wine" 'C:\Lodestow\lodestow.exe' >"$work/lodestow.log" 2>&1 &
    local pid=$! wid WIDTH HEIGHT X Y SCREEN WINDOW i
    if wid=$(wait_window Lodestow); then
        sleep 1
        eval "$(xdotool getwindowgeometry --shell "$wid")"
        local index=$game/Downloads/cache.ini before
        before=$(stat -c '%i %Y.%y' "$index")
        xdotool mousemove --window "$wid" --sync $((WIDTH / 2)) $((HEIGHT - (250 + 127) / 15)) click 1
        for ((i = 0; i < 120; i++)); do
            [[ $(stat -c '%i %Y.%y' "$index") != "$before" ]] && break
            sleep 0.25
        done
        sleep 1
        import -window root "$work/after.png" 2>/dev/null || true
        xdotool mousemove --window "$wid" --sync $((WIDTH - (75 + 127) / 15)) 8 click 1
    else
        xdotool search --onlyvisible --name '^Unreal Tourament Location Form$' >/dev/null 2>&1 &&
            echo "the location window opened instead of the main window" >&2
        echo "the main window did not appear" >&2
    fi
    for ((i = 0; i < 120; i++)); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.25
    done
    kill -0 "$pid" 2>/dev/null && kill -9 "$pid" 2>/dev/null
    local rc=0
    wait "$pid" || rc=$?
    echo "$rc" >"$work/exit"
    "$(dirname "$wine")/wineserver" -k 2>/dev/null || wineserver -k 2>/dev/null || true
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
source "$src/tests/e2e/e2e_common.sh"
e2e_require xvfb-run xdotool openbox import python3
wine=$(command -v wine64 2>/dev/null || { [[ -x /usr/lib/wine/wine64 ]] && echo /usr/lib/wine/wine64; } || true)
[[ -n $wine ]] || { echo "SKIP: wine64 is not installed"; exit 77; }

work=$(mktemp -d "${TMPDIR:-/tmp}/lodestow-wine-discovery.XXXXXX")
finish() {
    if ((failures == 0)); then
        rm -rf "$work"
    else
        echo "kept for a look: $work (program log, after.png)"
    fi
}
trap finish EXIT

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

expected_index=$work/expected-cache.ini
printf '[Cache]\r\n' >"$expected_index"
while IFS=$'\t' read -r cache real folder; do
    case $folder in
    Maps | Textures | Sounds | Music)
        cmp -s "$game/$folder/$real" "$work/cache-before/$cache.uxx" ||
            fail "$folder/$real is missing or does not hold the bytes of $cache.uxx"
        [[ ! -e $game/Downloads/$cache.uxx ]] || fail "$cache.uxx is still in Downloads"
        ;;
    *)
        cmp -s "$game/Downloads/$cache.uxx" "$work/cache-before/$cache.uxx" ||
            fail "$cache.uxx is not in Downloads unchanged"
        printf '%s=%s\r\n' "$cache" "$real" >>"$expected_index"
        ;;
    esac
done <"$work/manifest"
printf '\r\n' >>"$expected_index"
cmp -s "$game/Downloads/cache.ini" "$expected_index" ||
    fail "the index in Downloads was not rewritten as expected: $(od -c "$game/Downloads/cache.ini" | head -n 8)"
[[ ! -e $game/Cache ]] || fail "a Cache folder appeared in the game folder"

if ((failures > 0)); then
    echo "$failures check(s) failed; program output:"
    cat "$work/lodestow.log" 2>/dev/null || true
    exit 1
fi
echo "PASS: lodestow.exe under Wine found the game through the registry and its cache through its ini"
