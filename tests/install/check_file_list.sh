#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# check_file_list.sh ROOT PREFIX LIST...: the files under ROOT/PREFIX are exactly the lines of
# the LISTs (paths below the prefix), and nothing is installed outside the prefix.
set -eu
root=$1 prefix=$2
shift 2
cat "$@" | sort > "$root.expected"
(cd "$root$prefix" && find . ! -type d | sed 's|^\./||' | sort) > "$root.installed"
status=0
if ! diff -u "$root.expected" "$root.installed"; then
    echo "The installed files differ from the expected list (- expected, + installed)."
    status=1
fi
outside=$(cd "$root" && find . ! -type d | sed 's|^\.||' | grep -v "^$prefix/" || true)
if [ -n "$outside" ]; then
    echo "Installed outside the prefix $prefix:"
    echo "$outside"
    status=1
fi
exit $status
