#!/bin/sh
# The Windows zip: CPack packs the cross-build, and the zip holds the program, its converters, what
# Qt and the MinGW runtime need beside it, the user's guide and the licenses; nothing else.
# usage: windows_package_test.sh BUILD_DIR VERSION
set -eu
build=$1 version=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/kivo-winpackage.XXXXXX")
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -B "$work/out" >/dev/null)
zip="$work/out/kivo-$version-windows-x86_64.zip"
(cd "$work" && cmake -E tar xf "$zip")
folder="$work/kivo-$version"
(cd "$folder" && find . -type f | sed 's|^\./||' | sort) > "$work/got"
sort > "$work/want" <<'LIST'
LICENSE
Qt6Core.dll
Qt6Gui.dll
Qt6Widgets.dll
WRD2HTML.exe
WSPCX.exe
agn2ics.exe
agn2tsv.exe
csv2tsv.exe
dbf2tsv.exe
dbf2vcf.exe
kivo.exe
kivo.html
libgcc_s_seh-1.dll
libstdc++-6.dll
libwinpthread-1.dll
platforms/qwindows.dll
qt-license/GPL-3.0-only.txt
qt-license/LGPL-3.0-only.txt
qt-license/QT-SOURCE.txt
spr2tsv.exe
styles/qwindowsvistastyle.dll
tsv2csv.exe
tsv2dbf.exe
tsv2spr.exe
wav2wve.exe
wve2wav.exe
LIST
diff "$work/want" "$work/got" || { echo "windows package: not the files it should hold" >&2; exit 1; }
grep -q "6.4.2+dfsg-10" "$folder/qt-license/QT-SOURCE.txt"
echo "windows package: $(basename "$zip") holds what it should ($(du -k "$zip" | cut -f1) KB)"
