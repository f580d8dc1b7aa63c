#!/bin/bash
# Remakes the formula workbooks of books/: xlwt's (make-xlwt-books.py) and LibreOffice's
# (make-lo-book.py, converted by soffice), then freeze-poi.sh freezes POI's reading of them.
# Needs scripts/install-deps.sh maintainer; not run by the test command.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
/usr/bin/python3 "$here/make-xlwt-books.py" "$here/books"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$here/make-lo-book.py" "$work/lo-formulas.fods"
soffice --headless -env:UserInstallation=file://"$work/profile" --convert-to 'xls:MS Excel 97' \
    --outdir "$here/books" "$work/lo-formulas.fods" >/dev/null
"$here/freeze-poi.sh"
