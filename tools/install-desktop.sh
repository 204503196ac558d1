#!/bin/sh
# Adds Kivo to this user's desktop menu: a desktop entry in ~/.local/share/applications that starts
# the program in FOLDER (default: the folder this script lies in) with its icon.
set -eu
folder=$(cd "${1:-$(dirname "$0")}" && pwd)
[ -x "$folder/kivo" ] || { echo "install-desktop: no kivo program in $folder" >&2; exit 1; }
for f in kivo.desktop kivo.svg; do
    [ -f "$folder/$f" ] || { echo "install-desktop: no $f in $folder" >&2; exit 1; }
done
entries="${XDG_DATA_HOME:-$HOME/.local/share}/applications"
mkdir -p "$entries"
# Written aside and moved in whole: a failure leaves no empty entry in the menu.
sed -e "s|^Exec=.*|Exec=\"$folder/kivo\"|" -e "s|^Icon=.*|Icon=$folder/kivo.svg|" "$folder/kivo.desktop" \
    > "$entries/.kivo.desktop.new"
mv "$entries/.kivo.desktop.new" "$entries/kivo.desktop"
echo "Kivo is in the desktop menu: $entries/kivo.desktop"
