#!/bin/bash
# Formula benchmark: run-formula-bench.sh [RUNS] [BUILD_DIR] [ROWS]
# Makes a workbook of ROWS (default 300,000) rows of three numbers and three formulas
# (bench/make-formula-workbook, kept in bench/work/), then runs, interleaved with the floor
# (read-file: the file mapped and every byte read), the tool's default text (cached results,
# no formula read), --formulas (every formula's text) and JSON lines (values and formulas).
# Prints the median wall time and each form's ratio to the floor.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
runs=${1:-5}
build=${2:-$root/build-native}
rows=${3:-300000}
work=$here/work
mkdir -p "$work"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target cellsift_tool make-formula-workbook read-file >/dev/null
file=$work/formulas-$rows.xls
[ -s "$file" ] || "$build/bench/make-formula-workbook" "$file" "$rows" >&2
tool=$build/tools/cellsift

forms=(floor text formulas jsonl)
run_form() {
    case $1 in
    floor) "$build/bench/read-file" "$file" ;;
    text) "$tool" "$file" ;;
    formulas) "$tool" --formulas "$file" ;;
    jsonl) "$tool" --format jsonl "$file" ;;
    esac
}

for form in "${forms[@]}"; do : >"$work/formula-$form.txt"; done
cat "$file" >/dev/null
for ((i = 0; i < runs; i++)); do
    for form in "${forms[@]}"; do
        t0=$EPOCHREALTIME
        run_form "$form" >/dev/null
        t1=$EPOCHREALTIME
        awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f\n", b - a }' >>"$work/formula-$form.txt"
    done
done
median() { sort -g "$1" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
floor=$(median "$work/formula-floor.txt")
printf "%s rows, %s formulas, %s runs; machine: %s cores\n" "$rows" "$((rows * 3))" "$runs" "$(nproc)"
printf "%-10s %10s %10s\n" form "wall s" "/ floor"
for form in "${forms[@]}"; do
    awk -v f="$form" -v w="$(median "$work/formula-$form.txt")" -v fl="$floor" \
        'BEGIN { printf "%-10s %10.4f %10.1f\n", f, w, w / fl }'
done
