#!/usr/bin/env bash
# Damaged workbooks through the storage calls: writes the damaged set, runs the native
# probe over it and, given a Windows probe and its emulator, the system's reader too; fails
# on any difference between the two.
# Usage: compare.sh NATIVE_PARITY_DIR [WINDOWS_PROBE EMULATOR]
set -euo pipefail

native=$1 winprobe=${2:-} emulator=${3:-}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
shared=${CELLSIFT_SHARED_DIR:-$source_dir/../shared}
work=$(mktemp -d "${TMPDIR:-/tmp}/cellsift-parity.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Every writer and both streams, small and large, from the repository and the conformance set.
inputs=("$source_dir"/tests/data/*.xls)
for name in poi-mixed lo-resaved-cjk-emoji xlwt-long-strings; do
    [ -f "$shared/conformance/$name.xls" ] && inputs+=("$shared/conformance/$name.xls")
done

mkdir "$work/set"
"$native/cellsift_damaged_set" "$work/set" "${inputs[@]}" >/dev/null
(cd "$work/set" && ls) >"$work/list"
count=$(wc -l <"$work/list")
(cd "$work/set" && "$native/cellsift_storage_probe") <"$work/list" >"$work/native.txt"
if [ "$(wc -l <"$work/native.txt")" -ne "$count" ]; then
    echo "native probe answered for $(wc -l <"$work/native.txt") of $count files" >&2
    exit 1
fi
if [ -z "$winprobe" ]; then
    echo "$count damaged files read by the portable reader"
    exit 0
fi

(cd "$work/set" && "$emulator" "$winprobe") <"$work/list" | tr -d '\r' >"$work/system.txt"
if ! diff "$work/native.txt" "$work/system.txt" >"$work/diff"; then
    echo "the portable reader differs from the system's on $(grep -c '^>' "$work/diff") of $count files:" >&2
    head -n 40 "$work/diff" >&2
    exit 1
fi
echo "$count damaged files: the portable reader answers as the system's does"
