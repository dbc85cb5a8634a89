#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# validate.sh KIND FILE...: the installed files as the desktop's own tools read them.
# Exits 77 (a skipped test) when the tool is not installed or cannot run here.
set -u
kind=$1
shift
skip() {
    echo "SKIPPED: $*"
    exit 77
}
need() {
    command -v "$1" >/dev/null || skip "$1 is not installed (scripts/install-deps installs it)"
}
case $kind in
desktop)
    need desktop-file-validate
    exec desktop-file-validate "$@"
    ;;
metainfo)
    need appstreamcli
    exec appstreamcli validate --no-net "$@"
    ;;
units)
    need systemd-analyze
    [ -d /usr/lib/systemd/system ] || [ -d /lib/systemd/system ] ||
        skip "systemd is not installed here: no units to verify against"
    root=$1 prefix=$2
    shift 2
    # The units name the binary by its installed path; the copies verified name it inside
    # the tree, so that verify also sees that it is there and executable.
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    mkdir "$work/system" "$work/user" "$work/runtime"
    status=0
    for unit in "$@"; do
        scope=system
        case $unit in */user/*) scope=user ;; esac
        copy=$work/$scope/$(basename "$unit")
        sed "s|$prefix/|$root$prefix/|g" "$unit" > "$copy"
        env SYSTEMD_LOG_COLOR=0 XDG_RUNTIME_DIR="$work/runtime" \
            systemd-analyze --"$scope" verify --man=no "$copy" || status=1
    done
    exit $status
    ;;
man)
    need man
    status=0
    for page in "$@"; do
        # groff reports its warnings on standard error; any of them is a fault.
        warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
        if [ -n "$warnings" ]; then
            echo "$page:"
            echo "$warnings"
            status=1
        fi
    done
    exit $status
    ;;
depends)
    # The server package's Depends, as dpkg-shlibdeps finds them, name no graphical library.
    need dpkg-shlibdeps
    build=$1 out=$2
    rm -rf "$out"
    cpack --config "$build/CPackConfig.cmake" -B "$out" -D CPACK_COMPONENTS_ALL=server \
        >"$out.log" 2>&1 || { cat "$out.log"; exit 1; }
    depends=$(dpkg-deb -f "$out"/ringwise-server_*.deb Depends)
    echo "Depends: $depends"
    gui=$(echo "$depends" | tr ',' '\n' |
        grep -E 'libgtk|libx11|libxcb|libgl|libegl|libwayland|libqt6widgets|libqt6gui|qt6-qpa-plugins' || true)
    [ -z "$gui" ] || { echo "Graphical libraries among them: $gui"; exit 1; }
    exit 0
    ;;
esac
echo "unknown check: $kind" >&2
exit 2
