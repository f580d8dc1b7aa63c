#!/bin/bash
# Freezes what Apache POI's VBAMacroReader (Debian's libapache-poi-java) reads of the VBA
# projects of tests/vba/data into vba-poi.tsv: one line per module, the workbook's name first.
# Not run by the test command (compare.py reads the frozen file); run it by hand after adding
# workbooks:  scripts/install-deps.sh maintainer && tests/vba/reference/freeze-poi.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
data=$(cd "$here/../data" && pwd)
java=/usr/share/java
classpath=$java/poi.jar:$java/commons-collections4.jar:$java/commons-math3.jar:$java/commons-codec.jar
classes=$(mktemp -d)
trap 'rm -rf "$classes"' EXIT
javac -cp "$classpath" -d "$classes" "$here/VbaDump.java"
out=$here/vba-poi.tsv
: >"$out"
for path in "$data"/*.xls; do
    java -cp "$classes:$classpath" VbaDump "$path" | sed "s|^|$(basename "$path")\t|" >>"$out"
done
echo "freeze-poi: $(wc -l <"$out") modules in $out"
