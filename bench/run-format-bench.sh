#!/bin/bash
# Number-format benchmark: run-format-bench.sh [RUNS] [BUILD_DIR] [CELLS]
# Makes a workbook of CELLS (default 1,000,000) NUMBER cells in 24 number formats, built-in and
# the workbook's own, numbers, dates and times (bench/make-formatted-workbook, kept in
# bench/work/), then runs, interleaved, the tool's default text (every value as its format
# shows it) and --values raw (the stored values), and the same pair as CSV. Prints the median
# wall time (to the microsecond) and processor time (in the kernel's 10 ms steps) and the
# ratio of each shown form to its raw form in both.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
runs=${1:-5}
build=${2:-$root/build-native}
cells=${3:-1000000}
work=$here/work
mkdir -p "$work"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target cellsift_tool make-formatted-workbook >/dev/null
file=$work/formats-$cells.xls
[ -s "$file" ] || "$build/bench/make-formatted-workbook" "$file" "$cells" >&2
tool=$build/tools/cellsift

forms=(text text-raw csv csv-raw ru-RU de-DE)
run_form() {
    case $1 in
    text) "$tool" "$2" ;;
    ru-RU | de-DE) "$tool" --locale "$1" "$2" ;;
    text-raw) "$tool" --values raw "$2" ;;
    csv) "$tool" --format csv "$2" ;;
    csv-raw) "$tool" --format csv --values raw "$2" ;;
    esac
}

# One timed run: "wall user+sys" on stdout, the output thrown away.
measure() {
    local t0=$EPOCHREALTIME
    /usr/bin/time -f "%U %S" -o "$work/time.txt" "$@" >/dev/null
    local t1=$EPOCHREALTIME
    awk -v a="$t0" -v b="$t1" '{ printf "%.4f %s\n", b - a, $1 + $2 }' "$work/time.txt"
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

for form in "${forms[@]}"; do : >"$work/format-$form.txt"; done
cat "$file" >/dev/null
for ((i = 0; i < runs; i++)); do
    for form in "${forms[@]}"; do
        (
            export -f run_form
            export tool
            measure bash -c 'run_form "$0" "$1"' "$form" "$file"
        ) >>"$work/format-$form.txt"
    done
done
printf "%s cells, %s runs; machine: %s cores\n" "$cells" "$runs" "$(nproc)"
printf "%-10s %10s %10s %12s %12s\n" form "wall s" "cpu s" "wall / base" "cpu / base"
for form in "${forms[@]}"; do
    wall=$(cut -d' ' -f1 "$work/format-$form.txt" | median)
    cpu=$(cut -d' ' -f2 "$work/format-$form.txt" | median)
    # A locale's text is compared with the en-US text, the others with their raw form.
    base=${form%-raw}-raw
    [[ $form == *-[A-Z][A-Z] ]] && base=text
    raw_wall=$(cut -d' ' -f1 "$work/format-$base.txt" | median)
    raw=$(cut -d' ' -f2 "$work/format-$base.txt" | median)
    awk -v f="$form" -v w="$wall" -v c="$cpu" -v rw="$raw_wall" -v r="$raw" \
        'BEGIN { printf "%-10s %10.4f %10.3f %12.2f %12.2f\n", f, w, c, w / rw, c / ((r > 0) ? r : 0.005) }'
done
