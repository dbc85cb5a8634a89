#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# install_tree.sh BUILD_DIR ROOT COMPONENT: a fresh `cmake --install` of one component (one
# package's files) of BUILD_DIR into the DESTDIR ROOT.
set -eu
rm -rf "$2"
DESTDIR="$2" cmake --install "$1" --component "$3" >/dev/null
