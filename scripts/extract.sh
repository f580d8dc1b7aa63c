#!/usr/bin/env bash
# The main command: installs what the native build needs, builds the library and the tool,
# and prints the text of the sample workbook, or of the files given, as UTF-8.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${CELLSIFT_BUILD_DIR:-$root/build}/native

# Each step says what it does on standard error, which keeps standard output the text alone.
step() { echo "extract.sh: $*" >&2; }

"$root/scripts/install-deps.sh" native >&2
mkdir -p "$(dirname "$build")"
step "configuring the build in $build (log: $build.configure.log)"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >"$build.configure.log" 2>&1 ||
    { cat "$build.configure.log" >&2; exit 1; }
step "building the tool with $(nproc) jobs (log: $build.build.log)"
cmake --build "$build" -j "$(nproc)" --target cellsift_tool >"$build.build.log" 2>&1 ||
    { tail -n 60 "$build.build.log" >&2; exit 1; }
[ $# -gt 0 ] || { set -- "$root/examples/sample.xls"; step "reading examples/sample.xls"; }
exec "$build/tools/cellsift" "$@"
