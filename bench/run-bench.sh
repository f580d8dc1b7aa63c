#!/bin/bash
# End-to-end benchmark: run-bench.sh [RUNS] [BUILD_DIR] [SIZES]
# Makes workbooks of about 5, 30 and 100 MB of workbook stream (kept in bench/work/; SIZES,
# e.g. "100", picks some), then runs, interleaved, the page-cache floor (`dd bs=1M` of the
# file to /dev/null), the read of the file into fresh memory ("fresh"), the floor that pays
# the tool's mapping costs ("map": the file mapped with MAP_POPULATE and every byte summed), the
# tool's plug-in text (--ansi; the extract-text host over libcellsift.so when the build has no
# tool), the workbook reader's default text, CSV and JSON lines (values as shown), and catdoc's
# xls2csv, which also prints every cell. Prints per size and program the median wall time, MB/s
# of workbook stream, the median peak RSS, its ratio to the stream, the peak private memory and
# its ratio to the stream, the time ratios to the dd floor, to the map floor, to --ansi and
# to xls2csv, and the median processor time (user and system) over the wall time: above 1 when
# a program keeps more than one core busy.
# Wall time is taken to the microsecond around each run, so the dd floor's tens of
# milliseconds are resolved.
# Peak RSS (time's %M, VmHWM) counts the pages of the mapped workbook; peak private memory is
# the largest RssAnon (anonymous pages only) that peak-private.py sees in /proc/PID/status,
# sampled every fraction of a millisecond in one more, untimed run of each program.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
runs=${1:-5}
build=${2:-$root/build-native}
read -r -a sizes <<<"${3:-5 30 100}"
work=$here/work
mkdir -p "$work"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 >/dev/null
"$root/scripts/install-deps.sh" tools >&2

programs=(dd fresh map ansi)
if [ -x "$build/tools/cellsift" ]; then
    programs+=(text csv jsonl)
fi
programs+=(xls2csv)
# run_program NAME FILE
run_program() {
    case $1 in
    dd) exec dd if="$2" of=/dev/null bs=1M status=none ;;
    fresh) exec "$build/bench/read-file" "$2" ;;
    map) exec "$build/bench/map-file" "$2" ;;
    ansi) if [ -x "$build/tools/cellsift" ]; then exec "$build/tools/cellsift" --ansi "$2";
          else exec "$build/bench/extract-text" "$build/libcellsift.so" "$2"; fi ;;
    text) exec "$build/tools/cellsift" "$2" ;;
    csv) exec "$build/tools/cellsift" --format csv "$2" ;;
    jsonl) exec "$build/tools/cellsift" --format jsonl "$2" ;;
    xls2csv) exec xls2csv "$2" ;;
    esac
}
export -f run_program
export build
for mb in "${sizes[@]}"; do
    [ -s "$work/bench-$mb.xls" ] || "$build/bench/make-workbook" "$work/bench-$mb.xls" "$mb" "$mb" >&2
done

# One timed run: "seconds peak_kb cpu_seconds" on stdout, the program's output thrown away.
measure() {
    local t0=$EPOCHREALTIME
    /usr/bin/time -f "%M %U %S" -o "$work/time.txt" "$@" >/dev/null 2>"$work/stderr.txt"
    local t1=$EPOCHREALTIME
    awk -v a="$t0" -v b="$t1" '{ printf "%.4f %s %.2f\n", b - a, $1, $2 + $3 }' "$work/time.txt"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

printf "machine: %s cores, %s\n" "$(nproc)" "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
printf "%-6s %-8s %9s %7s %10s %10s %10s %11s %8s %8s %8s %9s %8s\n" size program "median s" "MB/s" "peak RSS" \
    "RSS/stream" "private" "priv/stream" "x dd" "x map" "x --ansi" "xls2csv/x" "cpu/wall"
for mb in "${sizes[@]}"; do
    file=$work/bench-$mb.xls
    # The stream size is what the library reports for the file.
    stream_bytes=$(python3 - "$build/libcellsift.so" "$file" <<'PY'
import ctypes, sys
lib = ctypes.CDLL(sys.argv[1])
print(lib.GetLengthOfTextPortion(sys.argv[2].encode(), 0))
PY
)
    for prog in "${programs[@]}"; do : >"$work/$prog.txt"; done
    cat "$file" >/dev/null
    for ((i = 0; i < runs; i++)); do
        for prog in "${programs[@]}"; do
            measure bash -c 'run_program "$0" "$1"' "$prog" "$file" >>"$work/$prog.txt"
        done
    done
    # Each program exec's itself in place of the shell, so the sampled process is the program.
    declare -A private_kb
    for prog in "${programs[@]}"; do
        private_kb[$prog]=$(python3 "$here/peak-private.py" bash -c 'run_program "$0" "$1"' "$prog" "$file")
    done
    t_floor=$(cut -d' ' -f1 "$work/dd.txt" | median)
    t_map=$(cut -d' ' -f1 "$work/map.txt" | median)
    t_ansi=$(cut -d' ' -f1 "$work/ansi.txt" | median)
    t_xls=$(cut -d' ' -f1 "$work/xls2csv.txt" | median)
    for prog in "${programs[@]}"; do
        t=$(cut -d' ' -f1 "$work/$prog.txt" | median)
        kb=$(cut -d' ' -f2 "$work/$prog.txt" | median)
        cpu=$(cut -d' ' -f3 "$work/$prog.txt" | median)
        awk -v mb="$mb" -v name="$prog" -v t="$t" -v kb="$kb" -v sb="$stream_bytes" -v pk="${private_kb[$prog]}" \
            -v tf="$t_floor" -v tm="$t_map" -v ta="$t_ansi" -v tx="$t_xls" -v cpu="$cpu" 'BEGIN {
            d = (t > 0) ? t : 0.005
            printf "%-6s %-8s %9.4f %7.0f %8.1fMB %10.2f %8.1fMB %11.2f %8.2f %8.2f %8.2f %9.2f %8.2f\n", mb "MB", name,
                   t, sb / 1048576 / d, kb / 1024, kb * 1024 / sb, pk / 1024, pk * 1024 / sb,
                   t / ((tf > 0) ? tf : 0.005), t / ((tm > 0) ? tm : 0.005), t / ((ta > 0) ? ta : 0.005), tx / d,
                   cpu / d }'
    done
done
