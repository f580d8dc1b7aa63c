#!/usr/bin/env bash
# Installs the module as a user would (pip, offline, Debian's build tools) into a fresh virtual
# environment that sees Debian's packages, then runs its tests there.
# Usage: run-tests.sh SOURCE_DIR WORK_DIR TOOL
set -euo pipefail
src=$1 work=$2 tool=$3
python=/usr/bin/python3
rm -rf "$work"
mkdir -p "$work"
"$python" -m venv --system-site-packages --without-pip "$work/venv"
# The source tree is copied so that the build's by-products stay out of the checkout.
tar -C "$src" --exclude=./build --exclude="./build-*" --exclude=./bench/work --exclude=./fuzz/work --exclude=./.git -cf - . | (mkdir -p "$work/src" && tar -C "$work/src" -xf -)
"$work/venv/bin/python" -m pip install --quiet --no-build-isolation --no-deps --no-index "$work/src" \
    >"$work/pip.log" 2>&1 || { cat "$work/pip.log"; exit 1; }
cd "$work"
# The type hints as a user's mypy sees them in the installed package (py.typed): the package
# itself, a script that uses it rightly, and one whose mistake mypy must find.
mypy_run() {
    mypy --python-executable "$work/venv/bin/python" --cache-dir "$work/mypy-cache" "$@"
}
mypy_run --config-file "$src/pyproject.toml" -p cellsift
mypy_run "$src/python/tests/typing/user.py"
if mypy_run "$src/python/tests/typing/mistake.py" >"$work/mypy-mistake.txt" 2>&1 ||
        ! grep -q 'mistake.py:5: error' "$work/mypy-mistake.txt"; then
    cat "$work/mypy-mistake.txt"
    echo "mypy did not find the mistake through the package's hints" >&2
    exit 1
fi
CELLSIFT_TOOL=$tool CELLSIFT_SOURCE_DIR=$src CELLSIFT_SHARED_DIR=${CELLSIFT_SHARED_DIR:-$src/../shared} \
    exec "$work/venv/bin/python" -m pytest -q -p no:cacheprovider "$src/python/tests"
