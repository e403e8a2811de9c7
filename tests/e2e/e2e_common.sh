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

# xvfb-run -a always starts its search at :99, where the server of the run just before may still be
# going away; a server that then fails to start leaves the program with no display. Starting the
# search at a random number keeps consecutive runs apart.
e2e_xvfb_run() {
    xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1024x768x24" "$@"
}
