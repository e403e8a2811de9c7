#!/usr/bin/env bash
# End to end: the game is not where the settings file says, so the program opens the location
# window; a wrong folder typed there is refused with the message box, the right one opens the main
# window, whose "X" ends the program. A second start asks again (nothing was remembered), and
# "Cancel" ends it. Driven with the mouse and keyboard under Xvfb.
#
#   location_e2e.sh LODESTOW_EXECUTABLE [SOURCE_DIR]
#
# LOC_SCREENSHOT names where the picture of the location window goes (default: in the work folder,
# kept when a check fails; LOC_E2E_KEEP=1 keeps it always). Exits 77 (skipped) when the X tools are missing.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/e2e_common.sh"

# Window geometry in twips, as the location window is made; 15 twips to the pixel.
px() { echo $((($1 + 7) / 15)); }
# Centre of a control inside the panel (which starts 360 twips down the window).
panel_x() { px $(($1 + $2 / 2)); }
panel_y() { px $((360 + $1 + $2 / 2)); }

# ---- the part that runs inside the virtual X server --------------------------------------------
drive() {
    # Every check below records its own failure; none may cut the run short.
    set +e
    local work=$1
    "$work/program/lodestow" >"$work/lodestow.log" 2>&1 &
    local pid=$!
    echo "$pid" >"$work/pid"
    local result=$work/result
    : >"$result"
    note() { echo "$*" >>"$result"; }

    local loc
    if ! loc=$(e2e_find_window 'Unreal Tourament Location Form'); then
        note "FAIL: the location window did not appear within 30 s"
        kill "$pid" 2>/dev/null || true
        return
    fi
    sleep 0.7
    if xdotool search --onlyvisible --name '^Lodestow$' >/dev/null 2>&1; then
        note "FAIL: the main window is on screen next to the location window"
    fi
    local WIDTH HEIGHT X Y SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$loc")"
    echo "location window $loc at $X,$Y size ${WIDTH}x${HEIGHT}" >>"$work/log"
    [[ $WIDTH == 364 && $HEIGHT == 285 ]] || note "FAIL: the location window is ${WIDTH}x${HEIGHT}, not 364x285"
    # Centred on the 1024x768 screen.
    [[ $((X + WIDTH / 2)) -ge 511 && $((X + WIDTH / 2)) -le 513 &&
        $((Y + HEIGHT / 2)) -ge 383 && $((Y + HEIGHT / 2)) -le 385 ]] ||
        note "FAIL: the location window is not centred (at $X,$Y)"
    import -window root "$work/screen.png" 2>/dev/null || note "FAIL: no screenshot"

    # Replace the text of ThePath (120,2760 5175x375) with a folder and press "Enter"
    # (3600,3240 1695x495).
    type_and_enter() {
        xdotool mousemove --window "$loc" --sync "$(panel_x 120 5175)" "$(panel_y 2760 375)" click 1
        sleep 0.2
        xdotool key --clearmodifiers ctrl+a BackSpace
        xdotool type --delay 20 "$1"
        sleep 0.2
        xdotool mousemove --window "$loc" --sync "$(panel_x 3600 1695)" "$(panel_y 3240 495)" click 1
    }

    # A folder without the game: the message box, and the window stays.
    type_and_enter 'C:\Games'
    local box
    if ! box=$(e2e_find_window 'System Failure' 15); then
        note "FAIL: no \"System Failure\" message box for a folder without the game"
    else
        sleep 0.3
        import -window root "$work/message.png" 2>/dev/null || true
        xdotool key Return
        sleep 0.3
        if xdotool search --onlyvisible --name '^System Failure$' >/dev/null 2>&1; then
            # The key may have gone elsewhere: press OK with the mouse instead (centre bottom).
            local W H BX BY
            eval "$(xdotool getwindowgeometry --shell "$box" | sed 's/^WIDTH/W/;s/^HEIGHT/H/;s/^X=/BX=/;s/^Y=/BY=/')"
            xdotool mousemove --window "$box" --sync $((W / 2)) $((H - 20)) click 1
            sleep 0.3
        fi
        xdotool search --onlyvisible --name '^System Failure$' >/dev/null 2>&1 &&
            note "FAIL: the message box would not go away"
    fi
    xdotool search --onlyvisible --name '^Unreal Tourament Location Form$' >/dev/null 2>&1 ||
        note "FAIL: the location window closed after a folder without the game"

    # The game folder, typed in another letter case than on disk: the main window takes over.
    type_and_enter 'c:\games\ut'
    local main
    if ! main=$(e2e_find_window Lodestow); then
        note "FAIL: the main window did not appear after a valid folder"
    else
        sleep 0.7
        import -window root "$work/main.png" 2>/dev/null || true
        xdotool search --onlyvisible --name '^Unreal Tourament Location Form$' >/dev/null 2>&1 &&
            note "FAIL: the location window is still open next to the main window"
    fi
    if ! kill -0 "$pid" 2>/dev/null; then
        note "FAIL: the program ended instead of showing the main window"
        return
    fi
    # Close the main window with its "X" (top right): with no window left the program ends.
    [[ -z $main ]] || e2e_click_close "$main"
    e2e_await_exit "$pid" ||
        note "FAIL: the program was still running 20 s after closing its main window"
    [[ $e2e_rc == 0 ]] || note "FAIL: the program's exit status is $e2e_rc, not 0"

    # The confirmed folder was not remembered: the next start asks again; "Cancel" ends it.
    "$work/program/lodestow" >>"$work/lodestow.log" 2>&1 &
    pid=$!
    if ! loc=$(e2e_find_window 'Unreal Tourament Location Form'); then
        note "FAIL: the second start did not open the location window"
        kill "$pid" 2>/dev/null
        wait "$pid"
        return
    fi
    sleep 0.5
    xdotool mousemove --window "$loc" --sync "$(panel_x 1800 1695)" "$(panel_y 3240 495)" click 1
    e2e_await_exit "$pid" || note "FAIL: the program was still running 20 s after \"Cancel\""
    [[ $e2e_rc == 0 ]] || note "FAIL: after \"Cancel\" the program's exit status is $e2e_rc, not 0"
}

