#!/usr/bin/env bash
# The project's test command: installs what it needs, then builds and tests the native build,
# the sanitizer build, the Windows x86_64 build under wine64 and the i686 product.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${CELLSIFT_BUILD_DIR:-$root/build}
jobs=${CELLSIFT_JOBS:-$(nproc)}
cd "$root"

"$root/scripts/install-deps.sh" all
mkdir -p "$build"

passed=0; failed=0; skipped_stages=()

# configure NAME ARGS...; build; then ctest, adding its counts to the totals.
stage() {
    local name=$1; shift
    echo "== $name"
    cmake -S "$root" -B "$build/$name" -DCMAKE_BUILD_TYPE="${type:-Release}" "$@" >"$build/$name.configure.log" ||
        { cat "$build/$name.configure.log"; return 1; }
    cmake --build "$build/$name" -j "$jobs" >"$build/$name.build.log" 2>&1 ||
        { tail -n 60 "$build/$name.build.log"; return 1; }
}

# run_ctest NAME [CTEST ARGS...]
run_ctest() {
    local name=$1 log="$build/$1.ctest.log" rc=0
    shift
    (cd "$build/$name" && ctest --output-on-failure -j "$jobs" --timeout 900 "$@") >"$log" 2>&1 || rc=$?
    grep -E '^[0-9]+% tests passed|\*\*\*Failed|Failed  |Not Run' "$log" || true
    local total fails
    total=$(sed -nE 's/.*tests failed out of ([0-9]+).*/\1/p' "$log" | tail -n 1)
    fails=$(sed -nE 's/.*tests passed, ([0-9]+) tests? failed out of.*/\1/p' "$log" | tail -n 1)
    passed=$((passed + ${total:-0} - ${fails:-0})); failed=$((failed + ${fails:-0}))
    if [ "$rc" -ne 0 ] || [ -z "${total:-}" ]; then
        tail -n 80 "$log"
        [ -n "${total:-}" ] || failed=$((failed + 1))
    fi
}

# A stage that does not build counts as one failure.
built() { "$@" || { failed=$((failed + 1)); return 1; }; }

built stage native && run_ctest native
type=Debug built stage asan -DCELLSIFT_SANITIZE=ON && run_ctest asan

source "$root/scripts/wine32.sh"
if wine64_setup "$build"; then
    # The native build's damaged set and probe are what the system's reader is compared with.
    built stage w64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-x86_64.cmake" \
        -DCMAKE_CROSSCOMPILING_EMULATOR="$root/scripts/wine64-run" \
        -DCELLSIFT_PARITY_NATIVE_DIR="$build/native" && run_ctest w64
else
    failed=$((failed + 1)); skipped_stages+=(w64)
fi

if built stage i686 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-i686.cmake" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$root/scripts/wine32-run"; then
    if wine32_setup "$build"; then
        run_ctest i686
    else
        # Without 32-bit Wine only the checks of the DLL file itself can run.
        skipped_stages+=(i686-under-wine)
        run_ctest i686 -L static
    fi
fi

echo
[ ${#skipped_stages[@]} -eq 0 ] || echo "stages skipped: ${skipped_stages[*]}"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
