#!/bin/bash
# Batch benchmark: run-batch-bench.sh [RUNS] [BUILD_DIR] [FILES]
# Makes FILES small workbooks (default 3000: the repository's real workbooks under 100 KB,
# copied in turn into folders of 100, kept in bench/work/), then runs `cellsift -q -r` over
# them with -j 1 and -j 2, to standard output and with -o, interleaved, RUNS times each;
# prints the median wall times, files per second, the speed-ups, whether the outputs were
# byte for byte the same, and the load average before and after.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
runs=${1:-5}
build=${2:-$root/build-native}
files=${3:-3000}
work=$here/work/batch-$files

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target cellsift_tool >/dev/null
tool=$build/tools/cellsift
if [ ! -f "$work/done" ]; then
    rm -rf "$work" && mkdir -p "$work/in"
    mapfile -t sources < <(find "$root/examples" "$root/tests/data" "$root/tests/workbook/data" -name '*.xls' -size -100k | sort)
    for ((i = 0; i < files; i++)); do
        mkdir -p "$work/in/$((i / 100))"
        cp "${sources[i % ${#sources[@]}]}" "$work/in/$((i / 100))/book-$i.xls"
    done
    touch "$work/done"
fi
echo "workbooks: $(find "$work/in" -name '*.xls' | wc -l), $(du -sh "$work/in" | cut -f1); load before: $(cut -d' ' -f1-3 /proc/loadavg)"

# Both forms of output: one stream on standard output (written to a file), and a tree of
# files with -o (the old tree removed before the clock starts). The clock is the shell's own
# (EPOCHREALTIME): a $(date) around the tool would add the start of a process to each time.
declare -A times
for ((r = 0; r < runs; r++)); do
    for jobs in 1 2; do
        # The last run's output is removed before the clock starts: truncating 15 MB of it
        # takes the shell about 5 ms, which is none of the tool's time.
        rm -f "$work/out.$jobs" "$work/err.$jobs"
        start=$EPOCHREALTIME
        "$tool" -q -r "$work/in" -j "$jobs" >"$work/out.$jobs" 2>"$work/err.$jobs" || true
        end=$EPOCHREALTIME
        times[stdout$jobs]+="$(awk "BEGIN { print $end - $start }") "
        rm -rf "$work/tree.$jobs"
        start=$EPOCHREALTIME
        "$tool" -q -r "$work/in" -o "$work/tree.$jobs" -j "$jobs" >/dev/null 2>"$work/tree-err.$jobs" || true
        end=$EPOCHREALTIME
        times[tree$jobs]+="$(awk "BEGIN { print $end - $start }") "
    done
    cmp -s "$work/out.1" "$work/out.2" && cmp -s "$work/err.1" "$work/err.2" && cmp -s "$work/tree-err.1" "$work/tree-err.2" &&
        diff -r -q "$work/tree.1" "$work/tree.2" >/dev/null || { echo "run $r: -j 2 output differs from -j 1"; exit 1; }
done
# The machine's own ceiling: the throughput of two independent CPU-bound processes against one.
spin() { local i=0; while [ $i -lt 200000 ]; do i=$((i + 1)); done; }
export -f spin
start=$EPOCHREALTIME; bash -c spin; end=$EPOCHREALTIME; one=$(awk "BEGIN { print $end - $start }")
start=$EPOCHREALTIME; bash -c spin & bash -c spin; wait; end=$EPOCHREALTIME; two=$(awk "BEGIN { print $end - $start }")
median() { tr ' ' '\n' | grep . | sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg); standard output $(stat -c %s "$work/out.1") bytes, tree $(du -sh "$work/tree.1" | cut -f1); identical for -j 1 and -j 2 in every run"
n=$(find "$work/in" -name '*.xls' | wc -l)
for mode in stdout tree; do
    m1=$(echo "${times[${mode}1]}" | median)
    m2=$(echo "${times[${mode}2]}" | median)
    awk -v mode="$mode" -v f="$n" -v m1="$m1" -v m2="$m2" 'BEGIN {
        printf "%-6s -j 1: %.3f s median, %5.0f files/s; -j 2: %.3f s, %5.0f files/s; speed-up %.2fx\n", mode, m1, f / m1, m2, f / m2, m1 / m2 }'
done
awk -v one="$one" -v two="$two" 'BEGIN { printf "ceiling: two independent CPU-bound processes give %.2fx the throughput of one\n", 2 * one / two }'
