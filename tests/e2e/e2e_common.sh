# Shared by the end-to-end scripts (sourced): tool checks, failure counting and the environment
# the built program runs in under Xvfb.

# Exits 77 (CTest: skipped) when a tool the script needs is not installed.
e2e_require() {
    local tool
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null; then
            echo "SKIP: $tool is not installed"
            exit 77
        fi
    done
}

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# Makes the test's work folder, $work, named after $1; at the end it is removed, unless a check
# failed or the variable named $2 (if any) is set, and then it is kept, $3 saying what it holds.
e2e_work_folder() {
    work=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX")
    e2e_keep=${2:-} e2e_holds=${3:-}
    trap e2e_finish EXIT
}
e2e_finish() {
    if ((failures == 0)) && [[ -z $e2e_keep || -z ${!e2e_keep:-} ]]; then
        rm -rf "$work"
    else
        echo "kept for a look: $work${e2e_holds:+ ($e2e_holds)}"
    fi
}

# The program talks to the real (virtual) X server, plays its cues on SDL's dummy driver, and, in a
# sanitizer build, does not count the buffer that the session bus library Qt's X11 platform loads
# keeps to the end of the process: that is not ours to fix, any leak of the program's own still
# fails. $1: a folder for the suppression file.
e2e_program_environment() {
    unset QT_QPA_PLATFORM
    export SDL_AUDIODRIVER=dummy
    printf 'leak:libdbus-1.so\n' >"$1/lsan.supp"
    export LSAN_OPTIONS="suppressions=$1/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
}

# The command under a virtual X server of its own (see scripts/in-xvfb.sh).
e2e_xvfb_run() {
    bash "$(dirname "${BASH_SOURCE[0]}")/../../scripts/in-xvfb.sh" "$@"
}

# ---- steps of the part that runs inside the virtual X server ------------------------------------

# Prints the id of the first visible window titled exactly $1, polling up to $2 seconds (default 30).
# Polls rather than waits with --sync: a window manager that is still starting can make a waiting
# search give up at once.
e2e_find_window() {
    local i id
    for ((i = 0; i < ${2:-30} * 4; i++)); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1 || true)
        if [[ -n $id ]]; then
            echo "$id"
            return 0
        fi
        sleep 0.25
    done
    return 1
}

# Waits up to $2 seconds (default 20) for the window titled exactly $1 to be gone.
e2e_window_gone() {
    local i
    for ((i = 0; i < ${2:-20} * 4; i++)); do
        xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
        sleep 0.25
    done
    return 1
}

# Presses "Begin Transfer" of the main window $1 and waits up to 30 s for the run to put the index
# $2 in place anew (a new file). "Begin Transfer" is centred, its bottom edge 250 twips above the
# window's, 255 twips high; 15 twips to the pixel. A window that has only just appeared can lose
# a first click on a loaded machine (seen under Wine): while the index is untouched the click is
# repeated every 8 s, twice at most. A run in progress disables the window, so a repeat then does
# nothing.
e2e_begin_transfer() {
    local wid=$1 index=$2 before i WIDTH HEIGHT X Y SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$wid")"
    before=$(stat -c '%i %Y.%y' "$index" 2>/dev/null || true)
    for ((i = 0; i < 120; i++)); do
        if ((i % 32 == 0 && i < 96)); then
            xdotool mousemove --window "$wid" --sync $((WIDTH / 2)) $((HEIGHT - (250 + 127) / 15)) \
                click 1
        fi
        [[ $(stat -c '%i %Y.%y' "$index" 2>/dev/null || true) != "$before" ]] && break
        sleep 0.25
    done
}

# Clicks "X" of the main window $1: 255 twips square, ending 75 twips inside the right edge, at the
# top.
e2e_click_close() {
    local WIDTH HEIGHT X Y SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$1")"
    xdotool mousemove --window "$1" --sync $((WIDTH - (75 + 127) / 15)) $((127 / 15)) click 1
}

# Waits up to $2 seconds (default 20) for the program with process id $1, a child of this shell,
# to end; kills it when it has not. Sets e2e_rc to its exit status; fails when it had to be killed.
e2e_await_exit() {
    local pid=$1 i
    for ((i = 0; i < ${2:-20} * 4; i++)); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.25
    done
    local killed=0
    if kill -0 "$pid" 2>/dev/null; then
        killed=1
        kill -9 "$pid" 2>/dev/null || true
    fi
    e2e_rc=0
    wait "$pid" || e2e_rc=$?
    return $killed
}

# ---- checks of the test, after the program has run -----------------------------------------------

# e2e_check_transfer GAME CACHE BEFORE MANIFEST [LABEL]
# After a transfer from CACHE (BEFORE: a copy of it from before the run) into the game folder GAME,
# with MANIFEST listing every entry as cache name, real name and folder (tab-separated): each entry
# bound for Maps, Textures, Sounds or Music (or the generated UT2004-shaped game's StaticMeshes and
# CustomAnimations) is there with its cache file's bytes and gone from the
# cache; every other stays in the cache unchanged; and CACHE/cache.ini lists exactly those, in
# order. LABEL starts every failure's message.
e2e_check_transfer() {
    local game=$1 cache=$2 before=$3 manifest=$4 label=${5:-}
    local expected=$before.expected-index name real folder
    printf '[Cache]\r\n' >"$expected"
    while IFS=$'\t' read -r name real folder; do
        case $folder in
        Maps | Textures | Sounds | Music | StaticMeshes | CustomAnimations)
            cmp -s "$game/$folder/$real" "$before/$name.uxx" ||
                fail "$label$folder/$real is missing or does not hold the bytes of $name.uxx"
            [[ ! -e $cache/$name.uxx ]] || fail "$label$name.uxx is still in the cache"
            ;;
        *)
            # "System" entries are never moved; an entry with an unknown extension has no folder
            # to go to (the game has no "Unknown File" folder), so its file stays, and listed.
            cmp -s "$cache/$name.uxx" "$before/$name.uxx" ||
                fail "$label$name.uxx is not in the cache unchanged"
            printf '%s=%s\r\n' "$name" "$real" >>"$expected"
            ;;
        esac
    done <"$manifest"
    printf '\r\n' >>"$expected"
    if ! cmp -s "$cache/cache.ini" "$expected"; then
        fail "${label}the cache index is not what it should be; it holds:"
        od -c "$cache/cache.ini" | head -n 20
        echo "expected:"
        od -c "$expected" | head -n 20
    fi
}

# Sets wine to the path of wine64 (or of $LODESTOW_WINE, such as the 32-bit loader for the 32-bit
# program); exits 77 (skipped) when Wine is not installed.
e2e_require_wine() {
    if [[ -n ${LODESTOW_WINE:-} ]]; then
        wine=$LODESTOW_WINE
        [[ -x $wine ]] || { echo "SKIP: $wine is not installed"; exit 77; }
        return
    fi
    wine=$(command -v wine64 2>/dev/null || true)
    [[ -n $wine || ! -x /usr/lib/wine/wine64 ]] || wine=/usr/lib/wine/wine64
    if [[ -z $wine ]]; then
        echo "SKIP: wine64 is not installed"
        exit 77
    fi
}

# Ends the Wine server of $WINEPREFIX (the one beside $wine, or the one on the PATH).
e2e_stop_wineserver() {
    "$(dirname "$wine")/wineserver" -k 2>/dev/null || wineserver -k 2>/dev/null || true
}
