#!/usr/bin/env bash
# End to end: the console program lodestow.com under Wine on a generated game, with no display.
#
#   wine_cli_e2e.sh LODESTOW_COM SOURCE_DIR
#
# list (text and JSON, a name beyond ASCII written as UTF-8), check, a bad option and a folder
# without the game (status 2, one line on standard error), then one transfer, checked file by
# file. Exits 77 (skipped) when Wine is not installed.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/e2e_common.sh"

com=$(realpath "${1:?usage: wine_cli_e2e.sh LODESTOW_COM SOURCE_DIR}")
src=$(realpath "${2:?usage: wine_cli_e2e.sh LODESTOW_COM SOURCE_DIR}")
e2e_require python3
e2e_require_wine
e2e_work_folder lodestow-wine-cli

python3 "$src/scripts/make-demo-game.py" "$work/demo" --manifest "$work/manifest" >/dev/null
export WINEPREFIX=$work/demo/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
game=$WINEPREFIX/drive_c/UnrealTournament
program=$WINEPREFIX/drive_c/Lodestow
mkdir -p "$program"
cp "$com" "$program/lodestow.com"
cp -a "$game/Cache" "$work/before"
# An entry whose name is beyond ASCII (the index is in the ANSI code page); its file is missing.
printf '00112233445566778899AABBCCDDEEFF=Caf\xe9.unr\r\n' >>"$game/Cache/cache.ini"
"$wine" wineboot -i >/dev/null 2>&1 || true

out=$work/out err=$work/err
run() {
    local expected=$1 rc=0
    shift
    "$wine" 'C:\Lodestow\lodestow.com' "$@" >"$out" 2>"$err" || rc=$?
    [[ $rc == "$expected" ]] || fail "lodestow.com $* exited $rc, not $expected: $(head -c 300 "$err")"
    if [[ $expected == 2 ]] && [[ $(grep -c . "$err") != 1 || -s $out ]]; then
        fail "lodestow.com $*: not exactly one line on standard error: $(cat "$err")"
    fi
}

run 0 --version
grep -q '^lodestow ' "$out" || fail "--version printed: $(cat "$out")"
run 2 list --bogus
run 2 list --game 'C:\Nowhere'
run 0 list --game 'C:\UnrealTournament'
grep -q 'will be moved.*DM-Lodestar.unr' "$out" || fail "list printed: $(head -c 400 "$out")"
grep -qF 'Café.unr' "$out" || fail "list did not write Café.unr in UTF-8"
run 0 list --game 'C:\UnrealTournament' --json
python3 -c "import json,sys; d=json.load(open(sys.argv[1], encoding='utf-8')); \
e=d['entries']; assert len(e)==9 and d['game']=='C:\\\\UnrealTournament\\\\', d['game']; \
assert [x['state'] for x in e if x['fileName']=='Café.unr']==['missing']" "$out" ||
    fail "list --json is not the document expected"
run 0 check --game 'C:\UnrealTournament'
grep -q 'game running: *no' "$out" || fail "check printed: $(cat "$out")"
run 0 transfer --game 'C:\UnrealTournament'
grep -q '5 moved, 0 kept in the cache' "$out" || fail "transfer printed: $(tail -n 3 "$out")"
e2e_check_transfer "$game" "$game/Cache" "$work/before" "$work/manifest" "lodestow.com transfer: "
e2e_stop_wineserver

if ((failures > 0)); then
    echo "$failures check(s) failed"
    exit 1
fi
echo "PASS: lodestow.com under Wine listed, checked and moved the cache from a console"
