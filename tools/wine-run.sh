#!/bin/sh
# Runs a Windows test program under Wine's 64-bit loader, quietly, in the prefix named by
# WINEPREFIX, or in a throw-away one that is removed afterwards.
set -eu
loader=/usr/lib/wine/wine64
[ -x "$loader" ] || loader=$(command -v wine64 || command -v wine)
export WINEDEBUG=-all
if [ -z "${WINEPREFIX:-}" ]; then
    WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/kivo-wine.XXXXXX")
    export WINEPREFIX
    trap 'wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT
fi
"$loader" "$@"
