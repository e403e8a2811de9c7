#!/usr/bin/env bash
# Installs what Lodestow needs to build, test and run its demo, from Debian 12 / Ubuntu packages.
#
#   bash scripts/setup-deps.sh [EXTRA_PACKAGE...]
#
# Packages already installed are not asked for again: when nothing is missing, apt is not run at all,
# so a second run takes a moment. Uses sudo only when not root.
set -euo pipefail

packages=(
    g++ cmake ninja-build                         # compiler and build
    qt6-base-dev libsdl2-dev                      # windows; sound cues
    libgtest-dev libgmock-dev libbenchmark-dev    # tests and benchmarks
    xvfb xauth x11-utils xdotool xclip openbox    # headless runs and end-to-end tests
    x11-xserver-utils                             # xrdb: a font DPI for the scaled-display check
    imagemagick python3 fonts-dejavu-core         # screenshots, demo game, a font to draw with
    fonts-dejavu-extra                            # the narrow face the windows' captions fit in
    exfatprogs exfat-fuse                         # a game on an exFAT drive, in the tests
)
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Abbrev}' "$p" 2>/dev/null || true)
    [[ $status == ii* ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
    echo "setup-deps: all ${#packages[@]} packages are installed"
    exit 0
fi

if [[ $(id -u) -eq 0 ]]; then
    as_root=()
elif command -v sudo >/dev/null; then
    as_root=(sudo)
else
    echo "setup-deps: these packages are missing and there is no sudo to install them:" >&2
    echo "  ${missing[*]}" >&2
    exit 1
fi

echo "setup-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y --no-install-recommends "${missing[@]}"
