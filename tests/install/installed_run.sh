#!/usr/bin/env bash
# The installed Debian package, used the way a player uses it: run as root after
# `apt-get install ./lodestow_*.deb`, it checks where the package put things, then starts
# /usr/bin/lodestow (through the desktop entry's command) twice as a normal user under Xvfb on a
# generated game. The first start must show the main window and store the settings in that user's
# configuration folder, never beside the installed program; the second, with the game moved and the
# stored folder edited to follow it, must read that file; each start must end cleanly with "X".
#
#   bash tests/install/installed_run.sh SOURCE_DIR [USER]      (USER: default lodestow-player)
#
# Exits non-zero on a failure and leaves the user's files and screenshots for a look.
set -euo pipefail

# ---- one start, inside the virtual X server, as the player ----------------------------------
# start_once OUT: starts the desktop entry's command, waits for a window, takes a screenshot,
# closes the main window with "X"; writes OUT.window (which window came) and OUT.exit.
start_once() {
    local out=$1 command=$2
    $command >"$out.log" 2>&1 &
    local pid=$! wid="" which=none i
    for ((i = 0; i < 120; i++)); do
        if wid=$(xdotool search --onlyvisible --name '^Lodestow$' 2>/dev/null | head -n1) && [[ -n $wid ]]; then
            which=main
            break
        fi
        if xdotool search --onlyvisible --name '^Unreal Tourament Location Form$' >/dev/null 2>&1; then
            which=location
            break
        fi
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.25
    done
    echo "$which" >"$out.window"
    sleep 0.7
    import -window root "$out.png" 2>/dev/null || true
    if [[ $which == main ]]; then
        local WIDTH HEIGHT X Y SCREEN WINDOW
        eval "$(xdotool getwindowgeometry --shell "$wid")"
        # "X" (255 twips square) ends 75 twips inside the right edge, at the top.
        xdotool mousemove --window "$wid" --sync $((WIDTH - (75 + 127) / 15)) $((127 / 15)) click 1
    fi
    for ((i = 0; i < 80; i++)); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.25
    done
    if kill -0 "$pid" 2>/dev/null; then
        echo "still running 20 s after X" >>"$out.log"
        kill -9 "$pid"
    fi
    local rc=0
    wait "$pid" || rc=$?
    echo "$rc" >"$out.exit"
}

if [[ ${1:-} == --start ]]; then
    start_once "$2" "$3"
    exit 0
fi

# ---- the check, as root ------------------------------------------------------------------------
src=$(cd "${1:?usage: installed_run.sh SOURCE_DIR [USER]}" && pwd)
player=${2:-lodestow-player}
app_id=org.lodestow.Lodestow
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

[[ $(id -u) == 0 ]] || { echo "installed_run: run me as root (I make a user of my own)" >&2; exit 2; }
dpkg -s lodestow >/dev/null 2>&1 || { echo "installed_run: the lodestow package is not installed" >&2; exit 2; }

# Where the package put things.
desktop=/usr/share/applications/$app_id.desktop
dpkg -L lodestow | grep -qx "$desktop" || fail "the package does not hold $desktop"
[[ -f $desktop ]] || fail "no desktop entry in the menu's folder"
for f in /usr/share/icons/hicolor/{48x48,256x256}/apps/$app_id.png /usr/share/metainfo/$app_id.metainfo.xml \
    /usr/share/man/man1/lodestow.1.gz /usr/share/bash-completion/completions/lodestow; do
    [[ -f $f ]] || fail "missing: $f"
done
[[ $(readlink -f /usr/bin/lodestow) == /usr/lib/lodestow/lodestow ]] ||
    fail "/usr/bin/lodestow leads to $(readlink -f /usr/bin/lodestow), not /usr/lib/lodestow/lodestow"
# The command line answers without a display.
env -u DISPLAY -u WAYLAND_DISPLAY lodestow --version | grep -q '^lodestow ' ||
    fail "lodestow --version did not answer without a display"
command=$(sed -n 's/^Exec=//p' "$desktop" | head -n1)
[[ -n $command ]] || fail "the desktop entry has no Exec line"
echo "installed_run: desktop entry command: $command -> $(command -v "${command%% *}")"

# A normal user with a home of its own and a generated game in a Wine-style prefix there.
id "$player" >/dev/null 2>&1 || useradd --create-home --shell /bin/bash "$player"
home=$(getent passwd "$player" | cut -d: -f6)
work=$home/installed-run
rm -rf "$work" "$home/.config/lodestow"
as_player() {
    runuser -u "$player" -- env -i HOME="$home" USER="$player" PATH=/usr/local/bin:/usr/bin:/bin \
        WINEPREFIX="$work/demo/prefix" SDL_AUDIODRIVER=dummy "$@"
}
as_player mkdir -p "$work"
# Copies the player can read wherever the checkout is (root's home, say).
install -m 644 -o "$player" "${BASH_SOURCE[0]}" "$work/installed_run.sh"
install -m 644 -o "$player" "$src/scripts/make-demo-game.py" "$work/make-demo-game.py"
install -m 644 -o "$player" "$src/scripts/in-xvfb.sh" "$work/in-xvfb.sh"
as_player python3 "$work/make-demo-game.py" "$work/demo" >/dev/null
run_start() {
    as_player bash "$work/in-xvfb.sh" bash "$work/installed_run.sh" --start "$work/$1" "$command" ||
        fail "start $1: the run under Xvfb failed"
    local which rc
    which=$(cat "$work/$1.window" 2>/dev/null || echo none)
    rc=$(cat "$work/$1.exit" 2>/dev/null || echo missing)
    echo "installed_run: start $1: window: $which, exit status: $rc"
    [[ $which == main ]] || fail "start $1: the main window did not appear (saw: $which)"
    [[ $rc == 0 ]] || fail "start $1: the exit status is $rc, not 0; output: $(tail -n 5 "$work/$1.log")"
}
settings=$home/.config/lodestow/Lodestow.ini

run_start 1
if [[ ! -f $settings ]]; then
    fail "no settings file in the player's configuration folder ($settings)"
else
    [[ $(stat -c %U "$settings") == "$player" ]] || fail "the settings file does not belong to $player"
    cmp -s "$settings" <(printf 'C:\\UnrealTournament\\\r\n') ||
        fail "the settings file holds $(od -c "$settings" | head -n2), not C:\\UnrealTournament\\ CR LF"
fi
[[ ! -e /usr/lib/lodestow/Lodestow.ini ]] || fail "a settings file appeared beside the installed program"

# The game moves; the player writes its new folder into the settings file. The second start must
# take it from there: the old folder no longer holds a game.
game_root=$work/demo/prefix/drive_c
as_player mkdir -p "$game_root/Games"
as_player mv "$game_root/UnrealTournament" "$game_root/Games/UT"
as_player bash -c "printf 'C:\\\\Games\\\\UT\\\\\r\n' >'$settings'"
run_start 2
cmp -s "$settings" <(printf 'C:\\Games\\UT\\\r\n') || fail "the second start changed the settings file"
[[ ! -e /usr/lib/lodestow/Lodestow.ini ]] || fail "a settings file appeared beside the installed program"

echo "installed_run: the player's settings file $settings:"
od -c "$settings" | sed 's/^/  /'
if ((failures > 0)); then
    echo "installed_run: $failures failure(s); screenshots and logs: $work"
    exit 1
fi
echo "installed_run: all checks passed (screenshots: $work/1.png, $work/2.png)"
