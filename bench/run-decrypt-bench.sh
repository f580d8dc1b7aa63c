#!/bin/bash
# Decryption benchmark: run-decrypt-bench.sh [RUNS] [BUILD_DIR] [MB]
# Makes the bench workbook of about 30 MB of workbook stream (bench/work/, as run-bench.sh does)
# and encrypted copies of it with the default password (RC4, RC4 CryptoAPI 128-bit, XOR) by
# tests/decrypt's generator, then runs the tool's default text on each, interleaved. Prints
# per file the median wall time, the median peak RSS and the time ratio to the plain workbook.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
runs=${1:-5}
build=${2:-$root/build-native}
mb=${3:-30}
work=$here/work
mkdir -p "$work"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target cellsift_tool make-workbook encrypt-workbook >/dev/null
plain=$work/bench-$mb.xls
[ -s "$plain" ] || "$build/bench/make-workbook" "$plain" "$mb" "$mb" >&2
files=("$plain")
for scheme in rc4 cryptoapi128 xor; do
    "$build/tests/decrypt/encrypt-workbook" "$scheme" VelvetSweatshop "$plain" "$work/bench-$mb-$scheme.xls"
    files+=("$work/bench-$mb-$scheme.xls")
done

# Wall time to the microsecond around the tool alone (time's own is in hundredths, and a
# wrapping /usr/bin/time would add the start of a process to every run, plain and encrypted
# alike, flattering the ratio), then the peak RSS from a run of its own under time.
measure() {
    local start=$EPOCHREALTIME
    "$build/tools/cellsift" "$1" >/dev/null 2>"$work/stderr.txt"
    local end=$EPOCHREALTIME
    /usr/bin/time -f "%M" -o "$work/time.txt" "$build/tools/cellsift" "$1" >/dev/null 2>"$work/stderr.txt"
    echo "$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.6f", e - s }') $(cat "$work/time.txt")"
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

for f in "${files[@]}"; do : >"$f.times"; cat "$f" >/dev/null; done
for ((i = 0; i < runs; i++)); do
    for f in "${files[@]}"; do measure "$f" >>"$f.times"; done
done
printf "machine: %s cores, load %s\n" "$(nproc)" "$(cut -d' ' -f1-3 /proc/loadavg)"
printf "%-28s %9s %11s %9s\n" file "median s" "peak RSS" "x plain"
t_plain=$(cut -d' ' -f1 "$plain.times" | median)
for f in "${files[@]}"; do
    t=$(cut -d' ' -f1 "$f.times" | median)
    kb=$(cut -d' ' -f2 "$f.times" | median)
    awk -v name="$(basename "$f")" -v t="$t" -v kb="$kb" -v tp="$t_plain" \
        'BEGIN { printf "%-28s %9.4f %9.1fMB %9.2f\n", name, t, kb / 1024, t / ((tp > 0) ? tp : 0.005) }'
    rm -f "$f.times"
done
