#!/usr/bin/env bash
# End to end: a generated UT2004-shaped game through the command line, no display. The game is
# recognised by its program, its ini's Paths decide where each kind goes (animations to a folder
# of their own, hostile entries passed over), and the transfer leaves files and index as expected.
#
#   games_e2e.sh LODESTOW_EXECUTABLE SOURCE_DIR
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/e2e_common.sh"

exe=$(realpath "${1:?usage: games_e2e.sh LODESTOW_EXECUTABLE SOURCE_DIR}")
src=$(realpath "${2:?usage: games_e2e.sh LODESTOW_EXECUTABLE SOURCE_DIR}")
e2e_require python3
e2e_work_folder games_e2e GAMES_E2E_KEEP

unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config SDL_AUDIODRIVER=dummy
mkdir -p "$HOME" "$work/program"
cp "$exe" "$work/program/lodestow"
lodestow=$work/program/lodestow

python3 "$src/scripts/make-demo-game.py" "$work/demo" --ut2004 --manifest "$work/manifest" >/dev/null
export WINEPREFIX=$work/demo/prefix
game=$WINEPREFIX/drive_c/UT2004
cache=$game/Cache
cp -a "$cache" "$work/before"

"$lodestow" check --game 'C:\UT2004\' >"$work/out" 2>&1 || fail "check failed: $(cat "$work/out")"
grep -qxF "game:            Unreal Tournament 2004" "$work/out" || fail "check printed: $(cat "$work/out")"

"$lodestow" transfer --game 'C:\UT2004\' >"$work/out" 2>&1 || fail "transfer failed: $(cat "$work/out")"
e2e_check_transfer "$game" "$cache" "$work/before" "$work/manifest"
[[ ! -e $WINEPREFIX/drive_c/Outside && ! -e $game/Anims && ! -e $game/Animations ]] ||
    fail "a passed-over Paths entry was used"

if ((failures)); then
    echo "games_e2e: $failures check(s) failed"
    exit 1
fi
echo "games_e2e: every check passed"
