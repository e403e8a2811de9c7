#!/usr/bin/env bash
# End to end: the command line on a generated game, with no display and no sound device.
#
#   cli_e2e.sh LODESTOW_EXECUTABLE SOURCE_DIR
#
# Each command and its exit statuses; --dry-run and a pattern that matches nothing leave every
# file and the index as they were, byte for byte; --only and --name take only what they name; the
# JSON documents parse; a run whose output pipe is closed still finishes; hostile names are shown
# escaped; a running game stops a transfer. CLI_E2E_KEEP=1 keeps the work folder.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/e2e_common.sh"

exe=$(realpath "${1:?usage: cli_e2e.sh LODESTOW_EXECUTABLE SOURCE_DIR}")
src=$(realpath "${2:?usage: cli_e2e.sh LODESTOW_EXECUTABLE SOURCE_DIR}")
e2e_require python3 sha256sum
e2e_work_folder cli_e2e CLI_E2E_KEEP

# No window system at all, and a home and program folder of the test's own (the settings file).
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config SDL_AUDIODRIVER=dummy
mkdir -p "$HOME" "$work/program"
cp "$exe" "$work/program/lodestow"
lodestow=$work/program/lodestow
game_path='C:\UnrealTournament' # as a player types it, without the trailing separator

new_game() {
    python3 "$src/scripts/make-demo-game.py" "$work/demo" --manifest "$work/manifest" >/dev/null
    export WINEPREFIX=$work/demo/prefix
    game=$WINEPREFIX/drive_c/UnrealTournament
    cache=$game/Cache
    rm -rf "$work/before" && cp -a "$cache" "$work/before"
}
# Every file of the game with its digest, the index among them.
snapshot() { (cd "$game" && find . -type f -print0 | sort -z | xargs -0 sha256sum); }

# run EXPECTED_STATUS ARGS...: the program's output in $out and $err.
out=$work/out err=$work/err
run() {
    local expected=$1 rc=0
    shift
    "$lodestow" "$@" >"$out" 2>"$err" || rc=$?
    [[ $rc == "$expected" ]] || fail "lodestow $* exited $rc, not $expected: $(head -c 300 "$err")"
    if [[ $expected == 2 ]] && [[ $(wc -l <"$err") != 1 || -s $out ]]; then
        fail "lodestow $*: not exactly one line on standard error and nothing else"
    fi
}
has() { grep -qF -- "$2" "$1" || fail "$1 lacks '$2': $(head -c 400 "$1")"; }
json_check() { # JSON_FILE PYTHON_ASSERTIONS (the document is d)
    python3 -m json.tool "$1" >/dev/null || fail "$1 is not JSON"
    python3 -c "import json,sys; d=json.load(open(sys.argv[1])); $2" "$1" || fail "$1: $2"
}

new_game
printf '%s\r\n' "$game_path\\" >"$work/program/Lodestow.ini"

# ---- help, version, bad input ----
run 0 --help
has "$out" "Usage: lodestow [COMMAND [OPTIONS]]"
run 0 transfer --help
has "$out" "--dry-run"
# Every command and option the help names is in the manual page.
for command in "" list transfer check; do
    "$lodestow" $command --help
done | grep -oE -- '--[a-z-]+|^  (list|transfer|check) ' | sort -u | while read -r word; do
    grep -qF -- "${word//-/\\-}" "$src/packaging/linux/lodestow.1" ||
        echo "the manual page lacks $word" >>"$work/manual"
done
[[ ! -s $work/manual ]] || fail "$(cat "$work/manual")"
run 0 --version
has "$out" "lodestow "
run 2 list --bogus
run 2 frobnicate
run 2 transfer --only maps,code
run 2 list --game "$work/nowhere"
has "$err" "no game Lodestow knows in"
mv "$cache/cache.ini" "$work/index.aside"
run 2 list
has "$err" "no cache index"
mv "$work/index.aside" "$cache/cache.ini"

