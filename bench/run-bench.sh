#!/bin/bash
# End-to-end benchmark: run-bench.sh [RUNS] [BUILD_DIR]
# Makes workbooks of about 5, 30 and 100 MB of workbook stream (kept in bench/work/), then
# runs, interleaved, the floor (read the file into memory), cellsift (the tool when the
# build has one, else the extract-text host over libcellsift.so) and catdoc's xls2csv.
# Prints per size and program the median wall time, MB/s of workbook stream, the median
# peak RSS, and the ratios to the floor and to xls2csv.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
runs=${1:-5}
build=${2:-$root/build-native}
work=$here/work
mkdir -p "$work"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 >/dev/null
command -v xls2csv >/dev/null || { echo "xls2csv missing: apt-get install catdoc" >&2; exit 1; }

if [ -x "$build/tools/cellsift" ]; then
    cellsift=("$build/tools/cellsift")
    cellsift_name="cellsift tool"
else
    cellsift=("$build/bench/extract-text" "$build/libcellsift.so")
    cellsift_name="cellsift (lib)"
fi

sizes=(5 30 100)
for mb in "${sizes[@]}"; do
    [ -s "$work/bench-$mb.xls" ] || "$build/bench/make-workbook" "$work/bench-$mb.xls" "$mb" "$mb" >&2
done

# One timed run: "seconds peak_kb" on stdout, the program's output thrown away.
measure() {
    /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@" >/dev/null 2>"$work/stderr.txt"
    cat "$work/time.txt"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

printf "machine: %s cores, %s\n" "$(nproc)" "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
printf "%-6s %-15s %9s %9s %11s %11s %9s %9s\n" size program "median s" "MB/s" "peak RSS" "RSS/stream" "x floor" "xls2csv/x"
for mb in "${sizes[@]}"; do
    file=$work/bench-$mb.xls
    # The stream size is what the library reports for the file.
    stream_bytes=$(python3 - "$build/libcellsift.so" "$file" <<'PY'
import ctypes, sys
lib = ctypes.CDLL(sys.argv[1])
print(lib.GetLengthOfTextPortion(sys.argv[2].encode(), 0))
PY
)
    : >"$work/floor.txt"; : >"$work/cellsift.txt"; : >"$work/xls2csv.txt"
    cat "$file" >/dev/null
    for ((i = 0; i < runs; i++)); do
        measure "$build/bench/read-file" "$file" >>"$work/floor.txt"
        measure "${cellsift[@]}" "$file" >>"$work/cellsift.txt"
        measure xls2csv "$file" >>"$work/xls2csv.txt"
    done
    t_floor=$(cut -d' ' -f1 "$work/floor.txt" | median)
    t_xls=$(cut -d' ' -f1 "$work/xls2csv.txt" | median)
    for prog in floor cellsift xls2csv; do
        t=$(cut -d' ' -f1 "$work/$prog.txt" | median)
        kb=$(cut -d' ' -f2 "$work/$prog.txt" | median)
        name=$prog
        [ "$prog" = cellsift ] && name=$cellsift_name
        awk -v mb="$mb" -v name="$name" -v t="$t" -v kb="$kb" -v sb="$stream_bytes" \
            -v tf="$t_floor" -v tx="$t_xls" 'BEGIN {
            d = (t > 0) ? t : 0.005
            printf "%-6s %-15s %9.3f %9.0f %9.1fMB %11.2f %9.2f %9.2f\n", mb "MB", name, t,
                   sb / 1048576 / d, kb / 1024, kb * 1024 / sb, t / ((tf > 0) ? tf : 0.005), tx / d }'
    done
done
