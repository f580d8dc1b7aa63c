#!/usr/bin/env bash
# Checks that C and C++ sources follow the tree's .clang-format: every tracked one, or with
# a revision given, those changed since it. Prints the files that differ; exit 1 if any do.
# Usage: scripts/check-format.sh [REV]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
format=${CLANG_FORMAT:-clang-format-16}
command -v "$format" >/dev/null || { echo "check-format: $format is not installed" >&2; exit 2; }

if [ $# -gt 0 ]; then
    mapfile -t files < <(git diff --name-only --diff-filter=ACMR "$1" -- '*.cpp' '*.h')
else
    mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
fi
bad=0
for f in "${files[@]}"; do
    [ -f "$f" ] || continue
    if ! "$format" --style=file "$f" | cmp -s - "$f"; then
        echo "not formatted: $f ($format -i $f)"
        bad=1
    fi
done
exit $bad
