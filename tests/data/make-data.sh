#!/usr/bin/env bash
# Regenerates the sample workbooks in tests/data/ with LibreOffice, Gnumeric and xlwt
# (examples/sample.xls comes from tests/workbook/data/make-workbooks.py).
# Not run by CI: run it by hand (as root on Debian, it installs what it needs), then commit the changed files.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
src="$here/src"
py=/usr/bin/python3          # Debian's python, where python3-xlwt lives

# --- tools ---------------------------------------------------------------
need=()
command -v soffice   >/dev/null || need+=(libreoffice-calc-nogui)
command -v ssconvert >/dev/null || need+=(gnumeric)
$py -c 'import xlwt'    2>/dev/null || need+=(python3-xlwt)
$py -c 'import olefile' 2>/dev/null || need+=(python3-olefile)
locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$' || need+=(locales)
if [ ${#need[@]} -gt 0 ]; then
  apt-get -o DPkg::Lock::Timeout=900 install -y --no-install-recommends "${need[@]}"
fi
if ! locale -a | grep -qi '^ru_RU\.utf-\?8$'; then   # Gnumeric picks the BIFF7 code page from the locale
  sed -i 's/^# *\(ru_RU.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ru_RU.UTF-8 UTF-8' /etc/locale.gen || echo 'ru_RU.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen
fi

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
profile="file://$tmp/lo-profile"   # a fresh LibreOffice profile, so no user settings leak in

lo_xls() {  # lo_xls SOURCE.fods OUT.xls
  soffice -env:UserInstallation="$profile" --headless --convert-to 'xls:MS Excel 97' \
    --outdir "$tmp" "$1" >/dev/null 2>&1
  mv "$tmp/$(basename "${1%.*}").xls" "$2"
}
gnm_xls() {  # gnm_xls LOCALE FORMAT SOURCE OUT.xls
  LANG="$1" LC_ALL="$1" ssconvert --export-type="Gnumeric_Excel:excel_$2" "$3" "$4" 2>/dev/null
}

# --- LibreOffice Calc, BIFF8 ------------------------------------------------
lo_xls "$src/lo-mixed.fods" "$here/lo-mixed.xls"
lo_xls "$src/lo-notes.fods" "$here/lo-notes.xls"
$py "$src/longtext.py" fods "$tmp/lo-longstrings.fods"
lo_xls "$tmp/lo-longstrings.fods" "$here/lo-longstrings.xls"

# --- Gnumeric: BIFF8, BIFF7 ("Book" stream), dual stream --------------------
gnm_xls C.UTF-8     biff8 "$src/gnumeric-book.gnumeric" "$here/gnumeric-biff8.xls"
gnm_xls ru_RU.UTF-8 biff7 "$src/gnumeric-ru.gnumeric"   "$here/gnumeric-biff7-ru.xls"
gnm_xls C.UTF-8     biff7 "$src/gnumeric-west.gnumeric" "$here/gnumeric-biff7-west.xls"
gnm_xls ru_RU.UTF-8 dsf   "$src/gnumeric-ru.gnumeric"   "$here/gnumeric-dsf.xls"

# --- xlwt, BIFF8 ------------------------------------------------------------
$py "$src/xlwt-rich.py" "$here/xlwt-rich.xls"
$py "$src/longtext.py" xlwt "$here/xlwt-longstrings.xls"

# --- what the programs read back ---------------------------------------------
# Each file is read back by the program that wrote it (xlwt files: by LibreOffice),
# except gnumeric-biff7-ru.xls: Gnumeric decodes its own BIFF7 cell strings with
# the font's character set (ANSI) instead of the file's code page 1251 and shows
# mojibake, so LibreOffice, which honours the code page, reads that one.
for f in lo-mixed lo-notes lo-longstrings xlwt-rich xlwt-longstrings gnumeric-biff7-ru; do
  $py "$src/cells.py" lo "$here/$f.xls" "$here/$f.cells.txt"
done
for f in gnumeric-biff8 gnumeric-biff7-west gnumeric-dsf; do
  $py "$src/cells.py" gnumeric "$here/$f.xls" "$here/$f.cells.txt"
done
# cross-check: read every file with the other program too and compare the cell texts
for f in lo-mixed lo-notes lo-longstrings xlwt-rich xlwt-longstrings gnumeric-biff7-ru \
         gnumeric-biff8 gnumeric-biff7-west gnumeric-dsf; do
  case $f in gnumeric-biff7-ru|lo-*|xlwt-*) other=gnumeric ;; *) other=lo ;; esac
  $py "$src/cells.py" $other "$here/$f.xls" "$tmp/$f.other.txt"
  if diff <(sed '/^--- /q' "$here/$f.cells.txt") <(sed '/^--- /q' "$tmp/$f.other.txt") >/dev/null; then
    echo "$f: LibreOffice and Gnumeric read the same cell texts"
  else
    echo "$f: NOTE: $other reads different cell texts" >&2
  fi
done

# --- check: OLE compound documents, their streams and records -----------------
$py "$src/olecheck.py" --sst "$here"/*.xls
ls -l "$here"/*.xls
$py "$src/checkcells.py" "$here"/*.cells.txt && echo "cells.txt files checked"
