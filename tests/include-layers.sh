#!/usr/bin/env bash
# The layering of the source folders, checked from their #include lines: none includes a folder
# above it (scripts/include-graph.py --check), and the check itself sees a planted breach.
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
script="$top/scripts/include-graph.py"
failed=0

python3 "$script" --check "$top" || failed=1

# A copy of the layering's bottom with one include upward: the check must name it and fail.
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/src/biff" "$tmp/src/workbook"
printf '#include "workbook/Workbook.h"\n' >"$tmp/src/biff/ByteCursor.h"
printf '#include "biff/ByteCursor.h"\n' >"$tmp/src/workbook/Workbook.h"
if out=$(python3 "$script" --check "$tmp"); then
    echo "include-layers: an include of src/workbook from src/biff passed the check"
    failed=1
elif [[ "$out" != *"src/biff may not include src/workbook: src/biff/ByteCursor.h:1"* ]]; then
    echo "include-layers: the planted breach was not named: $out"
    failed=1
fi
exit $failed
