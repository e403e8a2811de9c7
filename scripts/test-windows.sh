#!/usr/bin/env bash
# Cross-builds the tests that need no window for Windows with MinGW-w64 (GoogleTest too, from the
# sources Debian ships) and runs them under Wine.
#
#   bash scripts/test-windows.sh [extra cmake -D options]
#
# Builds in build-windows/tests (or $LODESTOW_WINDOWS_TEST_DIR); Wine gets a prefix of its own in
# its wine/ folder. Prints passed, failed and skipped cases per test program and in all; the exit
# code is non-zero when a case failed or a program did not run to its end.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

build_dir=${LODESTOW_WINDOWS_TEST_DIR:-build-windows/tests}

bash scripts/setup-deps.sh g++-mingw-w64-x86-64-posix wine64 googletest
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
[[ -x $wine ]] || { echo "test-windows: no wine64" >&2; exit 1; }

generator=(-G Ninja)
[[ ! -f $build_dir/CMakeCache.txt ]] || generator=()
cmake -S . -B "$build_dir" "${generator[@]}" --toolchain "$PWD/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLODESTOW_GUI=OFF -DLODESTOW_BENCH=OFF \
    -DLODESTOW_GTEST_SOURCE=/usr/src/googletest "$@"
cmake --build "$build_dir" -j2

export WINEPREFIX=$PWD/$build_dir/wine WINEDEBUG=-all
# No Mono or Gecko installers: nothing here needs them, and they would ask for a download.
export WINEDLLOVERRIDES="mscoree,mshtml="
# No display: nothing here opens a window.
unset DISPLAY WAYLAND_DISPLAY
if [[ ! -f $WINEPREFIX/system.reg ]]; then
    echo "test-windows: making the Wine prefix $WINEPREFIX"
    "$wine" wineboot --init >/dev/null 2>&1 || true
fi

mapfile -t programs < <(find "$build_dir" -maxdepth 1 -name '*_tests.exe' | sort)
if ((${#programs[@]} == 0)); then
    echo "test-windows: no test program was built" >&2
    exit 1
fi

total_passed=0 total_failed=0 total_skipped=0 broken=()
for program in "${programs[@]}"; do
    name=$(basename "$program" .exe)
    log=$build_dir/$name.log
    echo "==== test-windows: $name under Wine"
    rc=0
    # Wine passes the program's exit code on; a timeout or crash leaves no summary line.
    (cd "$build_dir" && timeout 900 "$wine" "./$name.exe") >"$log" 2>&1 || rc=$?
    sed -i 's/\r$//' "$log" # the console of Windows ends its lines with CR LF
    passed=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\?\.$/\1/p' "$log" | tail -n1)
    failed=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) tests\?, listed below:$/\1/p' "$log" | tail -n1)
    skipped=$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) tests\?, listed below:$/\1/p' "$log" | tail -n1)
    passed=${passed:-0} failed=${failed:-0} skipped=${skipped:-0}
    grep -E '^\[  (FAILED|SKIPPED) \] [^0-9]|^\[  SKIPPED \]$|^.*Skipped$' "$log" | sort -u | head -n 40 || true
    if ! grep -q '^\[==========\] .* ran\.' "$log" || ((rc != 0 && failed == 0)); then
        echo "test-windows: $name did not run to its end (exit code $rc); the end of its output:"
        tail -n 30 "$log"
        broken+=("$name")
    elif ((failed > 0)); then
        grep -B 15 '^\[  FAILED  \] [A-Za-z]' "$log" | head -n 150
    fi
    echo "test-windows: $name: $passed passed, $failed failed, $skipped skipped"
    total_passed=$((total_passed + passed))
    total_failed=$((total_failed + failed))
    total_skipped=$((total_skipped + skipped))
done

echo
echo "test-windows: in all, under Wine: $total_passed passed, $total_failed failed," \
    "$total_skipped skipped (in ${#programs[@]} programs)"
if ((${#broken[@]} > 0)); then
    echo "test-windows: programs that did not finish: ${broken[*]}" >&2
    exit 1
fi
((total_failed == 0))
