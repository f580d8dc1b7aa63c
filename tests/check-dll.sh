#!/bin/bash
# Checks the shipped library file itself: what it exports, and for the DLL its format, that
# it needs no DLL beyond those every Windows system has, and, given a list of the functions
# the oldest supported Windows exports ("dll function" lines), that it imports no other, nor
# carries a thread-storage directory, which that Windows does not load.
#   check-dll.sh pe OBJDUMP FILE FORMAT [ALLOWED]   (FORMAT: pei-i386 or pei-x86-64)
#   check-dll.sh elf FILE
set -u

expected_exports="GetDescription
GetLengthOfTextPortion
GetProcessableExtensionsString
GetTextPortionOfDocument"
# Present on every Windows system; the MinGW runtime DLLs are not, so they must be linked in.
system_dlls="advapi32.dll
kernel32.dll
msvcrt.dll
ole32.dll
oleaut32.dll
user32.dll"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

compare_exports() {
    local actual=$1
    if [ "$actual" != "$expected_exports" ]; then
        fail "exports differ from the four names"
        diff <(echo "$expected_exports") <(echo "$actual")
    fi
}

case "${1:-}" in
pe)
    [ $# -eq 4 ] || [ $# -eq 5 ] || { echo "usage: $0 pe OBJDUMP FILE FORMAT [ALLOWED]" >&2; exit 2; }
    objdump=$2 file=$3 format=$4 allowed=${5:-}
    [ -f "$file" ] || { echo "FAIL: no file $file"; exit 1; }
    headers=$("$objdump" -p "$file") || { echo "FAIL: $objdump cannot read $file"; exit 1; }
    grep -q "file format $format\$" <<<"$headers" || fail "not $format: $(grep -m1 'file format' <<<"$headers")"
    # The names of the export table, exactly as a host passes them to GetProcAddress.
    exports=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" |
              sed -nE 's/^[[:space:]]*\[ *[0-9]+\] (.*)$/\1/p' | sort)
    compare_exports "$exports"
    while read -r dll; do
        [ -n "$dll" ] || continue
        lower=$(tr '[:upper:]' '[:lower:]' <<<"$dll")
        grep -qxF -- "$lower" <<<"$system_dlls" || fail "imports $dll, which not every system has"
    done < <(sed -nE 's/^[[:space:]]*DLL Name: (.*)$/\1/p' <<<"$headers")
    if [ -n "$allowed" ]; then
        # "dll function" for every import by name; an import by ordinal keeps its number.
        imports=$(sed -n '/^The Import Tables/,/^The Export Tables/p' <<<"$headers" |
                  awk '/DLL Name:/ { dll = tolower($3); next }
                       /^\t[0-9a-f]+\t/ && dll != "" { print dll, $NF }')
        [ -n "$imports" ] || fail "no imports found"
        while read -r import; do
            grep -qxF -- "$import" <(grep -v '^#' "$allowed") || fail "imports $import, which the oldest supported Windows lacks"
        done <<<"$imports"
        tls=$(sed -nE 's/^Entry 9 ([0-9a-f]+) .*Thread Storage Directory.*/\1/p' <<<"$headers")
        [ -z "$tls" ] || [ "$((16#$tls))" -eq 0 ] || fail "carries a thread-storage directory"
    fi
    ;;
elf)
    [ $# -eq 2 ] || { echo "usage: $0 elf FILE" >&2; exit 2; }
    file=$2
    [ -f "$file" ] || { echo "FAIL: no file $file"; exit 1; }
    exports=$(nm -D --defined-only "$file" | awk '{ print $NF }' | sort) || { echo "FAIL: nm cannot read $file"; exit 1; }
    compare_exports "$exports"
    ;;
*)
    echo "usage: $0 pe OBJDUMP FILE FORMAT | elf FILE" >&2
    exit 2
    ;;
esac

[ "$failures" -eq 0 ] && echo "ok: $file"
[ "$failures" -eq 0 ]
