#!/bin/sh
# Adds Kivo to this user's desktop menu: a desktop entry in ~/.local/share/applications that starts
# the program in FOLDER (default: the folder this script lies in) with its icon.
set -eu
folder=$(cd "${1:-$(dirname "$0")}" && pwd)
[ -x "$folder/kivo" ] || { echo "install-desktop: no kivo program in $folder" >&2; exit 1; }
entries="${XDG_DATA_HOME:-$HOME/.local/share}/applications"
mkdir -p "$entries"
sed -e "s|^Exec=.*|Exec=\"$folder/kivo\"|" -e "s|^Icon=.*|Icon=$folder/kivo.svg|" "$folder/kivo.desktop" \
    > "$entries/kivo.desktop"
echo "Kivo is in the desktop menu: $entries/kivo.desktop"
