#!/usr/bin/env bash
# Sets up, builds and runs Lodestow's whole test suite.
#
#   bash scripts/test.sh [extra cmake -D options]
#
# Builds in build/ (Ninja, RelWithDebInfo) or in $LODESTOW_BUILD_DIR. The exit code is ctest's.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

build_dir=${LODESTOW_BUILD_DIR:-build}

bash scripts/setup-deps.sh
# Ninja for a new build folder; one that exists keeps the generator it was made with.
generator=(-G Ninja)
[[ ! -f $build_dir/CMakeCache.txt ]] || generator=()
cmake -S . -B "$build_dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$build_dir" -j2

# Widget tests need no display and cue tests no loudspeaker; the end-to-end tests start their own
# X server and choose their platform themselves.
export QT_QPA_PLATFORM=offscreen
export SDL_AUDIODRIVER=dummy
# A test that hangs fails after ten minutes instead of holding the run up for the default 25.
ctest --test-dir "$build_dir" --output-on-failure --no-tests=error --timeout 600