# ---- list and check, the game from the settings file ----
run 0 list
[[ $(wc -l <"$out") == 9 ]] || fail "list printed $(wc -l <"$out") lines, not 8 entries and totals"
has "$out" "will be moved"
has "$out" "DM-Lodestar.unr"
has "$out" "stays in the cache (code package)"
has "$out" "8 entries; will be moved: 5"
run 0 list --game "$game_path" --json
json_check "$out" "e=d['entries']; assert len(e)==8 and d['totals']['entries']==8; \
assert all(x['state'] in ('move','code','unknown-kind') for x in e); \
assert all(isinstance(x['size'],int) and x['modified'].endswith('Z') for x in e); \
m=[x for x in e if x['fileName']=='DM-Lodestar.unr'][0]; \
assert m['guid']==m['cacheName'] and len(m['guid'])==32 and m['destination']=='Maps' and m['reason'] is None"
run 0 check
has "$out" "$game_path\\, from the settings file"
has "$out" "cache folder:    $(realpath "$game")/Cache ("
has "$out" "ANSI (Windows-1252)"
has "$out" "game running:    no"

# ---- nothing changes: --dry-run, a pattern that matches nothing ----
snapshot >"$work/snap.before"
run 0 transfer --dry-run
has "$out" "will be moved"
run 0 transfer --dry-run --json --only maps
json_check "$out" "s=[x['fileName'] for x in d['entries'] if x['selected']]; \
assert sorted(s)==['CTF-Driftwood.unr','DM-Lodestar.unr'], s"
run 0 transfer --name 'zz*'
[[ $(cat "$out") == "nothing selected" ]] || fail "a pattern matching nothing printed: $(cat "$out")"
snapshot >"$work/snap.after"
cmp -s "$work/snap.before" "$work/snap.after" || fail "a dry run or an empty selection changed files"

# ---- --only and --name take only what they name ----
run 0 transfer --only maps --name 'dm-*'
has "$out" "1 moved, 0 kept in the cache"
[[ -f $game/Maps/DM-Lodestar.unr ]] || fail "DM-Lodestar.unr was not moved"
[[ ! -f $game/Maps/CTF-Driftwood.unr ]] || fail "CTF-Driftwood.unr was moved but not selected"
grep -q 'CTF-Driftwood.unr' "$cache/cache.ini" || fail "the index lost an entry not selected"

# ---- the rest; the output pipe closed before the run writes: it still finishes ----
rc=0
"$lodestow" transfer --game "$game_path" 2>"$err" | true || rc=$?
[[ ${PIPESTATUS[0]} == 0 && ! -s $err ]] || fail "a transfer into a closed pipe: $(cat "$err")"
e2e_check_transfer "$game" "$cache" "$work/before" "$work/manifest" "after the transfers: "
run 0 transfer
has "$out" "0 moved, 0 kept in the cache"

# ---- another version installed: kept, status 1; hostile names are shown escaped ----
new_game
printf 'not this package' >"$game/Textures/LodeRock.utx"
printf '0123456789abcdef0123456789abcdef=Evil\033[31m.unr\r\nAB=..\\..\\Escape.unr\r\n' \
    >>"$cache/cache.ini"
run 0 list
has "$out" 'Evil\x1B[31m.unr'
grep -q $'\033' "$out" && fail "list printed a raw escape character"
has "$out" "name not usable"
run 1 transfer --json
json_check "$out" "k=[x for x in d['entries'] if x['state']=='kept']; \
assert sorted(x['fileName'] for x in k)==['..\\\\..\\\\Escape.unr','Evil\x1b[31m.unr','LodeRock.utx'], k; \
assert all(x['reason'] for x in k); \
assert '\x1b' in [x for x in d['entries'] if x['fileName'].startswith('Evil')][0]['fileName']"
grep -q $'\033' "$out" && fail "the JSON holds a raw escape character"
[[ -f $game/Maps/DM-Lodestar.unr && $(cat "$game/Textures/LodeRock.utx") == "not this package" ]] ||
    fail "the transfer with a conflict did not move the rest, or replaced the installed file"

# ---- a running game: check says so (1), transfer does nothing (2) ----
new_game
rm "$game/System/UnrealTournament.exe"
cp "$(command -v sleep)" "$game/System/UnrealTournament.exe"
"$game/System/UnrealTournament.exe" 60 &
running=$!
sleep 0.3
run 1 check
has "$out" "game running:    yes"
snapshot >"$work/snap.before"
run 2 transfer
has "$err" "is running"
snapshot >"$work/snap.after"
cmp -s "$work/snap.before" "$work/snap.after" || fail "a transfer while the game ran changed files"
kill "$running" 2>/dev/null || true
wait "$running" 2>/dev/null || true

if ((failures)); then
    echo "cli_e2e: $failures check(s) failed"
    exit 1
fi
echo "cli_e2e: every check passed"
