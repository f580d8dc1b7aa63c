#!/bin/bash
# Runs the installed cellsift tool on real workbooks; one group of cases per call (the group
# name is the argument). Each call installs the build into a fresh temporary prefix.
set -u

GROUP=$1
BUILD=$CELLSIFT_BUILD_DIR
SOURCE=$CELLSIFT_SOURCE_DIR
CONFORMANCE=$CELLSIFT_SHARED_DIR/conformance
DUMP=$CELLSIFT_EXPORTS_DUMP

WORK=$(mktemp -d "${TMPDIR:-/tmp}/cellsift-tool-test.XXXXXX")
trap 'chmod -R u+rwx "$WORK" 2>/dev/null; rm -rf "$WORK"' EXIT
PREFIX=$WORK/prefix
TOOL=$PREFIX/bin/cellsift
# The folder the tests name with --scandeck; nothing may ever appear beside the tool.
SCANDECK=$WORK/scandeck
"$CMAKE_COMMAND" --install "$BUILD" --prefix "$PREFIX" >/dev/null || { echo "install failed"; exit 1; }
mkdir -p "$WORK/run"
cd "$WORK/run" || exit 1

FAILURES=0
fail() { echo "FAIL [$GROUP]: $*"; FAILURES=$((FAILURES + 1)); }

# run ARGS...: the tool's stdout, stderr and status in $WORK/out, $WORK/err and $STATUS.
run() { "$TOOL" "$@" >"$WORK/out" 2>"$WORK/err"; STATUS=$?; }
expect_status() { [ "$STATUS" -eq "$1" ] || fail "$2: status $STATUS, expected $1; stderr: $(head -c 300 "$WORK/err")"; }
expect_err() { grep -qF -- "$1" "$WORK/err" || fail "$2: stderr lacks '$1': $(head -c 300 "$WORK/err")"; }
expect_no_err() { ! grep -qF -- "$1" "$WORK/err" || fail "$2: stderr has '$1'"; }
# The reference conversion, independent of the tool's table; 0x98 becomes U+FFFD in both.
# -I -S: no site start-up, which costs seconds per call on some installations.
to_utf8() { "$PYTHON3" -I -S -c 'import sys; sys.stdout.buffer.write(sys.stdin.buffer.read().decode("cp1251", "replace").encode())'; }

NOT_XLS=$WORK/not-a-workbook.xls
printf 'plain text, not a compound document\n' >"$NOT_XLS"
DESCRIPTION_UTF8='Экстрактор текста из файлов MS Excel'

