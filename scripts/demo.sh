#!/usr/bin/env bash
# Sets up, builds and opens Lodestow on a demo game of our own.
#
#   bash scripts/demo.sh
#
# The demo game is made afresh on every run in build/demo/prefix (a Wine-style prefix whose drive C:
# holds UnrealTournament/ with a filled download cache), so a transfer can be tried again and again.
# Lodestow reads its game folder from build/Lodestow.ini, which it creates on its first start with
# C:\UnrealTournament\ - in the demo prefix, that is build/demo/prefix/drive_c/UnrealTournament.
#
# With a display, the window opens and waits for you. Without one (no DISPLAY), the demo runs under a
# virtual X server instead: it takes a screenshot (build/demo/screenshot.png), presses
# "Begin Transfer", takes another (build/demo/screenshot-after.png), closes the window and lists
# where the files went.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD
build_dir=$root/build
demo_dir=$build_dir/demo
game=$demo_dir/prefix/drive_c/UnrealTournament

# Runs inside xvfb-run (see the end of the script).
headless() {
    local log=$demo_dir/lodestow.log
    "$build_dir/lodestow" >"$log" 2>&1 &
    local pid=$!
    local wid
    wid=$(timeout 30 xdotool search --sync --onlyvisible --name '^Lodestow$' 2>/dev/null | head -n1) || true
    if [[ -z $wid ]]; then
        echo "demo: the Lodestow window did not appear; its output:" >&2
        cat "$log" >&2
        kill "$pid" 2>/dev/null || true
        return 1
    fi
    sleep 1
    import -window "$wid" "$demo_dir/screenshot.png"
    echo "demo: screenshot of the window: $demo_dir/screenshot.png"

    local WIDTH HEIGHT X Y SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$wid")"
    # "Begin Transfer" is centred, its bottom edge 250 twips above the window's (15 twips a pixel).
    local before
    before=$(cat "$game/Cache/cache.ini")
    xdotool mousemove --window "$wid" --sync $((WIDTH / 2)) $((HEIGHT - 377 / 15)) click 1
    local i
    for ((i = 0; i < 120; i++)); do
        [[ $(cat "$game/Cache/cache.ini" 2>/dev/null) != "$before" ]] && break
        sleep 0.25
    done
    sleep 1
    import -window "$wid" "$demo_dir/screenshot-after.png"
    echo "demo: screenshot after the transfer: $demo_dir/screenshot-after.png"

    # The "X" close box sits in the top right corner, 75 twips inside the right edge.
    xdotool mousemove --window "$wid" --sync $((WIDTH - 202 / 15)) $((127 / 15)) click 1
    for ((i = 0; i < 40; i++)); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.25
    done
    if kill -0 "$pid" 2>/dev/null; then
        echo "demo: Lodestow did not close; stopping it" >&2
        kill "$pid"
    fi
    wait "$pid"
}

if [[ ${1:-} == --headless ]]; then
    headless
    exit
fi

bash scripts/setup-deps.sh
# Ninja for a new build folder; one that exists keeps the generator it was made with.
generator=(-G Ninja)
[[ ! -f $build_dir/CMakeCache.txt ]] || generator=()
cmake -S . -B "$build_dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build_dir" -j2 --target lodestow

python3 scripts/make-demo-game.py "$demo_dir"
python3 scripts/make-cues.py "$build_dir"

if [[ -f $build_dir/Lodestow.ini ]]; then
    setting=$(head -c 4096 "$build_dir/Lodestow.ini" | tr -d '\r' | head -n1)
    if [[ $setting != 'C:\UnrealTournament\' ]]; then
        echo "demo: note: build/Lodestow.ini names the game folder '$setting', not the demo's" \
            "C:\\UnrealTournament\\; delete build/Lodestow.ini to go back to the demo game."
    fi
fi

export WINEPREFIX=$demo_dir/prefix
echo "demo: WINEPREFIX=$WINEPREFIX"
echo "demo: the cache is $game/Cache; transferred files land in its Maps, Textures, Sounds and Music."

if [[ -n ${DISPLAY:-} ]]; then
    echo "demo: opening Lodestow; press \"Begin Transfer\", then \"Exit\" or \"X\" to close."
    exec "$build_dir/lodestow"
fi

echo "demo: no display (DISPLAY is not set): running under a virtual X server (Xvfb) instead."
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
unset QT_QPA_PLATFORM
bash "$root/scripts/in-xvfb.sh" bash "${BASH_SOURCE[0]}" --headless
echo "demo: after the transfer:"
(cd "$game" && find Maps Textures Sounds Music Cache -type f | sort | sed 's/^/  /')
echo "demo: the rewritten Cache/cache.ini:"
sed 's/\r$//; s/^/  /' "$game/Cache/cache.ini"
