#!/usr/bin/env bash
# Cross-builds the Win32 window tests and runs them under Wine on a virtual X server.
#
#   bash tests/ui-win32/run_under_wine.sh [BUILD_DIR]     (default: build-windows)
#
# The default shares the folder of scripts/build-windows.sh, so the libraries are built once.
# Exits 77 (skipped) when Wine or xvfb-run is missing, else with the tests' own exit status.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
build_dir=${1:-build-windows}
bash scripts/setup-deps.sh g++-mingw-w64-x86-64-posix wine64 googletest >/dev/null

wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
if [[ ! -x $wine ]] || ! command -v xvfb-run >/dev/null; then
    echo "SKIP: wine64 or xvfb-run is not installed"
    exit 77
fi
generator=(-G Ninja)
[[ ! -f $build_dir/CMakeCache.txt ]] || generator=()
cmake -S . -B "$build_dir" "${generator[@]}" --toolchain "$PWD/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DLODESTOW_TESTS=ON -DLODESTOW_BENCH=OFF \
    -DLODESTOW_GTEST_SOURCE=/usr/src/googletest -DLODESTOW_WERROR=ON >/dev/null
cmake --build "$build_dir" -j2 --target ui_win32_tests

export WINEPREFIX=$PWD/$build_dir/wine-ui WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
bash scripts/in-xvfb.sh bash -c \
    "'$wine' wineboot -i >/dev/null 2>&1; cd '$build_dir' && '$wine' ./ui_win32_tests.exe; rc=\$?; '${wine%64}server' -k 2>/dev/null; exit \$rc"
