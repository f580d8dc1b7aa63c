# scripts/wine32.sh: sourced by the test script; owns the Wine test environment (32-bit Wine via qemu-i386
# with its binfmt_misc registration, and 64-bit Wine): installs, prefixes, persistent wineservers, teardown.
#
# Usage (bash):
#   source scripts/wine32.sh
#   if wine32_setup "$BUILD_DIR"; then wine32_run t.exe arg >t.out 2>t.err; rc=$?; fi
#   if wine64_setup "$BUILD_DIR"; then wine64_run t.exe >t.out 2>t.err; rc=$?; fi
# Each setup adds its own teardown to the EXIT trap (keeping any EXIT trap already set), so the wineserver
# is stopped and our binfmt registration removed however the script ends; calling wine32_teardown /
# wine64_teardown directly is also fine (they are safe to call twice).
# A setup that cannot work here prints "skipping the 32-bit stage: ..." to stderr and returns 1.
# The exported CELLSIFT_WINE32_PREFIX / CELLSIFT_WINE64_PREFIX let scripts/wine32-run and scripts/wine64-run
# (usable as CMAKE_CROSSCOMPILING_EMULATOR) find the prefixes. Redirect program output to files: Wine's
# background processes can hold a pipe open (the -run wrappers already guard against that).

WINE_SCRIPTS_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
WINE32_BINFMT_NAME=cellsift-i386
WINE32_LOADER=/usr/lib/wine/wine
WINE64_LOADER=/usr/lib/wine/wine64
WINESERVER_BIN=/usr/lib/wine/wineserver64   # the native server also serves 32-bit clients: no emulation cost
_WINE32_BINFMT_OURS=

_wine_skip() { echo "skipping the $1-bit stage: $2" >&2; return 1; }

# Common environment of every Wine call; $1 = prefix, $2 = win32|win64.
_wine_env() {
    export WINEPREFIX=$1 WINEARCH=$2 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=ru_RU.UTF-8
    unset DISPLAY WAYLAND_DISPLAY
}

# Adds "$1" to the EXIT trap, in front of what is already there.
_wine_add_exit_trap() {
    local old=
    eval "set -- '$1' $(trap -p EXIT)"
    old=${4:-}
    case "$old" in *"$1"*) return 0 ;; esac
    trap -- "$1${old:+; $old}" EXIT
}

# Installs Debian packages ($@, e.g. wine32:i386) that are missing; quick when all are there.
_wine_apt() {
    local p missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    case " ${missing[*]}" in *:i386*)
        dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386 || return 1 ;;
    esac
    echo "wine: installing ${missing[*]}" >&2
    apt-get -o DPkg::Lock::Timeout=900 update -q >/dev/null 2>&1
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -q \
        --no-install-recommends "${missing[@]}" >/dev/null 2>&1
}

# ru_RU.UTF-8 makes Wine's ANSI code page 1251.
_wine_locale() {
    locale -a 2>/dev/null | grep -qix 'ru_RU.utf-\?8' && return 0
    _wine_apt locales || return 1
    sed -i 's/^# *ru_RU.UTF-8/ru_RU.UTF-8/' /etc/locale.gen
    grep -q '^ru_RU.UTF-8' /etc/locale.gen || echo 'ru_RU.UTF-8 UTF-8' >>/etc/locale.gen
    locale-gen >/dev/null 2>&1
    locale -a 2>/dev/null | grep -qix 'ru_RU.utf-\?8'
}

# Fetches the static qemu-i386 of bookworm-backports' qemu-user (bookworm's 7.2 hangs Wine) into $1/qemu,
# with apt state of its own: the machine's apt configuration is not touched.
_wine32_qemu() {
    local q=$1/qemu a=$1/qemu/apt
    [ -x "$q/qemu-i386" ] && "$q/qemu-i386" --version >/dev/null 2>&1 && return 0
    rm -rf "$a" && mkdir -p "$a/parts" "$a/state/lists/partial" "$a/cache/archives/partial" "$a/deb" || return 1
    cat >"$a/parts/backports.sources" <<'EOF'
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    touch "$a/state/status"
    local o=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$a/parts" -o Dir::State="$a/state"
             -o Dir::State::status="$a/state/status" -o Dir::Cache="$a/cache" -o APT::Sandbox::User=root
             -o APT::Architectures::=amd64 -o Acquire::Languages=none)
    apt-get "${o[@]}" update -q >"$a/update.log" 2>&1 &&
        (cd "$a/deb" && apt-get "${o[@]}" download qemu-user >"$a/download.log" 2>&1) &&
        dpkg -x "$a"/deb/qemu-user_*.deb "$a/x" &&
        cp "$a/x/usr/bin/qemu-i386" "$q/qemu-i386" || return 1
    rm -rf "$a"
    "$q/qemu-i386" --version >/dev/null 2>&1
}

