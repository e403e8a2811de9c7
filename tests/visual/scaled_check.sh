#!/usr/bin/env bash
# The windows at other display scales: the main window on our demo game at each scale, against the
# same window at 1x taken in the same run. At scale s the window must be s times as large (within 2
# pixels a side) and, brought back to the 1x size, alike in its regions' colours
# (visual_compare.py --resampled): every control and caption where it was. A window whose fonts
# grow while its controls stay put fails both. (That every caption is whole at each DPI is checked
# by the windows' own tests, which measure them.)
#
#   scaled_check.sh linux PROGRAM SOURCE_DIR OUT_DIR    Qt: QT_SCALE_FACTOR 1.5 and 2, Xft.dpi 144
#   scaled_check.sh wine  EXE     SOURCE_DIR OUT_DIR    lodestow.exe: LogPixels 120, 144 and 192
#
# Pictures that differ stay in OUT_DIR (NAME.png, NAME.base.png, NAME.diff.png). Exits 77
# (skipped) when a tool is missing.
set -uo pipefail
usage="usage: scaled_check.sh linux|wine PROGRAM SOURCE_DIR OUT_DIR"
runner=${1:?$usage}
exe=$(realpath "${2:?$usage}")
src=$(realpath "${3:?$usage}")
out=${4:?$usage}

if [[ ${5:-} == --in-x ]]; then
    # ---- inside the virtual X server: shoot NAME SCALE ENV... -------------------------------------
    shift 5
    program=$out/program prefix=$out/demo/prefix
    shoot() { # NAME, then the environment to start the program with
        local name=$1 pid wid
        shift
        printf 'C:\\UnrealTournament\\\r\n' >"$program/Lodestow.ini"
        if [[ $runner == wine ]]; then
            env "$@" WINEPREFIX="$prefix" "$wine" "$program/lodestow.exe" >"$out/$name.log" 2>&1 &
        else
            env "$@" WINEPREFIX="$prefix" "$program/lodestow" >"$out/$name.log" 2>&1 &
        fi
        pid=$!
        wid=$(timeout 60 xdotool search --sync --onlyvisible --name '^Lodestow$' 2>/dev/null | head -n1)
        if [[ -z $wid ]]; then
            echo "FAIL: the main window did not appear for $name; the program said:"
            cat "$out/$name.log"
            kill "$pid" 2>/dev/null
            return 1
        fi
        xdotool mousemove 0 0
        sleep 1.5
        import -window "$wid" "$out/$name.png"
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        return 0
    }
    set_dpi() { # the Wine prefix's display DPI, read when its session starts
        "$(dirname "$wine")/wineserver" -k 2>/dev/null
        WINEPREFIX=$prefix "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels \
            /t REG_DWORD /d "$1" /f >/dev/null 2>&1
        "$(dirname "$wine")/wineserver" -w 2>/dev/null
        WINEPREFIX=$prefix "$(dirname "$wine")/wineserver" -k 2>/dev/null
        sleep 1
    }
    openbox --sm-disable >/dev/null 2>&1 &
    sleep 1
    status=0
    if [[ $runner == wine ]]; then
        WINEPREFIX=$prefix "$wine" wineboot -i >/dev/null 2>&1
        for dpi in 96 120 144 192; do
            set_dpi "$dpi"
            shoot "dpi-$dpi" || status=1
        done
        WINEPREFIX=$prefix "$(dirname "$wine")/wineserver" -k 2>/dev/null
    else
        shoot scale-1 QT_SCALE_FACTOR=1 || status=1
        shoot scale-1.5 QT_SCALE_FACTOR=1.5 || status=1
        shoot scale-2 QT_SCALE_FACTOR=2 || status=1
        # The font DPI of the X resources, as a desktop's display settings write it.
        echo "Xft.dpi: 144" | xrdb -nocpp -merge
        shoot xft-144 || status=1
    fi
    exit "$status"
fi

for tool in xvfb-run xdotool openbox import convert python3; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
if [[ $runner == wine ]]; then
    wine=$(command -v wine64 2>/dev/null || echo /usr/lib/wine/wine64)
    [[ -x $wine ]] || { echo "SKIP: wine64 is not installed"; exit 77; }
    export wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    shots=("dpi-96 1" "dpi-120 1.25" "dpi-144 1.5" "dpi-192 2")
else
    command -v xrdb >/dev/null || { echo "SKIP: xrdb is not installed"; exit 77; }
    export SDL_AUDIODRIVER=dummy
    unset QT_QPA_PLATFORM QT_SCALE_FACTOR QT_FONT_DPI
    shots=("scale-1 1" "scale-1.5 1.5" "scale-2 2" "xft-144 1.5")
fi
rm -rf "$out"
mkdir -p "$out/program"
out=$(realpath "$out")
if [[ $runner == wine ]]; then
    cp "$exe" "$out/program/lodestow.exe"
else
    cp "$exe" "$out/program/lodestow"
fi
python3 "$src/scripts/make-demo-game.py" "$out/demo" >/dev/null
bash "$src/scripts/in-xvfb.sh" bash "$src/tests/visual/scaled_check.sh" "$runner" "$exe" "$src" \
    "$out" --in-x || { echo "FAIL: the pictures could not be taken; what there is: $out"; exit 1; }

read -r base _ <<<"${shots[0]}"
read -r W H < <(identify -format '%w %h\n' "$out/$base.png")
failures=0
for shot in "${shots[@]:1}"; do
    read -r name scale <<<"$shot"
    read -r w h < <(identify -format '%w %h\n' "$out/$name.png")
    want_w=$(python3 -c "print(round($W * $scale))") want_h=$(python3 -c "print(round($H * $scale))")
    if ((w < want_w - 2 || w > want_w + 2 || h < want_h - 2 || h > want_h + 2)); then
        echo "FAIL: $name is ${w}x$h; at $scale times ${W}x$H it should be ${want_w}x$want_h"
        failures=$((failures + 1))
        continue
    fi
    convert "$out/$name.png" -resize "${W}x${H}!" "$out/$name.back.png"
    if ! python3 "$src/tests/visual/visual_compare.py" "$out/$base.png" "$out/$name.back.png" \
        --diff "$out/$name.diff.png" --resampled; then
        echo "FAIL: $name, brought back to ${W}x$H, differs from $base"
        failures=$((failures + 1))
    else
        echo "scaled check: $name (${w}x$h) is $base scaled $scale times"
    fi
done
if ((failures > 0)); then
    echo "FAIL: $failures scale(s) differ; look at the pictures in $out"
    exit 1
fi
echo "scaled check: the main window is the same picture at every scale (pictures in $out)"
