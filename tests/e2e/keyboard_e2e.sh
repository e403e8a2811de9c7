#!/usr/bin/env bash
# End to end: the location window as the keyboard and the window manager meet it, under Xvfb once
# with a window manager (openbox) and once without one.
#  - The window opens with "Cancel" holding the focus: Return presses it and the program ends.
#  - Tab moves the focus to "Enter"; Return presses it, and the folder (C:\, no game) is refused
#    with the message box; the window stays.
#  - The window manager's close command (Alt+F4; without a window manager, the same request sent
#    to the window) closes the window, and with no window left the program ends with status 0.
#
#   keyboard_e2e.sh LODESTOW_EXECUTABLE [SOURCE_DIR]
#
# Exits 77 (skipped) when the X tools or the window manager are missing.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/e2e_common.sh"

# ---- the part that runs inside the virtual X server --------------------------------------------
drive() {
    set +e
    local work=$1 mode=$2
    local result=$work/result-$mode
    : >"$result"
    note() { echo "($mode) $*" >>"$result"; }
    if [[ $mode == wm ]]; then
        openbox >/dev/null 2>&1 &
        sleep 1
    fi

    local pid loc
    start() {
        "$work/program/lodestow" >>"$work/lodestow-$mode.log" 2>&1 &
        pid=$!
        loc=$(e2e_find_window 'Unreal Tourament Location Form') || true
        if [[ -z $loc ]]; then
            note "the location window did not appear within 30 s"
            kill "$pid" 2>/dev/null
            wait "$pid"
            return 1
        fi
        sleep 0.7
        # The keyboard goes to the location window (Qt keeps one X window per window).
        local focus
        focus=$(xdotool getwindowfocus 2>/dev/null)
        [[ $focus == "$loc" ]] || note "the keyboard is not on the location window when it opens ($focus, not $loc)"
    }
    # Waits up to 20 s for the program to end; $1 says after what.
    ended() {
        e2e_await_exit "$pid" || note "the program was still running 20 s after $1"
        [[ $e2e_rc == 0 ]] || note "after $1 the program's exit status is $e2e_rc, not 0"
    }

    # Return on the first focus, "Cancel".
    if start; then
        xdotool key Return
        ended "Return on the opening focus"
    fi

    # Tab, Return: "Enter" with C:\ gives the message box; then the window manager's close.
    if start; then
        xdotool key Tab
        sleep 0.2
        xdotool key Return
        local box
        box=$(e2e_find_window 'System Failure') || true
        if [[ -z $box ]]; then
            note "Tab and Return did not press \"Enter\" (no message box)"
        else
            sleep 0.5
            [[ $mode == wm ]] && import -window root "$work/message-$mode.png" 2>/dev/null
            local W H X Y SCREEN WINDOW WIDTH HEIGHT
            eval "$(xdotool getwindowgeometry --shell "$box")"
            xdotool mousemove --window "$box" --sync $((WIDTH / 2)) $((HEIGHT - 20)) click 1
            sleep 0.5
            xdotool search --onlyvisible --name '^System Failure$' >/dev/null 2>&1 &&
                note "the message box would not go away"
        fi
        kill -0 "$pid" 2>/dev/null || note "the program ended after the message box"
        if [[ $mode == wm ]]; then
            xdotool windowactivate --sync "$loc" 2>/dev/null
            xdotool key alt+F4
        else
            python3 "$work/close-request.py" "$loc" || note "could not send the close request"
        fi
        ended "the window manager's close command"
    fi
}

if [[ ${1:-} == --drive ]]; then
    drive "$2" "$3"
    exit 0
fi

# ---- the test ------------------------------------------------------------------------------------
exe=${1:?usage: keyboard_e2e.sh LODESTOW_EXECUTABLE [SOURCE_DIR]}
e2e_require xvfb-run xdotool openbox import python3

e2e_work_folder lodestow-keys-e2e KEYS_E2E_KEEP

# The close request a window manager sends a window (WM_DELETE_WINDOW), for the run without one.
cat >"$work/close-request.py" <<'PY'
import ctypes, ctypes.util, sys
x = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11") or "libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XOpenDisplay.argtypes = [ctypes.c_char_p]
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
x.XFlush.argtypes = [ctypes.c_void_p]
class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]
display = x.XOpenDisplay(None)
if not display:
    sys.exit(1)
window = int(sys.argv[1])
event = ClientMessage()
event.type = 33  # ClientMessage
event.window = window
event.message_type = x.XInternAtom(display, b"WM_PROTOCOLS", 0)
event.format = 32
event.data[0] = x.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
event.data[1] = 0  # CurrentTime
x.XSendEvent(display, window, 0, 0, ctypes.byref(event))
x.XFlush(display)
PY

# A game that is not where the settings file says: the location window opens at every start.
export WINEPREFIX=$work/prefix
mkdir -p "$WINEPREFIX/dosdevices" "$WINEPREFIX/drive_c/Games/UT/System"
ln -s ../drive_c "$WINEPREFIX/dosdevices/c:"
printf 'placeholder\n' >"$WINEPREFIX/drive_c/Games/UT/System/UnrealTournament.exe"
mkdir "$work/program"
cp "$exe" "$work/program/lodestow"
printf 'C:\\UnrealTournament\\\r\n' >"$work/program/Lodestow.ini"

e2e_program_environment "$work"
for mode in wm nowm; do
    e2e_xvfb_run bash "${BASH_SOURCE[0]}" --drive "$work" "$mode" \
        >"$work/xvfb-$mode.log" 2>&1 ||
        fail "the run under Xvfb ($mode) ended with status $?: $(tail -n 5 "$work/xvfb-$mode.log")"
    if [[ ! -f $work/result-$mode ]]; then
        fail "the run under Xvfb ($mode) did not start"
    else
        while IFS= read -r line; do
            fail "$line"
        done <"$work/result-$mode"
    fi
done

if ((failures > 0)); then
    for mode in wm nowm; do
        echo "--- program output ($mode)"
        cat "$work/lodestow-$mode.log" 2>/dev/null || true
    done
    echo "$failures check(s) failed"
    exit 1
fi
echo "PASS: keyboard and closing end to end, with and without a window manager"
