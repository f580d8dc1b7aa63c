#!/bin/bash
# Benchmarks of the Python module: run-python-bench.sh [RUNS] [BUILD_DIR]. Installs the module
# into bench/work/venv with pip as users do, then runs bench/python-bench.py and
# bench/frames-bench.py.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
runs=${1:-5}
build=${2:-$root/build-native}
work=$here/work
mkdir -p "$work"
"$root/scripts/install-deps.sh" test >&2
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 >/dev/null
rm -rf "$work/venv" "$work/src"
/usr/bin/python3 -m venv --system-site-packages --without-pip "$work/venv"
tar -C "$root" --exclude=./build --exclude='./build-*' --exclude=./bench/work --exclude=./.git -cf - . |
    (mkdir -p "$work/src" && tar -C "$work/src" -xf -)
"$work/venv/bin/python" -m pip install --quiet --no-build-isolation --no-deps --no-index "$work/src"
"$work/venv/bin/python" "$here/python-bench.py" "$build/tools/cellsift" "$build/bench/make-workbook" "$work" "$runs"
# read_frame against pandas.read_excel(engine="xlrd") on the 30 and 100 MB workbooks.
"$work/venv/bin/python" "$here/frames-bench.py" "$build/bench/make-workbook" "$work" "$runs"