# make_book PATH JSON: a bare BIFF8 workbook stream from [[NAME, "w" or "c", [CELL...]]...],
# each sheet a worksheet or a chart sheet, its cells the first row's (numbers and strings).
make_book() {
    "$PYTHON3" -I -S - "$@" <<'PY' || fail "make_book $1"
import json, struct, sys
def rec(kind, data): return struct.pack("<HH", kind, len(data)) + data
def bof(kind): return rec(0x809, struct.pack("<HHHHII", 0x600, kind, 0, 1997, 0, 0x600))
def text(s): return struct.pack("<HB", len(s.encode("utf-16-le")) // 2, 1) + s.encode("utf-16-le")
def cell(col, v):
    if isinstance(v, str): return rec(0x204, struct.pack("<HHH", 0, col, 0) + text(v))
    return rec(0x203, struct.pack("<HHHd", 0, col, 0, v))
def sheet(kind, cells):
    return bof(0x20 if kind == "c" else 0x10) + b"".join(cell(i, v) for i, v in enumerate(cells)) + rec(0x0A, b"")
def boundsheet(pos, name, kind):
    units = name.encode("utf-16-le")
    return rec(0x85, struct.pack("<IBBBB", pos, 0, 2 if kind == "c" else 0, len(units) // 2, 1) + units)
layout = json.loads(sys.argv[2])
pos = len(bof(5)) + sum(len(boundsheet(0, n, k)) for n, k, _ in layout) + len(rec(0x0A, b""))
head, body = bof(5), b""
for name, kind, cells in layout:
    head += boundsheet(pos + len(body), name, kind)
    body += sheet(kind, cells)
open(sys.argv[1], "wb").write(head + rec(0x0A, b"") + body)
PY
}

# Every conformance workbook: raw bytes, UTF-8 text, status and quarantine as expected.
group_conformance() {
    [ -d "$CONFORMANCE" ] || { echo "no conformance workbooks in $CONFORMANCE"; exit 77; }
    # All expected UTF-8 texts in one interpreter start: NAME.txt converted, one newline added.
    mkdir -p "$WORK/utf8"
    "$PYTHON3" -I -S - "$CONFORMANCE" "$WORK/utf8" <<'PY' || fail "reference conversion failed"
import json, pathlib, sys
src, dst = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
for txt in src.glob("*.txt"):
    result = json.loads(txt.with_suffix(".json").read_text())["result"]
    text = txt.read_bytes().decode("cp1251", "replace")
    (dst / txt.name).write_bytes((text + "\n").encode() if result > 0 else b"")
PY
    local xls name json expected_status
    for xls in "$CONFORMANCE"/*.xls; do
        name=${xls##*/}; name=${name%.xls}
        json=$(<"$CONFORMANCE/$name.json")
        [[ $json =~ \"result\":\ *([0-9]+) ]] || { fail "$name.json has no result"; continue; }
        expected_status=$([ "${BASH_REMATCH[1]}" -gt 0 ] && echo 0 || echo 1)
        run --raw "$xls"
        expect_status "$expected_status" "$name --raw"
        cmp -s "$WORK/out" "$CONFORMANCE/$name.txt" || fail "$name: --raw differs from $name.txt"
        run --ansi "$xls"
        expect_status "$expected_status" "$name"
        cmp -s "$WORK/out" "$WORK/utf8/$name.txt" || fail "$name: UTF-8 output differs"
        if [[ $json =~ \"quarantined\":\ *true ]]; then
            run --scandeck "$SCANDECK" "$xls"
            [ -f "$SCANDECK/$name.xls" ] || fail "$name: not copied into $SCANDECK"
        fi
    done
}

# The repository's workbooks: the tool gives exactly what the exports give.
group_repository() {
    local xls found=0
    for xls in "$SOURCE"/tests/data/*.xls "$SOURCE"/examples/*.xls; do
        [ -f "$xls" ] || continue
        found=1
        run --raw "$xls"
        "$DUMP" text "$xls" >"$WORK/expected" 2>/dev/null
        cmp -s "$WORK/out" "$WORK/expected" || fail "$xls: --raw differs from the exports"
        run --ansi "$xls"
        { to_utf8 <"$WORK/expected"; [ -s "$WORK/expected" ] && echo; } >"$WORK/expected.utf8"
        cmp -s "$WORK/out" "$WORK/expected.utf8" || fail "$xls: UTF-8 differs from the exports"
        run --size "$xls"
        [ "$(cat "$WORK/out")" = "$("$DUMP" size "$xls" 2>/dev/null)" ] || fail "$xls: --size differs"
    done
    [ "$found" = 1 ] || { echo "no workbooks in the repository"; exit 77; }
    if [ -f "$SOURCE/examples/sample.xls" ]; then
        run --ansi "$SOURCE/examples/sample.xls"
        grep -qF 'Чай зелёный' "$WORK/out" || fail "sample.xls: a Cyrillic cell is missing from the UTF-8 text"
    fi
}

group_options() {
    local xls=$SOURCE/examples/sample.xls
    run --about
    expect_status 0 "--about"
    [ "$(cat "$WORK/out")" = "xls
$DESCRIPTION_UTF8" ] || fail "--about: $(cat "$WORK/out")"
    run --about --raw
    printf 'xls\n%s\n' "$DESCRIPTION_UTF8" | "$PYTHON3" -I -S -c 'import sys; sys.stdout.buffer.write(sys.stdin.buffer.read().decode().encode("cp1251"))' >"$WORK/expected"
    cmp -s "$WORK/out" "$WORK/expected" || fail "--about --raw is not the Windows-1251 description"
    run --version
    [ "$STATUS" -eq 0 ] && [ "$(cat "$WORK/out")" = "cellsift $CELLSIFT_VERSION" ] || fail "--version: $(cat "$WORK/out")"
    run --help
    expect_status 0 "--help"
    grep -q -- '--scandeck' "$WORK/out" && grep -q -- '--raw' "$WORK/out" || fail "--help lacks --scandeck or --raw"
    # One screen of 24 lines of 80 columns holds the reader's part; the plug-in's follows.
    local cReader
    cReader=$(sed -n "/^The plug-in's text/=" "$WORK/out")
    [ -n "$cReader" ] && [ $((cReader - 2)) -le 24 ] || fail "--help: the reader's part is not one screen (${cReader:-no plug-in part})"
    [ "$(wc -L <"$WORK/out")" -le 80 ] || fail "--help has lines wider than 80 columns"
    [ "$(wc -l <"$WORK/out")" -le 40 ] || fail "--help is $(wc -l <"$WORK/out") lines"
    # The installed man page renders every escape and gives groff nothing to warn about.
    if command -v man >/dev/null; then
        MANWIDTH=80 man --warnings -l "$PREFIX/share/man/man1/cellsift.1.gz" >"$WORK/man" 2>"$WORK/man.err"
        [ ! -s "$WORK/man.err" ] || fail "man --warnings: $(head -3 "$WORK/man.err")"
        grep -qF '\n, \r, \t, \xHH' "$WORK/man" || fail "the man page does not render its escapes: $(grep -F 'xHH' "$WORK/man")"
    else
        fail "man is not installed"
    fi
    for short in -h -V; do
        run "$short"
        expect_status 0 "$short"
        [ -s "$WORK/out" ] || fail "$short printed nothing"
    done
    # The man page and the README follow --help: each names every long option it names, and
    # the README's first block is its list of forms.
    run --help
    local opt
    for opt in $(grep -o -- '--[a-z][a-z-]*' "$WORK/out" | sort -u); do
        grep -qF -- "$(printf '%s' "$opt" | sed 's/-/\\-/g')" "$SOURCE/tools/cellsift.1" || fail "the man page lacks $opt"
        grep -qF -- "\`$opt" "$SOURCE/tools/README.md" || fail "tools/README.md lacks $opt"
    done
    sed -n '/^Usage: /,/^[^ U]/p' "$WORK/out" | sed '$d; s/^Usage: //; s/^ *//' >"$WORK/forms"
    awk '/^```/ { n++; next } n == 1' "$SOURCE/tools/README.md" | cmp -s - "$WORK/forms" ||
        fail "tools/README.md's forms are not those of --help: $(cat "$WORK/forms")"
    # The READMEs' first run is today's: their samples are what the tool prints.
    run "$xls"
    sed -n '/^    Saved by: Calc$/,/^$/p' "$SOURCE/README.md" | sed '$d; s/^    //' | cmp -s - "$WORK/out" ||
        fail "README.md's sample is not the tool's text of sample.xls"
    awk '/^\$ cellsift examples\/sample.xls$/ { f = 1; next } f && /^\.\.\.$/ { exit } f' "$SOURCE/tools/README.md" >"$WORK/sample"
    [ -s "$WORK/sample" ] && head -n "$(wc -l <"$WORK/sample")" "$WORK/out" | cmp -s - "$WORK/sample" ||
        fail "tools/README.md's sample is not how the tool's text of sample.xls starts"

    "$DUMP" text "$xls" >"$WORK/full" 2>/dev/null
    run --raw --capacity 4 "$xls"
    expect_status 0 "--capacity 4"
    [ "$(cat "$WORK/out")" = "$(head -c 4 "$WORK/full")" ] || fail "--capacity 4 gave '$(cat "$WORK/out")'"
    run --capacity 0 "$xls"
    expect_status 1 "--capacity 0"
    [ -s "$WORK/out" ] && fail "--capacity 0 printed text"
    run --raw --capacity 2147483647 "$xls"
    cmp -s "$WORK/out" "$WORK/full" || fail "a capacity above the stream size changes the text"
    for bad in -1 abc 2147483648 ''; do
        run --capacity "$bad" "$xls"
        expect_status 2 "--capacity '$bad'"
    done
}

group_several() {
    local a=$SOURCE/examples/sample.xls b=$SOURCE/tests/data/lo-mixed.xls
    [ -f "$a" ] && [ -f "$b" ] || { echo "sample workbooks missing"; exit 77; }
    run --ansi "$a" "$b"
    expect_status 0 "two files"
    { echo "==> $a <=="; "$TOOL" --ansi "$a"; echo; echo "==> $b <=="; "$TOOL" --ansi "$b"; } >"$WORK/expected" 2>/dev/null
    cmp -s "$WORK/out" "$WORK/expected" || fail "two files: headers or order wrong"
    run --ansi "$a"
    head -n 1 "$WORK/out" | grep -q '^==>' && fail "one file got a header"
    run --size "$a" "$b"
    printf '%s\t%s\n%s\t%s\n' "$("$DUMP" size "$a" 2>/dev/null)" "$a" "$("$DUMP" size "$b" 2>/dev/null)" "$b" >"$WORK/expected"
    cmp -s "$WORK/out" "$WORK/expected" || fail "--size with two files: $(cat "$WORK/out")"
    # A failing file in the middle: the others still print, the status tells.
    run --ansi "$a" "$NOT_XLS" "$b"
    expect_status 1 "good, bad, good"
    grep -qF "==> $b <==" "$WORK/out" || fail "the file after a failed one was skipped"
    expect_err "$NOT_XLS: no text" "good, bad, good"
}

group_status() {
    local a=$SOURCE/examples/sample.xls
    run "$a"
    expect_status 0 "a workbook"
    [ -s "$WORK/err" ] && fail "a workbook with text left stderr output: $(cat "$WORK/err")"
    for mode in --format=text --ansi; do
        run "$mode" "$WORK/missing.xls"
        expect_status 1 "missing file ($mode)"
        expect_err "$WORK/missing.xls: No such file or directory" "missing file ($mode)"
        run "$mode" "$WORK"
        expect_status 1 "a folder as FILE ($mode)"
        expect_err "Is a directory" "a folder as FILE ($mode)"
    done
    # A FIFO is refused at once; waiting for a writer would hang the tool.
    mkfifo "$WORK/fifo.xls"
    for mode in --format=text --ansi; do
        STATUS=0
        timeout 10 "$TOOL" "$mode" "$WORK/fifo.xls" >"$WORK/out" 2>"$WORK/err" || STATUS=$?
        expect_status 1 "a FIFO as FILE ($mode)"
        expect_err "$WORK/fifo.xls: " "a FIFO as FILE ($mode)"
    done
    rm -f "$WORK/fifo.xls"
    # Reasons, one UTF-8 line per failed file, from the log the plug-in keeps privately.
    local encrypted=$CONFORMANCE/poi-encrypted.xls
    run --ansi "$NOT_XLS" "$encrypted"
    expect_status 1 "not a workbook"
    expect_err "$NOT_XLS: no text: The file already exists or is not a compound document; StgOpenStorage" "not a workbook"
    [ -f "$encrypted" ] && expect_err "$encrypted: no text: The workbook is encrypted" "encrypted, --ansi"
    [ "$(grep -c . "$WORK/err")" = 2 ] || fail "not one line per failed file: $(cat "$WORK/err")"
    expect_no_err "OUT_OF_RANGE" "not a workbook"
    expect_no_err "logged to" "no --scandeck"
    [ -e "$SCANDECK" ] || [ -e "$PREFIX/bin/Scandeck" ] && fail "a Scandeck folder was made unasked"
    run --scandeck "$SCANDECK" "$NOT_XLS"
    expect_err "no text: The file already exists or is not a compound document; StgOpenStorage (logged to $SCANDECK/Scandeck.log; copied to $SCANDECK/not-a-workbook.xls)" "--scandeck"
    grep -q BadBeep "$SCANDECK/Scandeck.log" || fail "the log in the named folder lacks BadBeep"
    cmp -s "$NOT_XLS" "$SCANDECK/not-a-workbook.xls" || fail "no quarantine copy in the named folder"
    run -d --scandeck "$SCANDECK" "$NOT_XLS"
    expect_status 1 "-d"
    expect_err "plug-in said: OUT_OF_RANGE в файле" "-d"
    # Logged again, but the copy from the run before stays and none is claimed.
    expect_err "StgOpenStorage (logged to $SCANDECK/Scandeck.log)" "-d, a file already in quarantine"
    run -q --ansi "$NOT_XLS"
    expect_err "$NOT_XLS: no text: " "-q still names a failed file"
    # A name with a line break gives one header and one message line with the plug-in too.
    local broken=$WORK/$'not\n==> a <==\n.xls'
    cp "$NOT_XLS" "$broken"
    run --scandeck "$SCANDECK" "$broken" "$a"
    expect_status 1 "--ansi, a name with line breaks"
    [ "$(grep -c '^==> ' "$WORK/out")" = 2 ] && grep -qxF "==> $WORK/not\n==> a <==\n.xls <==" "$WORK/out" ||
        fail "--ansi, a name with line breaks: $(grep '^==> ' "$WORK/out")"
    [ "$(wc -l <"$WORK/err")" = 1 ] && expect_err "cellsift: $WORK/not\n==> a <==\n.xls: no text: " "--ansi, a name with line breaks" ||
        fail "--ansi, a name with line breaks: $(cat "$WORK/err")"
    expect_err "copied to $SCANDECK/not\n==> a <==\n.xls)" "--ansi, the copy of a name with line breaks"
    rm -f "$broken"
    for args in "--bogus $a" "--ansi - " "--sheet 0 --ansi $a" "--ansi -r $WORK" "-j 0 -r $WORK" "-o $WORK" "--about $a" "-r $WORK -o $WORK/o $a" "--capacity"; do
        # shellcheck disable=SC2086
        run $args
        expect_status 2 "usage: '$args'"
        expect_err "Try 'cellsift --help'" "usage: '$args'"
    done
    run --ansi -
    expect_err "opens documents by path only" "'-'"
    script -qec "\"$TOOL\"" /dev/null </dev/null >"$WORK/out" 2>&1; STATUS=$?
    [ "$STATUS" -eq 2 ] && grep -q "standard input is a terminal" "$WORK/out" || fail "no FILE on a terminal: $(cat "$WORK/out")"
}

# The plug-in finds Scandeck from the first command-line argument; however the tool is
# started, the log lands in the folder named with --scandeck, and nothing elsewhere.
group_host() {
    mkdir -p "$WORK/elsewhere" "$WORK/links"
    ln -s "$TOOL" "$WORK/links/cellsift"
    (cd "$WORK/elsewhere" && PATH="$PREFIX/bin:$PATH" cellsift --scandeck ../named "$NOT_XLS" >/dev/null 2>"$WORK/err")
    grep -qF "$NOT_XLS" "$WORK/named/Scandeck.log" || fail "started through PATH: nothing logged in the named folder"
    (cd "$WORK/elsewhere" && ../links/cellsift --ansi "$NOT_XLS" >/dev/null 2>"$WORK/err")
    [ -e "$WORK/links/Scandeck" ] || [ -e "$WORK/elsewhere/Scandeck" ] || [ -e "$PREFIX/bin/Scandeck" ] &&
        fail "started through a link: a Scandeck folder was made"
    expect_err "no text: The file already exists" "started through a link"
    # The private host folder is gone after every run, whatever the outcome.
    mkdir -p "$WORK/tmp"
    TMPDIR=$WORK/tmp "$TOOL" --scandeck "$SCANDECK" "$NOT_XLS" "$SOURCE/examples/sample.xls" >/dev/null 2>&1
    TMPDIR=$WORK/tmp "$TOOL" --ansi "$NOT_XLS" >/dev/null 2>&1
    [ -z "$(ls -A "$WORK/tmp")" ] || fail "left in the temporary folder: $(ls -A "$WORK/tmp")"
    # Where the named folder cannot be made, the tool says so and stops.
    : >"$WORK/blocked"
    for blocked in "$WORK/blocked/sub" "$WORK/blocked"; do
        run --scandeck "$blocked" "$NOT_XLS"
        expect_status 1 "--scandeck $blocked"
        expect_err "cannot create $blocked: " "--scandeck $blocked"
    done
}

group_tree() {
    local in=$WORK/in out=$WORK/out-tree
    mkdir -p "$in/a" "$in/b/c" "$in/empty"
    cp "$SOURCE/examples/sample.xls" "$in/a/Upper.XLS"
    cp "$SOURCE/tests/data/lo-mixed.xls" "$in/b/c/mixed.xls"
    cp "$SOURCE/tests/data/lo-notes.xls" "$in/top.Xls"
    cp "$NOT_XLS" "$in/b/broken.xls"
    echo "not picked" >"$in/b/notes.txt"
    ln -s .. "$in/b/loop"
    run --ansi -r "$in" -o "$out"
    expect_status 1 "tree with a broken workbook"
    expect_err "$in/b/broken.xls: no text: The file already exists" "tree"
    local rel bytes_in=0 bytes_out=0
    for rel in a/Upper.XLS b/c/mixed.xls top.Xls; do
        "$TOOL" --ansi "$in/$rel" >"$WORK/expected" 2>/dev/null
        cmp -s "$out/$rel.txt" "$WORK/expected" || fail "tree: $rel.txt differs from the single-file output"
    done
    [ -f "$out/b/broken.xls.txt" ] && [ ! -s "$out/b/broken.xls.txt" ] || fail "tree: broken.xls.txt is not an empty file"
    [ -e "$out/b/notes.txt.txt" ] && fail "tree: a .txt file was taken"
    [ -e "$out/b/loop" ] && fail "tree: a link to a folder was followed"
    for rel in a/Upper.XLS b/c/mixed.xls top.Xls b/broken.xls; do
        bytes_in=$((bytes_in + $(stat -c %s "$in/$rel")))
        bytes_out=$((bytes_out + $(stat -c %s "$out/$rel.txt")))
    done
    grep -q "^4 files, $bytes_in bytes in, $bytes_out bytes out, 1 with no text, " "$WORK/out" ||
        fail "tree summary: $(cat "$WORK/out")"
    rm "$in/b/broken.xls"
    run --raw -r "$in/" -o "$out"
    expect_status 0 "tree of good workbooks, --raw"
    "$DUMP" text "$in/top.Xls" 2>/dev/null | cmp -s - "$out/top.Xls.txt" || fail "tree --raw: top.Xls.txt is not the raw text"
    expect_links_not_followed --ansi "$in" "$out" b/c/mixed.xls.txt top.Xls.txt
    run -r "$WORK/no-such-folder" -o "$out"
    expect_status 1 "tree: missing folder"
    expect_err "$WORK/no-such-folder: No such file or directory" "tree: missing folder"
    if [ "$(id -u)" != 0 ]; then
        chmod 000 "$in/b"
        run --ansi -r "$in" -o "$out"
        expect_status 1 "tree: unreadable folder"
        expect_err "cannot read folder $in/b" "tree: unreadable folder"
        chmod 755 "$in/b"
    fi
}

# Links left in OUTDIR (args: the mode, DIR, OUTDIR, a text in a folder, a text at the top):
# a link to a file at a text's place is replaced by the text, never written through, and a
# linked folder is refused for the texts below it, each named on standard error.
expect_links_not_followed() {
    local mode=$1 in=$2 out=$3 deep=$4 top=$5 folder=${4%%/*}
    rm -rf "$out" "$WORK/elsewhere" && mkdir -p "$out" "$WORK/elsewhere"
    echo victim >"$WORK/victim.txt"
    ln -s "$WORK/victim.txt" "$out/$top"
    ln -s "$WORK/elsewhere" "$out/$folder"
    run "$mode" -r "$in" -o "$out"
    expect_status 1 "$mode -o with links"
    [ "$(cat "$WORK/victim.txt")" = victim ] || fail "$mode -o wrote through a link to a file"
    [ -z "$(ls -A "$WORK/elsewhere")" ] || fail "$mode -o wrote through a linked folder: $(ls -A "$WORK/elsewhere")"
    [ -f "$out/$top" ] && [ ! -L "$out/$top" ] && [ -s "$out/$top" ] || fail "$mode -o: $top is not the text"
    expect_err "cannot write $out/$deep: $folder is a symbolic link" "$mode -o with a linked folder"
    [ -z "$(find "$out" -name '.cellsift-*')" ] || fail "$mode -o left temporary files: $(find "$out" -name '.cellsift-*')"
}

# -r DIR -o OUTDIR --format csv (args: DIR holding Sample.XLS and sub/ with a broken.xls,
# OUTDIR): one file per sheet, PATH.xls.SHEET.csv, each as --sheet prints that sheet, none
# for a workbook not read; a folder holds what -o makes of its workbooks as FILE operands,
# whatever -j; the summary counts the bytes of every sheet's file.
expect_csv_per_sheet() {
    local in=$1 out=$2 jobs bytes_out
    for jobs in 1 3; do
        rm -rf "$out.$jobs"
        run -r "$in" -o "$out.$jobs" --format csv -j $jobs
        expect_status 1 "-r -o --format csv -j $jobs"
    done
    bytes_out=$(find "$out.3" -type f -exec cat {} + | wc -c)
    grep -q "^[0-9]* files, [0-9]* bytes in, $bytes_out bytes out, 1 not read, " "$WORK/out" ||
        fail "-r -o --format csv: the summary is not of $bytes_out bytes: $(cat "$WORK/out")"
    diff -r "$out.1" "$out.3" >/dev/null || fail "-r -o --format csv: -j 3 differs from -j 1"
    [ -f "$out.1/Sample.XLS.Товары.csv" ] && [ ! -e "$out.1/Sample.XLS.csv" ] ||
        fail "-r -o --format csv: not one file per sheet: $(ls "$out.1")"
    "$TOOL" --format csv --sheet Notes "$in/Sample.XLS" 2>/dev/null | cmp -s - "$out.1/Sample.XLS.Notes.csv" ||
        fail "-r -o --format csv: Sample.XLS.Notes.csv differs from --sheet Notes"
    [ -z "$(find "$out.1" -name 'broken.xls*')" ] || fail "-r -o --format csv: a workbook not read gave a file"
    rm -rf "$WORK/od-sub"
    run -o "$WORK/od-sub" --format csv "$in"/sub/*.xls
    diff -r "$out.1/sub" "$WORK/od-sub" >/dev/null ||
        fail "-r -o --format csv: sub/ differs from -o with FILE operands: $(diff -r "$out.1/sub" "$WORK/od-sub" | head -3)"
    rm -rf "$out.1" "$out.3"
}

# Sheet names no file name takes, made by hand in a bare workbook stream: made safe, told
# apart by the sheet's number (also from a name that already ends that way), cut at 100
# bytes where a character starts; each file holds its own sheet (the number in A1).
group_sheet_files() {
    mkdir -p "$WORK/names-in/deep"
    "$PYTHON3" -I -S - "$WORK/names-in/deep/names.xls" <<'PY' || fail "names.xls: generator"
import struct, sys
def rec(kind, data): return struct.pack("<HH", kind, len(data)) + data
def bof(kind): return rec(0x809, struct.pack("<HHHHII", 0x600, kind, 0, 1997, 0, 0x600))
def sheet(i): return bof(0x10) + rec(0x203, struct.pack("<HHHd", 0, 0, 0, i + 1)) + rec(0x0A, b"")
def boundsheet(pos, name): return rec(0x85, struct.pack("<IBBBB", pos, 0, 0, len(name), 1) + name.encode("utf-16-le"))
names = ["a/b", "a:b", "a_b~1", "..", "a" + "ж" * 60, "t\tab", "q?*<>|\"\\"]
pos = len(bof(5)) + sum(len(boundsheet(0, n)) for n in names) + len(rec(0x0A, b""))
globals_ = bof(5)
for i, name in enumerate(names):
    globals_ += boundsheet(pos, name)
    pos += len(sheet(i))
open(sys.argv[1], "wb").write(globals_ + rec(0x0A, b"") + b"".join(sheet(i) for i in range(len(names))))
PY
    local out=$WORK/names-out name value
    run -r "$WORK/names-in" -o "$out" --format csv
    expect_status 0 "sheet names as file names"
    [ "$(find "$out" -type f | wc -l)" = 7 ] || fail "sheet names as file names: $(find "$out" -type f)"
    while IFS='|' read -r name value; do
        [ "$(cat "$out/deep/names.xls.$name.csv" 2>/dev/null)" = "$(printf '%s\r' "$value")" ] ||
            fail "sheet names as file names: names.xls.$name.csv does not hold sheet $value"
    done <<CASES
a_b|1
a_b~1|2
a_b~1~2|3
_|4
a$(printf 'ж%.0s' $(seq 49))|5
t_ab|6
q_______|7
CASES
    # Sheets whose folder is a file: each named once, after the workbook was read to its end.
    rm -rf "$out" && mkdir -p "$out" && : >"$out/deep"
    run -r "$WORK/names-in" -o "$out" --format csv
    expect_status 1 "sheet files with a file in the way"
    [ "$(grep -c "^cellsift: cannot write $out/deep/names.xls\..*\.csv: " "$WORK/err")" = 7 ] ||
        fail "sheet files with a file in the way: $(cat "$WORK/err")"
    grep -q "^1 files, .* 0 bytes out, 0 not read, " "$WORK/out" || fail "sheet files with a file in the way: $(cat "$WORK/out")"
    expect_names_run_wide
}

# Which sheet --sheet prints, and what a workbook printed whole gives in CSV. Sheets named
# "Dup" twice, "Ab" and "ab", a Greek name, an empty worksheet and a chart sheet, each with
# its number in A1; the first also with a NUL and form feeds in its text cells.
group_selection() {
    local book=$WORK/sel.xls extras=$SOURCE/tests/workbook/extras/gen-extras.xls args want format
    make_book "$book" '[["Dup", "w", [1, "nul\u0000here", "\f", "a\fb"]], ["Dup", "w", [2]], ["Ab", "w", [3]],
        ["ab", "w", [4]], ["ΣΊΣΥΦΟΣ", "w", [5]], ["Empty", "w", []], ["Graph", "c", []]]'
    # One sheet: the first of its name; a name no sheet has exactly in any letter case, as
    # spreadsheet programs match sheet names.
    while IFS='|' read -r args want; do
        # shellcheck disable=SC2086
        run --format csv $args "$book"
        expect_status 0 "$args"
        [ "$(head -1 "$WORK/out" | cut -d, -f1 | tr -d '\r')" = "$want" ] && [ "$(wc -l <"$WORK/out")" = 1 ] ||
            fail "$args: not sheet $want alone: $(head -c 200 "$WORK/out" | od -c | head -3)"
    done <<'CASES'
--sheet Dup|1
--sheet-name dup|1
--sheet ab|4
--sheet AB|3
--sheet σίσυφος|5
--sheet 1|2
CASES
    # A workbook that fails prints nothing, not even the properties that come before its sheets.
    for format in text csv jsonl html; do
        run --format $format --sheet nope "$extras"
        expect_status 1 "--sheet nope --format $format"
        expect_err "no sheet named or numbered 'nope'" "--sheet nope --format $format"
        [ -s "$WORK/out" ] && fail "--sheet nope --format $format printed: $(head -c 200 "$WORK/out")"
    done
    # Every sheet as CSV: tables parted by a line holding a form feed alone, so they can be
    # split again; a cell's form feed is quoted, its NUL a space; the chart sheet's table is empty.
    run --format csv "$book"
    expect_status 0 "csv of every sheet"
    "$PYTHON3" -I -S - "$WORK/out" <<'PY' || fail "csv of every sheet: the tables cannot be split again"
import csv, io, re, sys
data = open(sys.argv[1], "rb").read()
assert b"\0" not in data
tables = [list(csv.reader(io.StringIO(part.decode(), newline=""))) for part in re.split(rb"(?m)^\x0c\r\n", data)]
assert tables == [[["1", "nul here", "\f", "a\fb"]], [["2"]], [["3"]], [["4"]], [["5"]], [], []], tables
PY
    run --format csv --sheet 0 "$book"
    grep -q $'^\f\r$' "$WORK/out" && fail "csv of one sheet has a sheet separator"
    # -o: a file per worksheet, an empty one for the empty sheet, none for the chart sheet;
    # names equal but for letter case are told apart by the sheet's number.
    rm -rf "$WORK/sel-out"
    run -o "$WORK/sel-out" --format csv "$book"
    expect_status 0 "-o --format csv"
    while IFS='|' read -r name value; do
        [ "$(cut -d, -f1 "$WORK/sel-out/sel.xls.$name.csv" 2>/dev/null | tr -d '\r')" = "$value" ] ||
            fail "-o --format csv: sel.xls.$name.csv does not hold sheet $value: $(ls "$WORK/sel-out")"
    done <<'CASES'
Dup|1
Dup~1|2
Ab|3
ab~3|4
ΣΊΣΥΦΟΣ|5
CASES
    [ -f "$WORK/sel-out/sel.xls.Empty.csv" ] && [ ! -s "$WORK/sel-out/sel.xls.Empty.csv" ] ||
        fail "-o --format csv: the empty sheet has no empty file"
    [ "$(ls "$WORK/sel-out" | wc -l)" = 6 ] || fail "-o --format csv: not 6 files: $(ls "$WORK/sel-out")"
}

# Formulas, names and links: every form shows what the formula bar would, --formulas in place
# of values; a sheet asked for keeps the workbook's names and its own, not other sheets'.
group_formulas() {
    local book=$CONFORMANCE/poi-sheets-formulas.xls gnumeric=$CONFORMANCE/gnumeric-biff8-text.xls format
    run "$book"
    expect_status 0 "text"
    grep -qx 'Name: DEFINED_NAME_NOT_TEXT =Январь!$B$2:$B$6' "$WORK/out" || fail "text: no name line"
    grep -qx $'\t37.5' "$WORK/out" && ! grep -q '=SUM' "$WORK/out" || fail "text: not the cached values"
    run --formulas "$book"
    grep -qx $'\t=SUM(B2:B6)' "$WORK/out" && ! grep -qx $'\t37.5' "$WORK/out" || fail "--formulas: no formula"
    grep -qx $'\t12.5' "$WORK/out" || fail "--formulas: a constant lost its value"
    run --formulas --format csv --sheet 0 "$book"
    grep -qx ',"=IF(B7>3,""FORMULA-TRUE"",""FORMULA-FALSE"")"'$'\r' "$WORK/out" || fail "csv --formulas: $(head -c 300 "$WORK/out")"
    # The structured forms carry the formula beside the value, asked for or not.
    run --format html "$book"
    grep -qF '<td data-formula="=SUM(B2:B6)">37.5</td>' "$WORK/out" || fail "html: no data-formula"
    run --formulas --format html "$book"
    grep -qF '<td data-value="37.5">=SUM(B2:B6)</td>' "$WORK/out" || fail "html --formulas: not the formula shown"
    run --format jsonl "$book"
    grep -qF '"value":37.5,"shown":"37.5","formula":"=SUM(B2:B6)"}' "$WORK/out" || fail "jsonl: no formula key"
    grep -qF '{"type":"name","name":"DEFINED_NAME_NOT_TEXT","sheet":null,"hidden":false,"built_in":false,"formula":"=Январь!$B$2:$B$6"}' \
        "$WORK/out" || fail "jsonl: no name line"
    for format in text jsonl html; do
        run --format $format --sheet 1 "$gnumeric"
        [ "$(grep -c 'Sheet_Title' "$WORK/out")" = 1 ] || fail "--sheet 1 --format $format: not its own name alone"
    done
    run --formulas --ansi "$book"
    expect_status 2 "--formulas --ansi"
    expect_err "formulas and --locale read the workbook itself" "--formulas --ansi"
}

# --locale: every written form shows the locale's numbers and dates; stored values, the
# default and the plug-in's text do not move.
group_locale() {
    local book=$SOURCE/examples/sample.xls format
    run "$book"
    grep -qx $'Чай зелёный\t149.9\t3/1/2024' "$WORK/out" || fail "default: not en-US: $(sed -n 4p "$WORK/out")"
    run --locale ru-RU "$book"
    expect_status 0 "--locale ru-RU"
    grep -qx $'Чай зелёный\t149,9\t01.03.2024' "$WORK/out" || fail "ru-RU text: $(sed -n 4p "$WORK/out")"
    run --locale de_DE.UTF-8 --format csv --sheet 0 "$book"
    grep -qx 'Чай зелёный,"149,9",01.03.2024'$'\r' "$WORK/out" || fail "de-DE csv: $(sed -n 2p "$WORK/out")"
    run --locale fr-FR --format html "$book"
    grep -qF '<td data-value="149.9">149,9</td>' "$WORK/out" || fail "fr-FR html: $(grep -m1 149 "$WORK/out")"
    run --locale ja-JP --format jsonl "$book"
    grep -qF '"value":"2024-03-01","shown":"2024/03/01"' "$WORK/out" || fail "ja-JP jsonl: $(grep -m1 2024-03 "$WORK/out")"
    for format in text csv html; do
        run --values raw --format $format "$book"
        cp "$WORK/out" "$WORK/raw"
        run --values raw --locale ru-RU --format $format "$book"
        cmp -s "$WORK/out" "$WORK/raw" || fail "--values raw --format $format moved with the locale"
    done
    LANG=ru_RU.UTF-8 LC_ALL= LC_NUMERIC= LC_TIME= run --locale auto "$book"
    grep -qx $'Чай зелёный\t149,9\t01.03.2024' "$WORK/out" || fail "auto with LANG=ru_RU: $(sed -n 4p "$WORK/out")"
    run --locale xx-YY "$book"
    expect_status 2 "--locale xx-YY"
    expect_err "unknown locale 'xx-YY'" "--locale xx-YY"
    run --locale ru-RU --ansi "$book"
    expect_status 2 "--locale --ansi"
    # A batch under several threads writes what one thread writes.
    mkdir -p "$WORK/tree" && cp "$book" "$CONFORMANCE"/*.xls "$WORK/tree/" 2>/dev/null
    run --locale de-DE -j 1 -r "$WORK/tree"
    cp "$WORK/out" "$WORK/one"
    run --locale de-DE -j 2 -r "$WORK/tree"
    cmp -s "$WORK/out" "$WORK/one" || fail "--locale de-DE: -j 2 wrote otherwise than -j 1"
}

group_macros() {
    local book=$SOURCE/tests/vba/data/macros.xls
    run "$book"
    expect_status 0 "macros.xls"
    grep -qx 'Macro Module1:' "$WORK/out" || fail "text: no 'Macro Module1:' line"
    grep -qx '    MsgBox "Привет, budget.xls"' "$WORK/out" || fail "text: the code is not there, decoded by its code page"
    grep -q $'\r' "$WORK/out" && fail "text: a CR of the stored line ends is left in"
    run --no-macros "$book"
    grep -q '^Macro ' "$WORK/out" && fail "--no-macros: a module is written"
    run --format jsonl "$book"
    [ "$(grep -c '"type":"vba"' "$WORK/out")" = 4 ] || fail "jsonl: not 4 vba lines"
    grep -qF '{"type":"vba","module":"UserForm1","kind":"form","code":"Attribute VB_Name = \"UserForm1\"\r\n' "$WORK/out" ||
        fail "jsonl: the form module: $(grep -m1 UserForm1 "$WORK/out")"
    run --format jsonl --no-macros "$book"
    grep -q '"type":"vba"' "$WORK/out" && fail "jsonl --no-macros: a module is written"
    grep -qF '"macros":true' "$WORK/out" || fail "jsonl --no-macros: the workbook is not marked as having macros"
    run --format html "$book"
    grep -qF '<h2>Macro Class1</h2>' "$WORK/out" || fail "html: no section for Class1"
    run --no-macros --ansi "$book"
    expect_status 2 "--no-macros --ansi"
}

group_embedded() {
    local book=$SOURCE/tests/workbook/embedded/embedded.xls
    run "$book"
    expect_status 0 "embedded.xls"
    grep -qx 'Embedded MBD00000001 (Test Worksheet): Inner budget' "$WORK/out" || fail "text: no line for the workbook"
    [ "$(sed -n '/^Embedded MBD00000001 /,$p' "$WORK/out" | sed -n 3,4p | tr '\n' ' ')" = "Sheet: Inner 42 " ] ||
        fail "text: the embedded workbook's cells do not follow its line"
    run --no-embedded "$book"
    grep -q '^Embedded ' "$WORK/out" && fail "--no-embedded: an object is written"
    run --sheet 0 "$book"
    grep -q '^Embedded ' "$WORK/out" && fail "--sheet 0: an object is written"
    run --format jsonl "$book"
    grep -qF '{"embedded":"MBD00000001","type":"cell","sheet":0,"row":0,"col":0,"kind":"number","value":42' "$WORK/out" ||
        fail "jsonl: the embedded cell: $(grep -m1 '"value":42' "$WORK/out")"
    grep -qF '{"embedded":"MBD00000001","type":"embedded","path":"MBD00000001/MBD00000002"' "$WORK/out" ||
        fail "jsonl: the package inside the embedded workbook"
    run --format html "$book"
    [ "$(grep -c '<!DOCTYPE' "$WORK/out")" = 1 ] || fail "html: not one document"
    grep -qF '<h2>Embedded ObjectPool/_1234567890 (Test Document): Minutes</h2>' "$WORK/out" || fail "html: no heading"
    run --format csv "$book"
    grep -q 42 "$WORK/out" && fail "csv: the embedded workbook's cells are written"
    run --no-embedded --raw "$book"
    expect_status 2 "--no-embedded --raw"
}

# Outputs below OUTDIR that would have one name, in any letter case: across workbooks of a
# tree (a.xls's sheet 'b.xls.S' and a.xls.b.xls's sheet 'S'), and FILE operands of one base
# name ('-' and ./stdin among them). The later in the run's order is numbered and named on
# standard error, the same whatever -j; nothing the run wrote is replaced.
expect_names_run_wide() {
    local in=$WORK/clash out=$WORK/clash-out jobs i
    mkdir -p "$in" "$WORK/x/a" "$WORK/x/b"
    make_book "$in/a.xls" '[["b.xls.S", "w", [1]]]'
    make_book "$in/a.xls.b.xls" '[["S", "w", [2]], ["s", "w", [3]]]'
    for i in 1 2 3 4 5 6; do
        jobs=$((i == 1 ? 1 : 2))
        rm -rf "$out.$i"
        run -q -r "$in" -o "$out.$i" --format csv -j $jobs
        expect_status 0 "one name from two workbooks, -j $jobs"
        diff -r "$out.1" "$out.$i" >/dev/null || fail "one name from two workbooks: run $i (-j $jobs) differs from -j 1"
    done
    while IFS='|' read -r name value; do
        [ "$(cat "$out.1/$name" 2>/dev/null)" = "$(printf '%s\r' "$value")" ] ||
            fail "one name from two workbooks: $name does not hold $value: $(ls "$out.1")"
    done <<'CASES'
a.xls.b.xls.S.csv|1
a.xls.b.xls.S~2.csv|2
a.xls.b.xls.s~1.csv|3
CASES
    [ "$(ls "$out.1" | wc -l)" = 3 ] || fail "one name from two workbooks: $(ls "$out.1")"
    expect_err "cellsift: $in/a.xls.b.xls: $out.6/a.xls.b.xls.S.csv is an earlier output of this run; this one is $out.6/a.xls.b.xls.S~2.csv" \
        "one name from two workbooks"
    cp "$SOURCE/examples/sample.xls" "$WORK/x/a/x.xls"
    cp "$SOURCE/tests/data/lo-mixed.xls" "$WORK/x/b/X.XLS"
    cp "$SOURCE/tests/data/lo-notes.xls" "$WORK/x/stdin"
    for jobs in 1 2; do
        rm -rf "$out"
        (cd "$WORK/x" && "$TOOL" -o "$out" -j $jobs a/x.xls b/X.XLS - ./stdin <a/x.xls >"$WORK/out" 2>"$WORK/err")
        [ $? = 0 ] || fail "FILE operands of one name, -j $jobs: $(cat "$WORK/err")"
        [ "$(grep -c 'is an earlier output of this run' "$WORK/err")" = 2 ] || fail "FILE operands of one name: $(cat "$WORK/err")"
        while IFS='|' read -r name source; do
            "$TOOL" "$WORK/x/$source" 2>/dev/null | cmp -s - "$out/$name" || fail "FILE operands of one name, -j $jobs: $name is not $source's"
        done <<'CASES'
x.xls.txt|a/x.xls
X.XLS~2.txt|b/X.XLS
stdin.txt|a/x.xls
stdin~2.txt|stdin
CASES
    done
}

# A folder read by the workbook reader: any number of workers gives the output of one, in the
# same order, to standard output or into a mirror tree with the format's extension.
group_batch() {
    local in=$WORK/in out=$WORK/out-tree rel
    mkdir -p "$in/sub"
    cp "$SOURCE"/tests/workbook/data/*.xls "$in/sub/"
    cp "$SOURCE/examples/sample.xls" "$in/Sample.XLS"
    cp "$NOT_XLS" "$in/sub/broken.xls"
    for jobs in 1 2 5; do
        run -r "$in" -j $jobs
        expect_status 1 "-r -j $jobs with a broken workbook"
        mv "$WORK/out" "$WORK/out.$jobs"
        grep -v ' s$' "$WORK/err" >"$WORK/err.$jobs"
    done
    for jobs in 2 5; do
        cmp -s "$WORK/out.1" "$WORK/out.$jobs" || fail "-j $jobs: standard output differs from -j 1"
        cmp -s "$WORK/err.1" "$WORK/err.$jobs" || fail "-j $jobs: messages differ from -j 1"
    done
    [ "$(grep -c '^==> ' "$WORK/out.1")" = "$(find "$in" -name '*.xls' -o -name '*.XLS' | wc -l)" ] || fail "-r: not one header per workbook"
    head -n 1 "$WORK/out.1" | grep -qxF "==> $in/Sample.XLS <==" || fail "-r: the first header is $(head -n 1 "$WORK/out.1")"
    "$TOOL" "$SOURCE/examples/sample.xls" >"$WORK/single"
    sed -n '2,/^$/p' "$WORK/out.1" | sed '$d' | cmp -s - "$WORK/single" || fail "-r: a workbook's text differs from the single-file output"
    grep -qF "$in/sub/broken.xls: not an .xls workbook" "$WORK/err.1" || fail "-r: the broken workbook is not named"
    grep -q '^[0-9]* files, .* 1 not read' "$WORK/err" || fail "-r: no summary: $(cat "$WORK/err")"
    for format in text jsonl; do
        rm -rf "$out"
        run -r "$in" -o "$out" --format $format -j 2
        expect_status 1 "-r -o --format $format"
        local ext=${format/text/txt}
        for rel in Sample.XLS sub/gen-edges.xls; do
            "$TOOL" --format $format "$in/$rel" >"$WORK/expected" 2>/dev/null
            cmp -s "$out/$rel.$ext" "$WORK/expected" || fail "-o --format $format: $rel.$ext differs from the single-file output"
        done
    done
    expect_csv_per_sheet "$in" "$out"
    # A text that cannot be written is named, and the others still are.
    rm -rf "$out" && mkdir -p "$out" && : >"$out/sub"
    run -r "$in" -o "$out" -j 2
    expect_status 1 "-o with a file in the way"
    expect_err "cannot write $out/sub/gen-edges.xls.txt" "-o with a file in the way"
    [ -s "$out/Sample.XLS.txt" ] || fail "-o with a file in the way: the other texts are missing"
    run -q -r "$in"
    [ "$(cat "$WORK/err")" = "cellsift: $in/sub/broken.xls: not an .xls workbook: it looks like plain text, such as CSV" ] ||
        fail "-q -r: $(cat "$WORK/err")"
    expect_links_not_followed --format=text "$in" "$out" sub/gen-edges.xls.txt Sample.XLS.txt
    expect_walk_order
}

# The walk hands files over folder by folder, yet in the order of their whole paths' bytes
# ('-' < '.' < '/'), and names a folder it cannot read (even root cannot open one whose path
# is longer than the system allows) in the place its files would have had, whatever -j is.
expect_walk_order() {
    local in=$WORK/walk long i
    mkdir -p "$in/a" "$in/a-b" "$in/m/deep"
    for rel in a.xls a/b.xls a-b/c.xls m/d.xls z.xls; do cp "$SOURCE/examples/sample.xls" "$in/$rel"; done
    long=$(printf 'd%.0s' $(seq 250))
    (cd "$in/m/deep" && for i in $(seq 17); do mkdir "$long" && cd "$long" || exit 1; done && : >deepest.xls) ||
        fail "walk: cannot make the deep folders"
    for jobs in 1 2; do
        "$TOOL" -q -r "$in" -j $jobs >"$WORK/walk.$jobs" 2>&1
        [ $? = 1 ] || fail "walk -j $jobs: an unreadable folder does not fail the run"
    done
    cmp -s "$WORK/walk.1" "$WORK/walk.2" || fail "walk: -j 2 differs from -j 1"
    grep -E '^==> |cannot read folder' "$WORK/walk.1" | sed -e "s|$in/||" -e 's|: File name too long$||' \
        -e 's|\(cannot read folder \).*\(/d*\)$|\1...|' >"$WORK/walk.order"
    printf '%s\n' '==> a-b/c.xls <==' '==> a.xls <==' '==> a/b.xls <==' '==> m/d.xls <==' \
        'cellsift: cannot read folder ...' '==> z.xls <==' | cmp -s - "$WORK/walk.order" ||
        fail "walk: order $(tr '\n' '|' <"$WORK/walk.order")"
    rm -rf "$in"
}

# The tool as a desktop search engine's filter for .xls: Debian's recoll indexes a folder of
# workbooks through it and finds words that stand only in a comment, a text box, a number
# cell, an accented Latin word and CJK text (recoll cuts CJK runs into bigrams). Then the
# HTML filter the package ships: recoll's author: and title: fields hold the document's
# properties, and the cells are found as they are shown, not as stored.
group_recoll() {
    command -v recollindex >/dev/null && command -v recollq >/dev/null || { echo "no recoll"; exit 77; }
    local conf=$WORK/recoll docs=$WORK/docs word
    mkdir -p "$conf" "$docs/sub"
    cp "$SOURCE/examples/sample.xls" "$docs/"
    cp "$SOURCE"/tests/workbook/data/gen-edges.xls "$SOURCE"/tests/workbook/data/gen-biff7-cp1251.xls "$docs/sub/"
    echo "topdirs = $docs" >"$conf/recoll.conf"
    printf '[index]\napplication/vnd.ms-excel = exec %s;mimetype=text/plain;charset=UTF-8\n' "$TOOL" >"$conf/mimeconf"
    HOME=$WORK timeout 100 recollindex -c "$conf" >"$WORK/recollindex.log" 2>&1 || { fail "recollindex: $(tail -5 "$WORK/recollindex.log")"; return; }
    for word in поставщика roubles 149.9 brûlée brulee München 東京 緑茶; do
        HOME=$WORK recollq -c "$conf" -b "$word" 2>/dev/null >"$WORK/found"
        grep -qxF "file://$docs/sample.xls" "$WORK/found" || fail "recoll does not find '$word' in sample.xls: $(cat "$WORK/found")"
    done
    HOME=$WORK recollq -c "$conf" -b quotes 2>/dev/null >"$WORK/found"
    grep -qxF "file://$docs/sub/gen-edges.xls" "$WORK/found" || fail "recoll does not find a word of gen-edges.xls: $(cat "$WORK/found")"
    HOME=$WORK recollq -c "$conf" -b zanzibarish 2>/dev/null >"$WORK/found"
    [ -s "$WORK/found" ] && fail "recoll finds a word in no workbook: $(cat "$WORK/found")"

    cp "$SOURCE"/tests/workbook/extras/gen-extras.xls "$SOURCE"/tests/workbook/extras/lo-extras.xls \
       "$SOURCE"/tests/numformat/cases/cases-1900.xls "$docs/sub/"
    cp "$PREFIX/share/doc/cellsift/examples/recoll/mimeconf" "$conf/mimeconf" || { fail "no recoll example installed"; return; }
    PATH=$PREFIX/bin:$PATH HOME=$WORK timeout 100 recollindex -z -c "$conf" >"$WORK/recollindex.log" 2>&1 ||
        { fail "recollindex (HTML): $(tail -5 "$WORK/recollindex.log")"; return; }
    local query want
    for query in "author:EKER=gen-extras.xls" "title:Carrefour=gen-extras.xls" "author:Zoë=lo-extras.xls" \
                 "title:Obstverkauf=lo-extras.xls" "Quarterly=gen-extras.xls" "Thingy=gen-extras.xls" \
                 "поставщика=sample.xls" "3/15/2024=sample.xls" "267.5%=cases-1900.xls" \
                 "45,000.75=cases-1900.xls" "\$5,551,234.00=cases-1900.xls"; do
        want=${query#*=}
        HOME=$WORK recollq -c "$conf" -b "${query%%=*}" 2>/dev/null >"$WORK/found"
        grep -q "/$want\$" "$WORK/found" || fail "recoll (HTML) does not find '${query%%=*}' in $want: $(cat "$WORK/found")"
        [ "$(wc -l <"$WORK/found")" = 1 ] || fail "recoll (HTML) finds '${query%%=*}' in more than $want: $(cat "$WORK/found")"
    done
    HOME=$WORK recollq -c "$conf" -b author:Carrefour 2>/dev/null >"$WORK/found"
    [ -s "$WORK/found" ] && fail "recoll finds a title in the author field: $(cat "$WORK/found")"
    return 0
}

# The default output: the workbook reader's text, CSV and JSON lines, and its errors.
group_reader() {
    local sample=$SOURCE/examples/sample.xls
    run "$sample"
    expect_status 0 "reader text"
    grep -qx 'Sheet: Товары' "$WORK/out" || fail "reader text: no sheet line"
    grep -qxF "$(printf 'Чай зелёный\t149.9\t3/1/2024')" "$WORK/out" || fail "reader text: no row of tab-separated cells"
    grep -q '^Comment A2 (Мария): ' "$WORK/out" || fail "reader text: no comment line"
    # The text outside the cells, and the options that leave it out.
    local extras=$SOURCE/tests/workbook/extras/gen-extras.xls
    run "$extras"
    expect_status 0 "reader extras"
    [ "$(head -3 "$WORK/out")" = "$(printf 'Title: Carrefour\nAuthor: SIRRI EKER\nSaved by: Saver Person')" ] ||
        fail "reader extras: the text starts $(head -3 "$WORK/out")"
    grep -qx 'Header: Quarterly & Annual Printed \[date\] \[time\]' "$WORK/out" || fail "reader extras: no header"
    run --no-notes --no-properties "$extras"
    expect_status 0 "--no-notes --no-properties"
    head -1 "$WORK/out" | grep -q '^Sheet: ' || fail "--no-properties: the text starts $(head -1 "$WORK/out")"
    grep -q '^Header\|^Chart' "$WORK/out" && fail "--no-notes: headers or charts are left in"
    grep -qx 'Link A1: http://poi.apache.org/ (Home page)' "$WORK/out" || fail "--no-notes: the links went too"
    # Who saved it goes with the properties, in every form.
    for format in text jsonl html; do
        run --no-properties --format $format "$extras"
        expect_status 0 "--no-properties --format $format"
        grep -q 'Saver Person\|SIRRI EKER\|Carrefour' "$WORK/out" && fail "--no-properties --format $format kept a property"
    done
    run --format html "$extras"
    expect_status 0 "--format html"
    [ "$(head -1 "$WORK/out")" = "<!DOCTYPE html>" ] && [ "$(tail -1 "$WORK/out")" = "</html>" ] ||
        fail "--format html: not one document"
    grep -qx '<meta name="author" content="SIRRI EKER">' "$WORK/out" || fail "--format html: no author"
    run --format html "$sample"
    grep -qF '<td>149.9</td><td data-value="2024-03-01">3/1/2024</td>' "$WORK/out" || fail "--format html: no shown date"
    run --format html --values raw "$sample"
    grep -qF '<td>149.9</td><td>2024-03-01</td>' "$WORK/out" && ! grep -q 'data-value' "$WORK/out" ||
        fail "--format html --values raw: not the stored values alone"
    run --ansi --no-properties "$extras"
    expect_status 2 "--ansi --no-properties"
    run --values raw "$sample"
    grep -qxF "$(printf 'Чай зелёный\t149.9\t2024-03-01')" "$WORK/out" || fail "reader text, --values raw: no row of stored values"
    run --values exact "$sample"
    expect_status 2 "--values exact"
    run - <"$sample"
    cp "$WORK/out" "$WORK/from-stdin"
    cat "$sample" | run -
    cp "$WORK/out" "$WORK/from-pipe"
    run "$sample"
    cmp -s "$WORK/out" "$WORK/from-stdin" || fail "standard input reads differently from the path"
    cmp -s "$WORK/out" "$WORK/from-pipe" || fail "a pipe reads differently from the path"
    run --format csv --values raw "$sample"
    expect_status 0 "csv"
    grep -qxF "$(printf 'Чай зелёный,149.9,2024-03-01\r')" "$WORK/out" || fail "csv: no row"
    run --format csv "$sample"
    grep -qxF "$(printf 'Чай зелёный,149.9,3/1/2024\r')" "$WORK/out" || fail "csv: no row of shown values"
    run --format jsonl "$sample" "$SOURCE/tests/data/lo-notes.xls"
    expect_status 0 "jsonl"
    "$PYTHON3" -I -S -c '
import json, sys
objs = [json.loads(line) for line in open(sys.argv[1], encoding="utf-8")]
kinds = {o["type"] for o in objs}
assert {"workbook", "sheet", "cell", "comment", "textbox"} <= kinds, kinds
assert sum(o["type"] == "workbook" for o in objs) == 2
cells = [o for o in objs if o["type"] == "cell"]
assert any(o["kind"] == "number" and o["value"] == 149.9 for o in cells)
assert all(set(o) >= {"sheet", "row", "col", "kind", "value", "shown"} for o in cells)
assert any(o["kind"] == "date" and o["value"] == "2024-03-01" and o["shown"] == "3/1/2024" and
           o["format"] == "m/d/yyyy" for o in cells)
' "$WORK/out" || fail "jsonl: not the objects expected"
    # Quotes, tabs, line breaks and characters beyond the BMP come back out of CSV and JSON
    # as they went in, and the text form keeps each row on one line.
    local edges=$SOURCE/tests/workbook/data/gen-edges.xls
    run --format csv "$edges"
    cp "$WORK/out" "$WORK/edges.csv"
    run --format jsonl "$edges"
    cp "$WORK/out" "$WORK/edges.jsonl"
    run "$edges"
    "$PYTHON3" -I -S - "$WORK/edges.csv" "$WORK/edges.jsonl" "$WORK/out" <<'PY' || fail "CSV, JSON or text of gen-edges.xls"
import csv, json, sys
tricky = 'tab\tand\nnewline, "quotes"'
rows = list(csv.reader(open(sys.argv[1], encoding="utf-8", newline="")))
assert rows[0] == ["emoji \U0001F600 and \U0001D11E", "", tricky], rows[0]
assert rows[2] == ["", "", "", "1", "2", "3"], rows[2]
cells = [json.loads(line) for line in open(sys.argv[2], encoding="utf-8")]
values = {(c["row"], c["col"]): c["value"] for c in cells if c["type"] == "cell" and c["sheet"] == 0}
assert values[(0, 2)] == tricky and values[(1, 0)] == -7 and values[(1, 1)] == 123.45, values
text = open(sys.argv[3], encoding="utf-8").read().splitlines()
assert 'tab and newline, "quotes"' in text[2], text[2]
PY
    local encrypted=$CONFORMANCE/poi-encrypted.xls
    if [ -f "$encrypted" ]; then
        run "$encrypted"
        expect_status 1 "encrypted"
        expect_err "encrypted" "encrypted"
        [ -s "$WORK/out" ] && fail "encrypted: printed something"
    fi
    # Encrypted copies of a workbook of ours (tests/decrypt's generator): the default password
    # needs none; another is given on the command line or in a file, and is needed.
    local plain=$SOURCE/tests/data/lo-mixed.xls scheme copy
    run "$plain"
    cp "$WORK/out" "$WORK/plain.txt"
    printf 'p\xc3\xa4ss w\xc3\xb6rd\r\n' >"$WORK/password"
    for scheme in xor rc4 cryptoapi40 cryptoapi128; do
        copy=$WORK/default-$scheme.xls
        "$CELLSIFT_ENCRYPT" $scheme VelvetSweatshop "$plain" "$copy" || fail "$scheme: generator"
        run "$copy"
        expect_status 0 "$scheme, default password"
        cmp -s "$WORK/out" "$WORK/plain.txt" || fail "$scheme, default password: not the plain text"
        copy=$WORK/password-$scheme.xls
        "$CELLSIFT_ENCRYPT" $scheme "$(head -n 1 "$WORK/password" | tr -d '\r')" "$plain" "$copy" || fail "$scheme: generator"
        run "$copy"
        expect_status 1 "$scheme, no password"
        expect_err "cellsift: $copy: encrypted: a password is needed (--password)" "$scheme, no password"
        [ -s "$WORK/out" ] && fail "$scheme, no password: printed something"
        run --password wrong "$copy"
        expect_status 1 "$scheme, wrong password"
        expect_err "cellsift: $copy: encrypted: the password is wrong" "$scheme, wrong password"
        [ -s "$WORK/out" ] && fail "$scheme, wrong password: printed something"
        run --password "$(head -n 1 "$WORK/password" | tr -d '\r')" "$copy"
        expect_status 0 "$scheme, --password"
        cmp -s "$WORK/out" "$WORK/plain.txt" || fail "$scheme, --password: not the plain text"
        run --format csv --password-file "$WORK/password" "$copy"
        expect_status 0 "$scheme, --password-file"
        "$TOOL" --format csv --password-file - "$copy" <"$WORK/password" >"$WORK/out2" 2>"$WORK/err"
        cmp -s "$WORK/out" "$WORK/out2" || fail "$scheme, --password-file -: not the same"
    done
    # Without its password a workbook's properties, stored in the clear, still reach the forms
    # an indexer reads (JSON lines and HTML) beside the error; text and CSV print nothing.
    copy=$WORK/properties-rc4.xls
    "$CELLSIFT_ENCRYPT" rc4 secret "$SOURCE/tests/workbook/extras/gen-extras.xls" "$copy" || fail "properties: generator"
    run --format jsonl "$copy"
    expect_status 1 "properties, jsonl"
    expect_err "cellsift: $copy: encrypted: a password is needed (--password)" "properties, jsonl"
    [ "$(head -n 1 "$WORK/out")" = '{"type":"error","message":"encrypted: a password is needed (--password)","needs_password":true,"file":"'"$copy"'"}' ] ||
        fail "properties, jsonl: no error line: $(head -c 300 "$WORK/out")"
    grep -q '^{"type":"properties","title":"Carrefour",.*"author":"SIRRI EKER",.*"company":"Cingular Wireless"' "$WORK/out" ||
        fail "properties, jsonl: $(head -c 300 "$WORK/out")"
    run --format html "$copy"
    expect_status 1 "properties, html"
    grep -qF '<meta name="author" content="SIRRI EKER">' "$WORK/out" && grep -qF '<p>Company: Cingular Wireless</p>' "$WORK/out" &&
        grep -qF '</html>' "$WORK/out" || fail "properties, html: $(head -c 300 "$WORK/out")"
    for args in "--format text" "--format csv" "--format html --no-properties"; do
        run $args "$copy"
        expect_status 1 "properties, $args"
        [ -s "$WORK/out" ] && fail "properties, $args: printed something"
    done
    "$TOOL" --password-file - - <"$WORK/password" >"$WORK/out" 2>"$WORK/err"
    STATUS=$?
    expect_status 2 "--password-file - with standard input"
    run --password-file "$WORK/no-such-file" "$plain"
    expect_status 1 "--password-file missing"
    expect_err "no-such-file: No such file or directory" "--password-file missing"
    # The first line is at most a password long (255 characters), and holds no NUL, which
    # would cut it to a password that opens the workbook ($copy's is 'päss wörd').
    run --password-file /dev/zero "$copy"
    expect_status 2 "--password-file /dev/zero"
    expect_err "cellsift: /dev/zero: password file line too long" "--password-file /dev/zero"
    printf '%s\r\n' "$(printf 'ж%.0s' $(seq 255))" >"$WORK/password255"
    run --password-file "$WORK/password255" "$copy"
    expect_status 1 "--password-file, 255 characters"
    expect_err "encrypted: the password is wrong" "--password-file, 255 characters"
    printf '%s\n' "$(printf 'ж%.0s' $(seq 256))" >"$WORK/password256"
    run --password-file "$WORK/password256" "$copy"
    expect_status 2 "--password-file, 256 characters"
    expect_err "password file line too long" "--password-file, 256 characters"
    printf 'p\xc3\xa4ss w\xc3\xb6rd\0junk\n' >"$WORK/password-nul"
    run --password-file "$WORK/password-nul" "$copy"
    expect_status 2 "--password-file with a NUL"
    expect_err "the password holds a NUL character" "--password-file with a NUL"
    [ -s "$WORK/out" ] && fail "--password-file with a NUL: the workbook was read"
    run --ansi --password x "$plain"
    expect_status 2 "--password with --ansi"
    # A workbook cut short gives what it holds and one line naming it, in every form.
    head -c 3000 "$sample" >"$WORK/cut.xls"
    for format in text csv jsonl; do
        run --format $format -q "$WORK/cut.xls"
        expect_status 0 "cut short ($format)"
        [ "$(wc -l <"$WORK/err")" = 1 ] && expect_err "cellsift: $WORK/cut.xls: read in part: " "cut short ($format)" ||
            fail "cut short ($format): not one line: $(cat "$WORK/err")"
        grep -q 'Товары' "$WORK/out" || [ $format = csv ] || fail "cut short ($format): the first sheet is lost"
    done
    printf 'PK\003\004rest of a zip' >"$WORK/book.xlsx"
    run "$WORK/book.xlsx"
    expect_status 1 "zip"
    expect_err "an .xlsx file?" "zip"
    run "$sample" "$NOT_XLS" "$sample"
    expect_status 1 "reader: good, bad, good"
    [ "$(grep -c '^==> ' "$WORK/out")" = 3 ] || fail "reader: headers for three files missing"
    run --format xml "$sample"
    expect_status 2 "--format xml"
    run --format csv --ansi "$sample"
    expect_status 2 "--format with --ansi"
    [ -e "$PREFIX/bin/Scandeck" ] && fail "the reader made a Scandeck folder"
    # -o OUTDIR with FILE operands: one file per workbook, with CSV one per sheet whose line N
    # is row N; each the same as the single-file output of that sheet.
    local od=$WORK/od
    run -o "$od" --format csv "$sample" "$SOURCE/tests/workbook/data/gen-edges.xls"
    expect_status 0 "-o OUTDIR --format csv"
    [ -f "$od/sample.xls.Товары.csv" ] && [ -f "$od/sample.xls.Notes.csv" ] ||
        fail "-o --format csv: no file per sheet: $(ls "$od")"
    "$TOOL" --format csv --sheet Notes "$sample" >"$WORK/expected" 2>/dev/null
    cmp -s "$od/sample.xls.Notes.csv" "$WORK/expected" || fail "-o --format csv: the Notes sheet differs from --sheet Notes"
    run -o "$od" --format jsonl "$sample"
    "$TOOL" --format jsonl "$sample" >"$WORK/expected" 2>/dev/null
    cmp -s "$od/sample.xls.jsonl" "$WORK/expected" || fail "-o FILE: sample.xls.jsonl differs from the single-file output"
    # No FILE, standard input not a terminal: the workbook comes from standard input.
    for format in text csv; do
        "$TOOL" --format $format <"$sample" >"$WORK/stdin.out" 2>"$WORK/err"
        run --format $format "$sample"
        cmp -s "$WORK/out" "$WORK/stdin.out" || fail "'cellsift < FILE' ($format) differs from the path"
    done
    # One sheet by name or number, with or without its comments and text boxes.
    local sheet
    for sheet in 1 Notes; do
        run --sheet "$sheet" "$sample"
        expect_status 0 "--sheet $sheet"
        [ "$(grep -c '^Sheet: ' "$WORK/out")" = 1 ] && grep -qx 'Sheet: Notes' "$WORK/out" || fail "--sheet $sheet: $(grep '^Sheet' "$WORK/out")"
    done
    run "$sample"
    grep -q '^Comment \|^Text box: ' "$WORK/out" || fail "sample.xls has no comment or text box to leave out"
    run --no-notes --format text --values raw "$sample"
    grep -q '^Comment \|^Text box: ' "$WORK/out" && fail "--no-notes kept a comment or text box"
    grep -qxF "$(printf 'Чай зелёный\t149.9\t2024-03-01')" "$WORK/out" || fail "--no-notes lost a cell"
    run --sheet 7 "$sample"
    expect_status 1 "--sheet 7"
    expect_err "no sheet named or numbered '7'" "--sheet 7"
    # A number is the sheet's place, a name its name; --sheet-name takes a number as a name.
    # The second sheet of this workbook is named "2".
    local biff7=$SOURCE/tests/workbook/data/gen-biff7-cp1251.xls args want
    while IFS='|' read -r args want; do
        # shellcheck disable=SC2086
        run $args "$biff7"
        if [ -n "$want" ]; then
            expect_status 0 "$args"
            [ "$(grep '^Sheet: ' "$WORK/out")" = "Sheet: $want" ] || fail "$args: $(grep '^Sheet' "$WORK/out")"
        else
            expect_status 1 "$args"
        fi
    done <<'CASES'
--sheet 1|2
--sheet 2|
--sheet-name 2|2
--sheet-name 1|
--sheet 0 --sheet-name 2|2
--sheet-name 0 --sheet 1|2
CASES
    run --help
    grep -q -- '--sheet-name NAME' "$WORK/out" || fail "--help lacks --sheet-name"
    # A bare workbook stream of 64 GiB (sparse) fails alone; the file after it is still read.
    "$PYTHON3" -I -S -c '
import struct, sys
bof = struct.pack("<HHHHHHII", 0x809, 16, 0x600, 5, 0, 1997, 0, 0)
sys.stdout.buffer.write(bof + struct.pack("<HH", 0x0A, 0) + bytes(4000))' >"$WORK/huge.xls"
    truncate -s 64G "$WORK/huge.xls"
    run "$WORK/huge.xls" "$sample"
    expect_status 1 "a 64 GiB file, then a workbook"
    expect_err "cellsift: $WORK/huge.xls: " "a 64 GiB file"
    grep -qx 'Sheet: Товары' "$WORK/out" || fail "the workbook after a 64 GiB file was not read"
    rm -f "$WORK/huge.xls"
    # An endless standard input fails as too large once it passes what a workbook can hold.
    run - </dev/zero
    expect_status 1 "endless standard input"
    expect_err "cellsift: -: too large" "endless standard input"
    # A workbook whose globals are cut says so, not that a sheet is missing.
    "$PYTHON3" -I -S -c '
import struct, sys
bof = struct.pack("<HHHHHHII", 0x809, 16, 0x600, 5, 0, 1997, 0, 0)
sys.stdout.buffer.write(bof + struct.pack("<HH", 0x85, 100) + b"abc")' >"$WORK/globals-cut.xls"
    for format in text csv jsonl; do
        run --format $format "$WORK/globals-cut.xls"
        expect_status 1 "globals cut ($format)"
        expect_err "$WORK/globals-cut.xls: no sheet could be read: the workbook stream ends inside a record of the workbook globals" "globals cut ($format)"
    done
    # Names with line breaks, escapes and bytes that are no UTF-8 forge no header and no
    # message line, and make valid JSON.
    local forged=$WORK/$'two\n==> forged <==\n\033[2J\xff.xls' bad=$WORK/$'bad\n.xls'
    cp "$sample" "$forged"
    cp "$NOT_XLS" "$bad"
    run "$sample" "$forged" "$bad"
    expect_status 1 "names with line breaks"
    [ "$(grep -c '^==> ' "$WORK/out")" = 3 ] || fail "names with line breaks: $(grep '^==> ' "$WORK/out")"
    grep -qxF "==> $WORK/two\n==> forged <==\n\x1B[2J\xFF.xls <==" "$WORK/out" || fail "no escaped header: $(grep '^==> ' "$WORK/out")"
    [ "$(wc -l <"$WORK/err")" = 1 ] && expect_err "cellsift: $WORK/bad\n.xls: not an .xls workbook" "a broken file's name with a line break" ||
        fail "a broken file's name with a line break: $(cat "$WORK/err")"
    run --format jsonl "$forged"
    expect_status 0 "jsonl, a name that is no UTF-8"
    "$PYTHON3" -I -S -c '
import json, sys
lines = open(sys.argv[1], "rb").read().decode("utf-8").splitlines()
files = [json.loads(line)["file"] for line in lines if json.loads(line)["type"] == "workbook"]
assert files == [sys.argv[2] + "/two\n==> forged <==\n\x1b[2J\ufffd.xls"], files
' "$WORK/out" "$WORK" || fail "jsonl: the file name is not valid JSON"
    return 0
}

# The installed tree serves a C host: header, library by its SONAME in the multiarch folder,
# pkg-config data with the prefix spelled out, compressed man page; then the three .deb packages.
group_package() {
    command -v pkg-config >/dev/null && command -v cc >/dev/null || { echo "no pkg-config or cc"; exit 77; }
    local arch libdir soname
    arch=$(cc -print-multiarch)
    libdir=$PREFIX/lib${arch:+/$arch}
    soname=$(readelf -d "$libdir/libcellsift.so" 2>/dev/null | sed -n 's/.*SONAME.*\[\(.*\)\]/\1/p')
    [ "$soname" = "libcellsift.so.${CELLSIFT_VERSION%%.*}" ] || fail "SONAME is '$soname'"
    gzip -dc "$PREFIX/share/man/man1/cellsift.1.gz" | grep -qF "cellsift $CELLSIFT_VERSION" ||
        fail "no compressed man page with the version"
    cat >"$WORK/host.c" <<'C'
#include <cellsift.h>
#include <stdio.h>
int main(int argc, char **argv)
{
    char szExt[4];
    int n = argc > 1 ? GetLengthOfTextPortion(argv[1], 0) : 0;
    printf("%d %s %d\n", GetProcessableExtensionsString(szExt), szExt, n);
    return 0;
}
C
    local flags
    flags=$(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags --libs cellsift | sed "s/ *$//") ||
        fail "pkg-config does not know cellsift"
    [ "$flags" = "-I$PREFIX/include -L$libdir -lcellsift" ] || fail "pkg-config gives '$flags'"
    # shellcheck disable=SC2086
    cc "$WORK/host.c" ${CELLSIFT_HOST_CFLAGS:-} $flags -Wl,-rpath,"$libdir" -o "$WORK/host" || fail "a C host does not build"
    [ "$("$WORK/host" "$SOURCE/examples/sample.xls")" = "3 xls $("$DUMP" size "$SOURCE/examples/sample.xls")" ] ||
        fail "the C host got: $("$WORK/host" "$SOURCE/examples/sample.xls")"

    # Packages are made from release builds only: a sanitizer's runtime is no dependency to ship.
    [ -z "${CELLSIFT_HOST_CFLAGS:-}" ] || return 0
    local cpack
    cpack=$(dirname "$CMAKE_COMMAND")/cpack
    command -v dpkg-deb >/dev/null && [ -x "$cpack" ] || { echo "no dpkg-deb or cpack"; exit 77; }
    "$cpack" --config "$BUILD/CPackConfig.cmake" -B "$WORK/deb" >"$WORK/cpack.log" 2>&1 || { cat "$WORK/cpack.log"; fail "cpack"; return; }
    local runtime dev
    runtime=$(ls "$WORK"/deb/cellsift_*.deb 2>/dev/null) || fail "no runtime package"
    dev=$(ls "$WORK"/deb/libcellsift-dev_*.deb 2>/dev/null) || fail "no -dev package"
    [ -n "$runtime" ] && [ -n "$dev" ] || return 0
    files() { dpkg-deb -c "$1" | awk '{print $6}' | sed 's|^\./|/|' | grep -v '/$' | sort; }
    [ "$(files "$runtime")" = "$(printf '%s\n' /usr/bin/cellsift "/usr/lib/$arch/libcellsift.so.1" \
        "/usr/lib/$arch/libcellsift.so.$CELLSIFT_VERSION" /usr/share/doc/cellsift/changelog.gz \
        /usr/share/doc/cellsift/copyright /usr/share/doc/cellsift/examples/recoll/mimeconf \
        /usr/share/man/man1/cellsift.1.gz | sort)" ] ||
        fail "runtime package holds: $(files "$runtime" | tr '\n' ' ')"
    [ "$(files "$dev")" = "$(printf '%s\n' /usr/include/cellsift.h "/usr/lib/$arch/libcellsift.so" \
        "/usr/lib/$arch/pkgconfig/cellsift.pc" /usr/share/doc/libcellsift-dev/changelog.gz \
        /usr/share/doc/libcellsift-dev/copyright | sort)" ] ||
        fail "-dev package holds: $(files "$dev" | tr '\n' ' ')"
    [ "$(dpkg-deb -f "$dev" Depends)" = "cellsift (= $CELLSIFT_VERSION)" ] || fail "-dev depends on: $(dpkg-deb -f "$dev" Depends)"
    dpkg-deb -f "$runtime" Depends | grep -q 'libc6' || fail "runtime depends on: $(dpkg-deb -f "$runtime" Depends)"
    mkdir -p "$WORK/devtree" && dpkg-deb -x "$dev" "$WORK/devtree"
    flags=$(PKG_CONFIG_PATH="$WORK/devtree/usr/lib/$arch/pkgconfig" pkg-config --cflags --libs cellsift | sed "s/ *$//")
    [ "$flags" = "-lcellsift" ] || fail "pkg-config of the package gives '$flags'"
    expect_python_package "$runtime" "$dev"
    if command -v lintian >/dev/null; then
        lintian --no-tag-display-limit "$runtime" "$dev" >"$WORK/lintian.log" 2>&1
        ! grep '^E:' "$WORK/lintian.log" || fail "lintian reports errors"
    else
        fail "lintian is not installed"
    fi
}

# python3-cellsift: the module in Debian's folder for python3, byte code left to the system,
# no file of the other two packages; unpacked, it reads as the tool does, and lintian finds
# nothing to warn about.
expect_python_package() {
    local python others
    python=$(ls "$WORK"/deb/python3-cellsift_*.deb 2>/dev/null) || { fail "no python3-cellsift package"; return; }
    files "$python" >"$WORK/python.files"
    local dist=/usr/lib/python3/dist-packages want
    for want in "$dist/cellsift/__init__.py" "$dist/cellsift/py.typed" "$dist/cellsift/_core.pyi" \
                "$dist/cellsift-$CELLSIFT_VERSION.dist-info/METADATA" /usr/share/doc/python3-cellsift/copyright; do
        grep -qxF "$want" "$WORK/python.files" || fail "python3-cellsift lacks $want"
    done
    grep -qx "$dist/cellsift/_core\.cpython-.*\.so" "$WORK/python.files" || fail "python3-cellsift has no extension"
    others=$(grep -v -e "^$dist/cellsift/[^/]*\.\(py\|pyi\|typed\|so\)\$" -e "^$dist/cellsift-$CELLSIFT_VERSION\.dist-info/" \
                     -e '^/usr/share/doc/python3-cellsift/' "$WORK/python.files")
    [ -z "$others" ] || fail "python3-cellsift also holds: $others"
    { files "$1"; files "$2"; } | sort | comm -12 - "$WORK/python.files" >"$WORK/shared.files"
    [ ! -s "$WORK/shared.files" ] || fail "python3-cellsift shares files with cellsift: $(cat "$WORK/shared.files")"
    dpkg-deb -f "$python" Depends | grep -q 'python3 (>= 3\.[0-9]*~), python3 (<< 3\.[0-9]*).*libnettle' ||
        fail "python3-cellsift depends on: $(dpkg-deb -f "$python" Depends)"
    mkdir -p "$WORK/pytree" && dpkg-deb -x "$python" "$WORK/pytree"
    "$TOOL" "$SOURCE/examples/sample.xls" >"$WORK/sample.txt"
    /usr/bin/python3 -I - "$WORK/pytree$dist" "$SOURCE/examples/sample.xls" "$WORK/sample.txt" "$CELLSIFT_VERSION" <<'PY' ||
import importlib.metadata, sys
sys.path.insert(0, sys.argv[1])
import cellsift
assert cellsift.__file__.startswith(sys.argv[1]), cellsift.__file__
assert cellsift.text(sys.argv[2]) == open(sys.argv[3], encoding="utf-8").read()
assert cellsift.__version__ == importlib.metadata.version("cellsift") == sys.argv[4]
PY
        fail "the module of python3-cellsift does not read as the tool"
    lintian --no-tag-display-limit "$python" >"$WORK/lintian-python.log" 2>&1
    ! grep '^[EW]:' "$WORK/lintian-python.log" || fail "lintian finds fault with python3-cellsift"
}

"group_$GROUP"
if [ "$FAILURES" -gt 0 ]; then
    echo "$FAILURES failure(s) in group $GROUP"
    exit 1
fi
echo "group $GROUP passed"
