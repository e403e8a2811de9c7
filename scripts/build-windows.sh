#!/usr/bin/env bash
# Cross-builds the Windows program with Debian's MinGW-w64.
#
#   bash scripts/build-windows.sh [extra cmake -D options]
#   LODESTOW_WINDOWS_ARCH=x86 bash scripts/build-windows.sh [...]     (the 32-bit program)
#
# Leaves build-windows/lodestow.exe (one statically linked file that needs no DLL beyond those
# every Windows has), build-windows/lodestow.com (the same commands from a console) and
# build-windows/lodestow-windows-x64.zip (both programs and a short read-me); for x86, the same in
# build-windows-x86/ with lodestow-windows-x86.zip.
# Builds in that folder or in $LODESTOW_WINDOWS_BUILD_DIR.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

arch=${LODESTOW_WINDOWS_ARCH:-x64}
case $arch in
x64) triplet=x86_64-w64-mingw32 package=g++-mingw-w64-x86-64-posix bits=64 default_dir=build-windows ;;
x86) triplet=i686-w64-mingw32 package=g++-mingw-w64-i686-posix bits=32 default_dir=build-windows-x86 ;;
*) echo "build-windows: LODESTOW_WINDOWS_ARCH is x64 or x86, not $arch" >&2; exit 2 ;;
esac
build_dir=${LODESTOW_WINDOWS_BUILD_DIR:-$default_dir}

bash scripts/setup-deps.sh "$package"
generator=(-G Ninja)
[[ ! -f $build_dir/CMakeCache.txt ]] || generator=()
cmake -S . -B "$build_dir" "${generator[@]}" --toolchain "$PWD/cmake/mingw-w64-${triplet%%-*}.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DLODESTOW_TESTS=OFF -DLODESTOW_BENCH=OFF "$@"
cmake --build "$build_dir" -j2

exe=$build_dir/lodestow.exe
if [[ ! -f $exe ]]; then
    if [[ -d src/ui-win32 ]]; then
        echo "build-windows: the build left no $exe" >&2
        exit 1
    fi
    echo "build-windows: no Windows front end in src/ui-win32 yet: built the core libraries only"
    exit 0
fi

# DLLs that every Windows has; anything else (the compiler's runtime DLLs above all) would make
# the program fail to start on a machine without them.
declare -A system_dll=()
for dll in advapi32 comctl32 comdlg32 gdi32 kernel32 msvcrt ntdll ole32 oleaut32 shell32 shlwapi user32 \
    uxtheme version winmm; do
    system_dll[$dll.dll]=1
done
# The console program (lodestow.com) is built from the same code, beside the windows program.
console=$build_dir/lodestow.com
for program in "$exe" "$console"; do
    mapfile -t dlls < <("$triplet-objdump" -p "$program" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
    foreign=()
    for dll in "${dlls[@]}"; do
        [[ -n ${system_dll[$dll]:-} ]] || foreign+=("$dll")
    done
    if ((${#dlls[@]} == 0 || ${#foreign[@]} > 0)); then
        echo "build-windows: $program needs DLLs that not every Windows has: ${foreign[*]:-(none found)}" >&2
        exit 1
    fi
    echo "build-windows: $program imports only system DLLs: ${dlls[*]}"
done

# The read-me in Windows line ends, the program beside it without its debug information, which
# stays in the build folder (lodestow.debug) for whoever reads a crash.
stage=$build_dir/package
rm -rf "$stage"
mkdir -p "$stage"
"$triplet-objcopy" --only-keep-debug "$exe" "$build_dir/lodestow.debug"
"$triplet-strip" --strip-all -o "$stage/lodestow.exe" "$exe"
(cd "$build_dir" && "$triplet-objcopy" --add-gnu-debuglink=lodestow.debug "package/lodestow.exe")
"$triplet-strip" --strip-all -o "$stage/lodestow.com" "$console"
# The read-me names the program's kind: 64-bit, or 32-bit for Windows of either kind.
kind=()
((bits == 64)) || kind=(-e 's/a 64-bit program for Windows 7 and later (Windows 7, 8, 8.1, 10 and 11, 64-bit)/a 32-bit program for Windows 7 and later (Windows 7, 8, 8.1 and 10, 32-bit or 64-bit, and 11)/')
sed -e 's/\r$//; s/$/\r/' "${kind[@]}" packaging/windows/README.txt >"$stage/README.txt"
zip=$build_dir/lodestow-windows-$arch.zip
rm -f "$zip"
(cd "$stage" && python3 -m zipfile -c "../lodestow-windows-$arch.zip" lodestow.exe lodestow.com README.txt)
echo "build-windows: $zip holds $(python3 -m zipfile -l "$zip" | tail -n +2 | awk '{print $1}' | xargs)"
