#!/usr/bin/env bash
# Builds Lodestow's Debian package, checking its desktop entry and AppStream description on the way.
#
#   bash scripts/package.sh [extra cmake -D options]
#
# Installs what packaging needs (dpkg-dev for dpkg-shlibdeps, file, desktop-file-utils, appstream),
# builds the program in build/ (the folder the quick start uses), stages `cmake --install` in
# build/stage, validates what it staged, and runs `cpack -G DEB`. The package lands in
# build/package/lodestow_<version>_<arch>.deb; install it with
#   sudo apt-get install ./build/package/lodestow_*.deb
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build_dir=${LODESTOW_BUILD_DIR:-build}
app_id=org.lodestow.Lodestow

bash scripts/setup-deps.sh dpkg-dev file desktop-file-utils appstream
generator=(-G Ninja)
[[ ! -f $build_dir/CMakeCache.txt ]] || generator=()
cmake -S . -B "$build_dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$build_dir" -j2 --target lodestow

stage=$build_dir/stage
rm -rf "$stage"
DESTDIR=$PWD/$stage cmake --install "$build_dir" --prefix /usr
echo "package: desktop-file-validate $app_id.desktop"
desktop-file-validate "$stage/usr/share/applications/$app_id.desktop"
echo "package: appstreamcli validate $app_id.metainfo.xml"
# --no-net: the screenshots' addresses are checked for form only; CI has no network to fetch them.
appstreamcli validate --no-net --pedantic "$stage/usr/share/metainfo/$app_id.metainfo.xml"

rm -f "$build_dir"/package/lodestow_*.deb
(cd "$build_dir" && cpack -G DEB)
deb=$(ls "$build_dir"/package/lodestow_*.deb)
dpkg-deb --field "$deb" Package Version Architecture Depends Recommends
echo "package: $deb"