if [[ ${1:-} == --drive ]]; then
    drive "$2"
    exit 0
fi

# ---- the test ------------------------------------------------------------------------------------
exe=${1:?usage: location_e2e.sh LODESTOW_EXECUTABLE [SOURCE_DIR]}
e2e_require xvfb-run xdotool import convert

e2e_work_folder lodestow-loc-e2e LOC_E2E_KEEP "program log, screen.png, message.png, main.png"

# A prefix whose game is at C:\Games\UT, not at the remembered C:\UnrealTournament.
export WINEPREFIX=$work/prefix
mkdir -p "$WINEPREFIX/dosdevices" "$WINEPREFIX/drive_c/Windows"
ln -s ../drive_c "$WINEPREFIX/dosdevices/c:"
game=$WINEPREFIX/drive_c/Games/UT
mkdir -p "$game/System" "$game/Cache" "$game/Help" "$game/Maps" "$game/Textures"
printf 'placeholder\n' >"$game/System/UnrealTournament.exe"
printf '[Cache]\r\nA1B2C3=DM-Harbour.unr\r\nD4E5F6=Harbour.utx\r\n\r\n' >"$game/Cache/cache.ini"
printf 'map bytes\n' >"$game/Cache/A1B2C3.uxx"
printf 'texture bytes\n' >"$game/Cache/D4E5F6.uxx"
convert -size 480x270 gradient:'#203060-#000010' -fill '#e0c040' -pointsize 40 \
    -annotate +60+150 'Lodestow test logo' "BMP3:$game/Help/UnrealTournamentLogo.bmp"
cp -a "$game" "$work/game-before"

# The program folder is the folder of the executable: a copy, so that the settings file is ours.
mkdir "$work/program"
cp "$exe" "$work/program/lodestow"
printf 'C:\\UnrealTournament\\\r\n' >"$work/program/Lodestow.ini"
cp "$work/program/Lodestow.ini" "$work/settings-before"

e2e_program_environment "$work"
e2e_xvfb_run bash "${BASH_SOURCE[0]}" --drive "$work" >"$work/xvfb.log" 2>&1 ||
    fail "the run under Xvfb ended with status $?: $(tail -n 5 "$work/xvfb.log")"

if [[ ! -f $work/result ]]; then
    fail "the run under Xvfb did not start"
else
    while IFS= read -r line; do
        fail "${line#FAIL: }"
    done <"$work/result"
fi
if [[ -n ${LOC_SCREENSHOT:-} && -f $work/screen.png ]]; then
    cp "$work/screen.png" "$LOC_SCREENSHOT"
fi
cmp -s "$work/program/Lodestow.ini" "$work/settings-before" ||
    fail "the settings file changed; it holds: $(od -c "$work/program/Lodestow.ini" | head -n 3)"
# Opening the main window only reads the game: nothing on disk moves.
diff -r "$work/game-before" "$game" >/dev/null || fail "the game folder changed without a transfer"

if ((failures > 0)); then
    echo "--- program output"
    cat "$work/lodestow.log" 2>/dev/null || true
    echo "$failures check(s) failed"
    exit 1
fi
echo "PASS: location window end to end"
