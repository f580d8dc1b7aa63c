#!/usr/bin/env bash
# Regenerates the workbooks of this folder: lo-extras.xls from lo-extras.fods with LibreOffice
# (properties, headers, footers, hyperlinks, an embedded chart), lo-cjk.xls from lo-cjk.fods
# (a header in a Chinese font), and the record-made ones from make-extras.py. Not run by CI:
# run it by hand, then commit the changed files.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
command -v soffice >/dev/null ||
  apt-get -o DPkg::Lock::Timeout=900 install -y --no-install-recommends libreoffice-calc-nogui

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
# Source and result in one folder, so the relative file link keeps one level up whatever the
# checkout's path is.
mkdir "$tmp/book"
for name in lo-extras lo-cjk; do
  cp "$here/$name.fods" "$tmp/book/"
  soffice -env:UserInstallation="file://$tmp/lo-profile" --headless --convert-to 'xls:MS Excel 97' \
    --outdir "$tmp/book" "$tmp/book/$name.fods" >/dev/null 2>&1
  mv "$tmp/book/$name.xls" "$here/$name.xls"
done

/usr/bin/python3 "$here/make-extras.py" "$here"
