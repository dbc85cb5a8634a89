#!/bin/sh
# install_tree.sh BUILD_DIR ROOT: a fresh `cmake --install` of BUILD_DIR into the DESTDIR ROOT.
set -eu
rm -rf "$2"
DESTDIR="$2" cmake --install "$1" >/dev/null
