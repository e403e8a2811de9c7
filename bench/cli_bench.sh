#!/usr/bin/env bash
# The command line against the headless driver, on generated games of 10,000 and 100,000 entries:
#   - `lodestow transfer` and `transfer_driver` on identical copies of the game (time, peak memory);
#   - `lodestow list --json` at 100,000 entries.
# Targets: transfer within 1.2x of the driver; list --json at 100,000 under 1 s and 200 MB.
#
#   bash bench/cli_bench.sh [BUILD_DIR] [SIZES...]     (default: build 10000 100000)
#
# Each measurement is the best of RUNS (default 3) runs. Needs /usr/bin/time (GNU time) and python3;
# writes its games under $TMPDIR and removes them at the end.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath "${1:-$here/build}")
shift || true
sizes=("$@")
((${#sizes[@]})) || sizes=(10000 100000)
runs=${RUNS:-3}
lodestow=$build/lodestow driver=$build/transfer_driver
for tool in "$lodestow" "$driver" /usr/bin/time; do
    [[ -x $tool ]] || { echo "cli_bench: $tool is missing (build with the tests)" >&2; exit 1; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/cli_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config SDL_AUDIODRIVER=dummy
mkdir -p "$HOME"
unset DISPLAY WAYLAND_DISPLAY

# A game folder (native path) with N cached packages of the demo game's kind, 2 KB each: maps,
# textures, sounds, music and code packages in turn.
make_game() {
    python3 - "$here/scripts/make-demo-game.py" "$1" "$2" <<'PY'
import importlib.util, os, sys
spec = importlib.util.spec_from_file_location("demo", sys.argv[1])
demo = importlib.util.module_from_spec(spec)
spec.loader.exec_module(demo)
game, count = sys.argv[2], int(sys.argv[3])
for sub in ("System", "Maps", "Textures", "Sounds", "Music", "Cache"):
    os.makedirs(os.path.join(game, sub), exist_ok=True)
open(os.path.join(game, "System", "UnrealTournament.exe"), "wb").write(b"placeholder\n")
kinds = (".unr", ".utx", ".uax", ".umx", ".u")
lines = ["[Cache]"]
for i in range(count):
    real = "Bench%06d%s" % (i, kinds[i % len(kinds)])
    name = demo.cache_name(real)
    with open(os.path.join(game, "Cache", name + ".uxx"), "wb") as f:
        f.write(demo.package_bytes(real, 2048))
    lines.append("%s=%s" % (name, real))
open(os.path.join(game, "Cache", "cache.ini"), "wb").write(("\r\n".join(lines) + "\r\n").encode())
PY
}

# measure LABEL COMMAND...: "seconds peak_kB" of the command, its output thrown away.
measure() {
    /usr/bin/time -f '%e %M' -o "$work/time" "$@" >/dev/null 2>"$work/stderr" || {
        echo "cli_bench: $* failed: $(cat "$work/stderr")" >&2
        exit 1
    }
    cat "$work/time"
}

# best COMMAND_FUNCTION: the fastest of $runs runs as "seconds peak_kB".
best() {
    local result best_time= best_mem=
    for ((r = 0; r < runs; r++)); do
        result=$("$@")
        read -r t m <<<"$result"
        if [[ -z $best_time ]] || awk "BEGIN{exit !($t < $best_time)}"; then
            best_time=$t best_mem=$m
        fi
    done
    echo "$best_time $best_mem"
}

run_driver() {
    rm -rf "$work/run" && cp -a "$work/template" "$work/run"
    measure "$driver" "$work/run/"
}
run_transfer() {
    rm -rf "$work/run" && cp -a "$work/template" "$work/run"
    measure "$lodestow" transfer --game "$work/run"
}
run_list() {
    measure "$lodestow" list --json --game "$work/template"
}

printf '%-28s %9s %9s %10s\n' "measurement" "entries" "seconds" "peak MB"
for n in "${sizes[@]}"; do
    rm -rf "$work/template"
    make_game "$work/template" "$n"
    read -r dt dm <<<"$(best run_driver)"
    read -r lt lm <<<"$(best run_transfer)"
    printf '%-28s %9d %9.2f %10.1f\n' "transfer_driver" "$n" "$dt" "$(echo "$dm / 1024" | bc -l)"
    printf '%-28s %9d %9.2f %10.1f   (%.2fx the driver)\n' "lodestow transfer" "$n" "$lt" \
        "$(echo "$lm / 1024" | bc -l)" "$(echo "$lt / $dt" | bc -l)"
    read -r jt jm <<<"$(best run_list)"
    printf '%-28s %9d %9.2f %10.1f\n' "lodestow list --json" "$n" "$jt" "$(echo "$jm / 1024" | bc -l)"
done
