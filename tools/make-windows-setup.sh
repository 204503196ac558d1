#!/bin/sh
# Makes Kivo's Windows installer from a cross-build: what the zip holds, installed by NSIS (Debian's
# nsis, its amd64 stubs) into Program Files with a Start-menu entry and an uninstaller.
# usage: make-windows-setup.sh BUILD_DIR VERSION OUTPUT_DIR
set -eu
build=$1 version=$2 out=$3
top=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/kivo-setup.XXXXXX")
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/stage" --component portable --strip >/dev/null
stage="$work/stage/kivo-$version"
# What to install, folder by folder, and what the uninstaller removes: these files, then the folders
# from the deepest up.
(cd "$stage" && find . -type f | sed 's|^\./||' | sort) > "$work/list"
{
    last=
    while IFS= read -r f; do
        dir=$(dirname "$f")
        [ "$dir" = "$last" ] || printf 'SetOutPath "$INSTDIR%s"\n' "$( [ "$dir" = . ] || printf '\\%s' "$dir" | tr / '\\')"
        last=$dir
        printf 'File "%s/%s"\n' "$stage" "$f"
    done < "$work/list"
} > "$work/files.nsh"
{
    sed 's|/|\\|g; s|^\(.*\)$|Delete "$INSTDIR\\\1"|' "$work/list"
    (cd "$stage" && find . -mindepth 1 -type d | sed 's|^\./||' | sort -r) | sed 's|/|\\|g; s|^\(.*\)$|RMDir "$INSTDIR\\\1"|'
} > "$work/unfiles.nsh"
convert "$top/resources/kivo-128.png" -define icon:auto-resize=128,48,32,16 "$work/kivo.ico"
mkdir -p "$out"
makensis -V2 -DVERSION="$version" -DFILES="$work/files.nsh" -DUNFILES="$work/unfiles.nsh" -DICON="$work/kivo.ico" \
    -DSIZE_KB="$(du -sk "$stage" | cut -f1)" -DOUTFILE="$out/kivo-$version-windows-x86_64-setup.exe" \
    "$top/resources/windows/kivo-setup.nsi"
echo "$out/kivo-$version-windows-x86_64-setup.exe"
