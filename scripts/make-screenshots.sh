#!/usr/bin/env bash
# Takes the README's screenshots of Lodestow on our demo game, under a virtual X server with a
# window manager (Xvfb and openbox):
#
#   bash scripts/make-screenshots.sh [--exe PROGRAM] [--out FOLDER] [--linux-only]
#
#   main-window.png         the main window as it opens on the demo game
#   main-window-after.png   the same after "Begin Transfer" has run
#   location-window.png     the location window, for a game that is not where the settings say
#   entries-window.png      the Cache Entries window (F3 on the main window) before the transfer
#
# and, when build-windows/lodestow.exe and wine64 are there, the same three of the Windows program
# under Wine as windows-main-window.png, windows-main-window-after.png, windows-location-window.png,
# and its cache entries window as windows-entries-window.png.
# Default: builds build/lodestow and writes into docs/screenshots/, where the README shows them
# and the visual check in the test suite compares against them. Each picture is of the window alone.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")

# Window geometry in twips, as the windows are made; 15 twips to the pixel.
px() { echo $((($1 + 7) / 15)); }

wait_for_window() { # NAME SECONDS -> window id, or nothing
    timeout "$2" xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -n1 || true
}

wait_for_exit() { # PID
    local i
    for ((i = 0; i < 80; i++)); do
        kill -0 "$1" 2>/dev/null || break
        sleep 0.25
    done
    kill -9 "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}

# ---- inside the virtual X server ----------------------------------------------------------------
# shoot RUNNER PROGRAM_FOLDER GAME_PREFIX OUT NAME_PREFIX: the main window before and after a
# transfer, then a second start whose settings point nowhere, for the location window.
shoot() {
    local runner=$1 program=$2 prefix=$3 out=$4 name=$5
    local exe=$program/lodestow log=$program/run.log
    [[ $runner == wine ]] && exe=$program/lodestow.exe
    local game=$prefix/drive_c/UnrealTournament
    local -a run=("$exe")
    if [[ $runner == wine ]]; then
        run=("$wine" "$exe")
        WINEPREFIX=$prefix "$wine" wineboot -i >/dev/null 2>&1 || true
    fi

    printf 'C:\\UnrealTournament\\\r\n' >"$program/Lodestow.ini"
    WINEPREFIX=$prefix "${run[@]}" >"$log" 2>&1 &
    local pid=$! wid
    wid=$(wait_for_window '^Lodestow$' 60)
    if [[ -z $wid ]]; then
        echo "make-screenshots: the main window did not appear; the program said:" >&2
        cat "$log" >&2
        kill "$pid" 2>/dev/null || true
        return 1
    fi
    sleep 1.5
    import -window "$wid" "$out/${name}main-window.png"
    # F3 opens the Cache Entries window; its rows are examined in the first moments it is open.
    local eid
    xdotool windowactivate --sync "$wid" key F3 2>/dev/null || true
    eid=$(wait_for_window '^Cache Entries - Unreal Tournament$' 20)
    if [[ -n $eid ]]; then
        xdotool mousemove 0 0
        sleep 2
        import -window "$eid" "$out/${name}entries-window.png"
        xdotool windowactivate --sync "$eid" key Escape 2>/dev/null || true
        sleep 0.5
    elif [[ $runner != wine ]]; then
        echo "make-screenshots: F3 did not open the Cache Entries window" >&2
    fi
    local WIDTH HEIGHT X Y SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$wid")"
    if [[ $runner == wine ]]; then
        # F3 opens the cache entries window; a click on the "Name" header sorts it (the arrow
        # shows), Escape closes it. Taken with its title bar.
        xdotool windowactivate --sync "$wid" 2>/dev/null || true
        xdotool key --clearmodifiers F3
        local entries
        entries=$(wait_for_window '^Cache Entries - Unreal Tournament$' 30)
        if [[ -n $entries ]]; then
            sleep 1
            # The header row begins below the filter box: 120 + 315 + 120 twips down.
            xdotool mousemove --window "$entries" --sync 40 $(($(px 555) + 8)) click 1
            xdotool mousemove 0 0
            sleep 1
            import -frame -window "$entries" "$out/${name}entries-window.png"
            xdotool key --clearmodifiers Escape
            sleep 1
        else
            echo "make-screenshots: the entries window did not appear" >&2
        fi
    fi
    # "Begin Transfer" is centred, its bottom edge 250 twips above the window's, 255 twips high.
    local before i
    before=$(stat -c '%i %Y.%y' "$game/Cache/cache.ini")
    xdotool mousemove --window "$wid" --sync $((WIDTH / 2)) $((HEIGHT - (250 + 127) / 15)) click 1
    for ((i = 0; i < 120; i++)); do
        [[ $(stat -c '%i %Y.%y' "$game/Cache/cache.ini" 2>/dev/null) != "$before" ]] && break
        sleep 0.25
    done
    # Away from the button, so that it is not drawn as hovered.
    xdotool mousemove 0 0
    sleep 1.5
    import -window "$wid" "$out/${name}main-window-after.png"
    # "X" (255 twips square) ends 75 twips inside the right edge, at the top.
    xdotool mousemove --window "$wid" --sync $((WIDTH - (75 + 127) / 15)) $((127 / 15)) click 1
    wait_for_exit "$pid"

    printf 'C:\\Nowhere\\\r\n' >"$program/Lodestow.ini"
    WINEPREFIX=$prefix "${run[@]}" >>"$log" 2>&1 &
    pid=$!
    wid=$(wait_for_window '^Unreal Tourament Location Form$' 60)
    if [[ -z $wid ]]; then
        echo "make-screenshots: the location window did not appear; the program said:" >&2
        cat "$log" >&2
        kill "$pid" 2>/dev/null || true
        return 1
    fi
    xdotool mousemove 0 0
    sleep 1.5
    import -window "$wid" "$out/${name}location-window.png"
    # "Cancel": 1800,3240 1695x495 in the panel, which starts 360 twips down the window.
    xdotool mousemove --window "$wid" --sync "$(px $((1800 + 1695 / 2)))" "$(px $((360 + 3240 + 495 / 2)))" click 1
    wait_for_exit "$pid"
    if [[ $runner == wine ]]; then
        WINEPREFIX=$prefix "$(dirname "$wine")/wineserver" -k 2>/dev/null || true
    fi
}

if [[ ${1:-} == --in-x ]]; then
    shift
    openbox --sm-disable >/dev/null 2>&1 &
    wm=$!
    sleep 1
    status=0
    shoot "$@" || status=$?
    kill "$wm" 2>/dev/null || true
    exit "$status"
fi

# ---- setting up --------------------------------------------------------------------------------
exe="" out=$root/docs/screenshots windows=1
while (($# > 0)); do
    case $1 in
    --exe) exe=$(realpath "$2"); shift 2 ;;
    --out) mkdir -p "$2"; out=$(cd "$2" && pwd); shift 2 ;;
    --linux-only) windows=0; shift ;;
    *) echo "usage: make-screenshots.sh [--exe PROGRAM] [--out FOLDER] [--linux-only]" >&2; exit 2 ;;
    esac
