#!/usr/bin/env bash
# Installs the Debian packages a build needs, and nothing when they are all there.
# Usage: scripts/install-deps.sh native|windows|test|all|tools|maintainer
#   native   what the native build needs (scripts/extract.sh); nettle for the workbook reader's decryption,
#            ICU for its shown values in other locales
#   windows  MinGW-w64, wine64 and the ru_RU locale for the Windows builds
#   test     native, and what its tests use: lintian for the packages, man-db for the man
#            page's rendering, python3-xlrd and
#            python3-olefile, the reference readers of the workbook reader's cells, hyperlinks
#            and document properties, recollcmd (the command-line
#            side of the desktop search engine the tool is tested as a filter of), and Debian's
#            Python build tools, pytest, Dask, pandas (the reference of read_frame) and mypy
#            for the Python module, clang-format 16 for the sources' layout (braces inserted)
#   all      test and windows: what the test command needs
#   tools    native, catdoc (xls2csv) for bench/run-bench.sh, clang for fuzz/run-fuzzers.sh and
#            graphviz for the drawing of scripts/include-graph.py
#   maintainer  what remakes frozen expectations by hand, never the test command: python3-xlwt
#            and LibreOffice Calc for tests/numformat/cases/make-format-cases.py and
#            tests/formula/reference/make-books.sh, Apache POI and a JDK for its freeze-poi.sh
set -euo pipefail

want=(cmake g++ make googletest libgtest-dev file binutils pkg-config nettle-dev libicu-dev)
test_want=(lintian man-db python3-xlrd python3-olefile recollcmd python3-dev python3-pybind11 python3-setuptools
           python3-pip python3-venv python3-pytest python3-dask python3-distributed python3-pandas mypy clang-format-16)
windows_want=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine64 locales)
case "${1:-all}" in
    native) ;;
    windows) want+=("${windows_want[@]}") ;;
    test) want+=("${test_want[@]}") ;;
    all) want+=("${test_want[@]}" "${windows_want[@]}") ;;
    tools) want+=(catdoc clang graphviz) ;;
    maintainer) want+=(python3-xlwt libreoffice-calc-nogui libapache-poi-java default-jdk-headless) ;;
    *) echo "usage: $0 native|windows|test|all|tools|maintainer" >&2; exit 2 ;;
esac

# One line per step, so that a first run that takes minutes says what it is waiting for.
step() { echo "install-deps: $*"; }

step "checking ${#want[@]} Debian packages (${1:-all})"
missing=()
for p in "${want[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=; [ "$(id -u)" -eq 0 ] || sudo=sudo
    step "updating the package lists (apt-get update)"
    $sudo apt-get -o DPkg::Lock::Timeout=900 update -qq
    step "installing ${missing[*]}"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=900 install -y -qq \
        --no-install-recommends "${missing[@]}" >/dev/null
else
    step "all installed"
fi

# Wine takes its ANSI code page from the locale: ru_RU.UTF-8 gives Windows-1251.
if [[ " ${want[*]} " == *" locales "* ]] && ! locale -a 2>/dev/null | grep -qix 'ru_RU.utf-\?8'; then
    step "making the ru_RU.UTF-8 locale"
    sudo=; [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo sed -i 's/^# *\(ru_RU.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^ru_RU.UTF-8 UTF-8' /etc/locale.gen || echo 'ru_RU.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
    $sudo locale-gen >/dev/null
fi
