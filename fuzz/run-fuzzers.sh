#!/bin/sh
# Runs the libFuzzer targets: run-fuzzers.sh TARGET|all SECONDS [BUILD_DIR]
#   TARGET is walker, storage, extract, workbook, format, formula or vba; "all" runs them two at a time, one per core.
# Builds them first (clang, -DCELLSIFT_FUZZ=ON) in BUILD_DIR (default build-fuzz). New
# inputs go to fuzz/work/<target>/ (not committed); crash files land in fuzz/work/ too and
# belong in fuzz/regressions/<target>/ once fixed. Each run's log is fuzz/work/<target>.log.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
target=${1:?usage: run-fuzzers.sh TARGET|all SECONDS [BUILD_DIR]}
seconds=${2:?usage: run-fuzzers.sh TARGET|all SECONDS [BUILD_DIR]}
build=${3:-$root/build-fuzz}

"$root/scripts/install-deps.sh" tools >&2
cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCELLSIFT_FUZZ=ON \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target fuzz_walker fuzz_storage fuzz_extract fuzz_workbook fuzz_format fuzz_formula fuzz_vba >/dev/null

run_one() {
    name=$1
    work=$here/work/$name
    mkdir -p "$work"
    dict=$here/xls.dict
    [ ! -f "$here/$name.dict" ] || dict=$here/$name.dict
    # Inputs up to 64 KB: large enough for several sectors of both versions and records
    # of every length, small enough to keep thousands of executions a second. The timeout is
    # wall time: an input whose output multiplies up to the written-bytes bound takes a few
    # seconds under the sanitizers on a loaded machine without being a hang.
    ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
    "$build/fuzz/fuzz_$name" "$work" "$here/corpus/$name" "$here/regressions/$name" \
        -dict="$dict" -max_total_time="$seconds" -max_len=65536 \
        -rss_limit_mb=2048 -malloc_limit_mb=512 -timeout=60 -print_final_stats=1 \
        -artifact_prefix="$here/work/$name-" >"$here/work/$name.log" 2>&1 || true
    tail -n 12 "$here/work/$name.log" | grep -E 'stat::|cov:|ERROR|SUMMARY|Test unit written' || true
}

case $target in
all)
    run_one walker & run_one storage & wait
    run_one extract & run_one workbook & wait
    run_one format & run_one formula & wait
    run_one vba
    ;;
walker|storage|extract|workbook|format|formula|vba)
    run_one "$target"
    ;;
*)
    echo "unknown target: $target" >&2
    exit 2
    ;;
esac
