#!/bin/bash
# Freezes what Apache POI's HSSF reader (Debian's libapache-poi-java) makes of the formulas,
# defined names, merged ranges and hidden rows and columns of every workbook the tests have,
# into poi-formulas.tsv: one line per item, the workbook's path first. Not run by the test
# command (compare.py reads the frozen file); run it by hand after adding workbooks:
#   scripts/install-deps.sh maintainer && tests/formula/reference/freeze-poi.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
shared=${CELLSIFT_SHARED_DIR:-$root/../shared}
java=/usr/share/java
classpath=$java/poi.jar:$java/commons-collections4.jar:$java/commons-math3.jar:$java/commons-codec.jar
classes=$(mktemp -d)
trap 'rm -rf "$classes"' EXIT
javac -cp "$classpath" -d "$classes" "$here/poi/PoiDump.java"

# The workbooks, named as compare.py names them: below the tree, or conformance/NAME.
list() {
    (cd "$root" && ls tests/data/*.xls tests/workbook/data/*.xls tests/workbook/extras/*.xls examples/*.xls \
        tests/formula/reference/books/*.xls)
    (cd "$shared" && ls conformance/*.xls)
}
out=$here/poi-formulas.tsv
: >"$out"
list | while read -r name; do
    case $name in
    conformance/*) path=$shared/$name ;;
    *) path=$root/$name ;;
    esac
    # A workbook POI cannot open at all (encrypted, damaged) is one line saying so.
    if ! lines=$(java -cp "$classes:$classpath" PoiDump "$path" 2>/dev/null); then
        printf '%s\t!unreadable\n' "$name" >>"$out"
        continue
    fi
    [ -z "$lines" ] || printf '%s\n' "$lines" | sed "s|^|$name\t|" >>"$out"
done
echo "freeze-poi: $(wc -l <"$out") lines from $(list | wc -l) workbooks in $out"