done
if [[ -z $exe ]]; then
    bash "$here/setup-deps.sh"
    generator=(-G Ninja)
    [[ ! -f $root/build/CMakeCache.txt ]] || generator=()
    cmake -S "$root" -B "$root/build" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$root/build" -j2 --target lodestow
    exe=$root/build/lodestow
fi
mkdir -p "$out"

work=$(mktemp -d "${TMPDIR:-/tmp}/lodestow-shots.XXXXXX")
trap 'rm -rf "$work"' EXIT
# A copy of the program, so that its settings file is ours; no cues, so nothing waits for a sound.
mkdir -p "$work/linux"
cp "$exe" "$work/linux/lodestow"
python3 "$here/make-demo-game.py" "$work/demo" >/dev/null

export SDL_AUDIODRIVER=dummy
unset QT_QPA_PLATFORM
in_x() {
    bash "$here/in-xvfb.sh" bash "$here/make-screenshots.sh" --in-x "$@"
}
in_x native "$work/linux" "$work/demo/prefix" "$out" ""
echo "make-screenshots: $out/main-window.png, main-window-after.png, location-window.png, entries-window.png"

windows_exe=$root/build-windows/lodestow.exe
if ((windows)) && [[ -f $windows_exe ]]; then
    # Debian's wine64 package keeps its loader out of PATH.
    wine=$(command -v wine64 2>/dev/null || { [[ -x /usr/lib/wine/wine64 ]] && echo /usr/lib/wine/wine64; } || true)
    if [[ -z $wine ]]; then
        echo "make-screenshots: $windows_exe is there but wine64 is not; no Windows pictures"
        exit 0
    fi
    export wine
    # A demo game of its own, which Wine makes into a full prefix on the first start; the program
    # on its drive C:, where a Windows player would have it.
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    python3 "$here/make-demo-game.py" "$work/windemo" >/dev/null
    mkdir -p "$work/windemo/prefix/drive_c/Lodestow"
    cp "$windows_exe" "$work/windemo/prefix/drive_c/Lodestow/lodestow.exe"
    in_x wine "$work/windemo/prefix/drive_c/Lodestow" "$work/windemo/prefix" "$out" windows-
    echo "make-screenshots: $out/windows-main-window.png, windows-main-window-after.png, windows-location-window.png, windows-entries-window.png"
fi