# Lets the kernel run i386 ELF programs through qemu-i386, only when it cannot already.
_wine32_binfmt() {
    "$WINE32_LOADER" --version >/dev/null 2>&1 && return 0
    local d=/proc/sys/fs/binfmt_misc
    # Mounted once and left mounted: unmounting could drop registrations that others rely on.
    [ -e "$d/register" ] || mount -t binfmt_misc binfmt_misc "$d" 2>/dev/null || return 1
    [ -e "$d/$WINE32_BINFMT_NAME" ] && echo -1 >"$d/$WINE32_BINFMT_NAME"   # stale one from a killed run
    # Magic and mask of an i386 ELF executable (as in qemu's own binfmt.d file); F: the interpreter is
    # opened now, so it works from any mount namespace or chroot.
    printf '%s' ":$WINE32_BINFMT_NAME:M::"'\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\xfc\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$1:F" \
        >"$d/register" 2>/dev/null || return 1
    _WINE32_BINFMT_OURS=1
    "$WINE32_LOADER" --version >/dev/null 2>&1
}

# Creates/boots prefix $1 (arch $2, loader $3) and leaves a persistent wineserver running for it.
_wine_boot() {
    local pfx=$1 log=$1.log
    mkdir -p "$pfx" || return 1
    (
        _wine_env "$pfx" "$2"
        # The server and the boot-time background processes get files, never the caller's pipes.
        # (It refuses to start when one already serves this prefix, e.g. on a second setup: fine.)
        "$WINESERVER_BIN" -p </dev/null >>"$log" 2>&1
        # A new prefix is created by the first program; that first program also starts the background
        # services (services.exe, winedevice.exe, ...) which then stay for the whole run.
        "$3" cmd.exe /c exit 0 </dev/null >>"$log" 2>&1
    )
}

_wine_stop() {
    [ -n "$1" ] && [ -d "$1" ] || return 0
    WINEPREFIX=$1 "$WINESERVER_BIN" -k >/dev/null 2>&1
    return 0
}

# wine32_setup BUILD_DIR: everything the 32-bit stage needs; returns 1 (with a message) when it cannot work.
wine32_setup() {
    local b t0=$SECONDS
    b=$(mkdir -p "$1" && cd "$1" && pwd) || { _wine_skip 32 "no build directory $1"; return 1; }
    _wine_add_exit_trap wine32_teardown
    _wine_apt wine wine32:i386 || { _wine_skip 32 "could not install wine32:i386"; return 1; }
    _wine_locale || { _wine_skip 32 "could not generate the ru_RU.UTF-8 locale"; return 1; }
    _wine32_qemu "$b" || { _wine_skip 32 "could not fetch qemu-i386 from bookworm-backports (see $b/qemu/apt)"; return 1; }
    _wine32_binfmt "$b/qemu/qemu-i386" ||
        { wine32_teardown; _wine_skip 32 "32-bit programs cannot run (binfmt_misc not usable)"; return 1; }
    export CELLSIFT_WINE32_PREFIX=$b/wine32-prefix
    _wine_boot "$CELLSIFT_WINE32_PREFIX" win32 "$WINE32_LOADER" ||
        { wine32_teardown; _wine_skip 32 "the 32-bit Wine prefix did not boot (see $CELLSIFT_WINE32_PREFIX.log)"; return 1; }
    echo "wine32: ready in $((SECONDS - t0)) s (prefix $CELLSIFT_WINE32_PREFIX)" >&2
}

# wine64_setup BUILD_DIR: the same for the x86_64 tests under wine64.
wine64_setup() {
    local b t0=$SECONDS
    b=$(mkdir -p "$1" && cd "$1" && pwd) || { _wine_skip 64 "no build directory $1"; return 1; }
    _wine_add_exit_trap wine64_teardown
    _wine_apt wine wine64 || { _wine_skip 64 "could not install wine64"; return 1; }
    _wine_locale || { _wine_skip 64 "could not generate the ru_RU.UTF-8 locale"; return 1; }
    export CELLSIFT_WINE64_PREFIX=$b/wine64-prefix
    _wine_boot "$CELLSIFT_WINE64_PREFIX" win64 "$WINE64_LOADER" ||
        { wine64_teardown; _wine_skip 64 "the 64-bit Wine prefix did not boot (see $CELLSIFT_WINE64_PREFIX.log)"; return 1; }
    echo "wine64: ready in $((SECONDS - t0)) s (prefix $CELLSIFT_WINE64_PREFIX)" >&2
}

# wine32_run EXE ARGS...: runs a 32-bit Windows program; returns its exit code.
wine32_run() { "$WINE_SCRIPTS_DIR/wine32-run" "$@"; }
wine64_run() { "$WINE_SCRIPTS_DIR/wine64-run" "$@"; }

# Stops the 32-bit wineserver and removes the binfmt registration if this script made it.
wine32_teardown() {
    _wine_stop "${CELLSIFT_WINE32_PREFIX:-}"
    local d=/proc/sys/fs/binfmt_misc
    if [ -n "$_WINE32_BINFMT_OURS" ] && [ -e "$d/$WINE32_BINFMT_NAME" ]; then
        echo -1 >"$d/$WINE32_BINFMT_NAME"
    fi
    _WINE32_BINFMT_OURS=
    return 0
}

wine64_teardown() { _wine_stop "${CELLSIFT_WINE64_PREFIX:-}"; }
