#!/usr/bin/env bash
# Checks that C and C++ sources follow the tree's .clang-format with every body braced
# (InsertBraces, which clang-format 16 knows and older ones refuse in .clang-format): every
# tracked one, or with a revision given, those changed since it. Prints the files that differ;
# exit 1 if any do; with --fix, formats them in place instead.
# Usage: scripts/check-format.sh [--fix] [REV]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
format=${CLANG_FORMAT:-clang-format-16}
command -v "$format" >/dev/null || { echo "check-format: $format is not installed" >&2; exit 2; }
fix=0
if [ "${1:-}" = --fix ]; then
    fix=1
    shift
fi
style=$(mktemp)
trap 'rm -f "$style"' EXIT
{ cat .clang-format; echo 'InsertBraces: true'; } >"$style"

if [ $# -gt 0 ]; then
    mapfile -t files < <(git diff --name-only --diff-filter=ACMR "$1" -- '*.cpp' '*.h')
else
    mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
fi
bad=0
for f in "${files[@]}"; do
    [ -f "$f" ] || continue
    if ! "$format" --style=file:"$style" "$f" | cmp -s - "$f"; then
        if [ $fix = 1 ]; then
            "$format" --style=file:"$style" -i "$f"
            continue
        fi
        echo "not formatted: $f (scripts/check-format.sh --fix)"
        bad=1
    fi
done
exit $bad
