#!/bin/sh
# The portable archive and the Debian package: packed by CPack, unpacked elsewhere, the program starts
# there (offscreen) and the converters run; the package's files lie where a Debian desktop looks for
# them and lintian finds nothing wrong; the desktop entry and the metainfo pass their validators.
# usage: package_test.sh BUILD_DIR SOURCE_DIR VERSION
set -eu
build=$1 source=$2 version=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/kivo-package.XXXXXX")
trap 'rm -rf "$work"' EXIT

desktop-file-validate "$source/resources/kivo.desktop"
appstreamcli validate --no-net "$source/resources/io.github.kivo.Kivo.metainfo.xml" >/dev/null

(cd "$build" && cpack -B "$work/out" >/dev/null)
archive="$work/out/kivo-$version-linux-x86_64.tar.gz"
tar -xzf "$archive" -C "$work"
folder="$work/kivo-$version"
programs="kivo csv2tsv tsv2csv wve2wav wav2wve WSPCX dbf2tsv tsv2dbf WRD2HTML agn2tsv spr2tsv tsv2spr agn2ics dbf2vcf"
for f in $programs kivo.html LICENSE kivo.desktop kivo.svg kivo-128.png; do
    [ -e "$folder/$f" ] || { echo "package: $f is missing" >&2; exit 1; }
done
[ ! -e "$folder/README.md" ] || { echo "package: the developers' README is not for users" >&2; exit 1; }
for f in $programs; do
    ! readelf -S "$folder/$f" | grep -q -e '\.debug_info' -e '\.symtab' || { echo "package: $f is not stripped" >&2; exit 1; }
done
[ "$(printf 'a,"b, c"\n' | "$folder/csv2tsv")" = "$(printf 'a\tb, c')" ]

# The program starts from the unpacked folder and keeps running until it is ended.
chmod a-w "$folder"
status=0
QT_QPA_PLATFORM=offscreen timeout 3 "$folder/kivo" || status=$?
chmod u+w "$folder"
[ "$status" -eq 124 ] || { echo "package: kivo ended with $status" >&2; exit 1; }

# install-desktop points the entry at the folder: the package's, and the build's, which the developers'
# `kivo.sh install-desktop` names; a folder without Kivo leaves no entry behind.
HOME="$work/home" "$folder/install-desktop.sh" >/dev/null
grep -q "^Exec=\"$folder/kivo\"" "$work/home/.local/share/applications/kivo.desktop"
HOME="$work/build-home" "$source/tools/install-desktop.sh" "$build/src" >/dev/null
grep -q "^Exec=\"$build/src/kivo\"" "$work/build-home/.local/share/applications/kivo.desktop"
grep -q "^Icon=$build/src/kivo.svg" "$work/build-home/.local/share/applications/kivo.desktop"
mkdir "$work/empty"
! HOME="$work/none" "$source/tools/install-desktop.sh" "$work/empty" 2>/dev/null
[ -z "$(ls -A "$work/none/.local/share/applications" 2>/dev/null)" ] || { echo "package: a failed install-desktop left an entry" >&2; exit 1; }

# The Debian package, unpacked into a scratch root as dpkg would install it.
deb="$work/out/kivo_${version}_amd64.deb"
root="$work/root"
dpkg-deb -x "$deb" "$root"
for f in usr/lib/kivo/kivo usr/lib/kivo/dbf2tsv usr/lib/kivo/agn2ics usr/bin/kivo usr/bin/agn2ics usr/bin/dbf2vcf \
    usr/lib/kivo/kivo.html usr/share/applications/kivo.desktop usr/share/metainfo/io.github.kivo.Kivo.metainfo.xml \
    usr/share/icons/hicolor/scalable/apps/kivo.svg usr/share/icons/hicolor/48x48/apps/kivo.png \
    usr/share/icons/hicolor/128x128/apps/kivo.png usr/share/doc/kivo/kivo.html usr/share/doc/kivo/copyright \
    usr/share/doc/kivo/changelog.gz usr/share/man/man1/kivo.1.gz; do
    [ -e "$root/$f" ] || { echo "deb: $f is missing (or a link to nothing)" >&2; exit 1; }
done
[ "$(readlink "$root/usr/bin/kivo")" = ../lib/kivo/kivo ]
for clash in csv2tsv tsv2csv dbf2tsv; do # Debian's tsv-utils has a csv2tsv: only our own names go on PATH
    [ ! -e "$root/usr/bin/$clash" ] || { echo "deb: $clash is on PATH" >&2; exit 1; }
done
dpkg-deb -f "$deb" Depends | grep -q "libqt6widgets6" || { echo "deb: the dependencies are not the programs'" >&2; exit 1; }
grep -q "^Exec=kivo$" "$root/usr/share/applications/kivo.desktop"
! grep -q -e LOCALAPPDATA -e "Start menu" "$root/usr/share/doc/kivo/kivo.html" || { echo "deb: the guide speaks of Windows" >&2; exit 1; }
status=0
QT_QPA_PLATFORM=offscreen timeout 3 "$root/usr/bin/kivo" || status=$?
[ "$status" -eq 124 ] || { echo "deb: the installed kivo ended with $status" >&2; exit 1; }
[ "$(printf 'a,b\n' | "$root/usr/lib/kivo/csv2tsv")" = "$(printf 'a\tb')" ]
if command -v lintian >/dev/null; then
    lintian --suppress-tags-from-file /dev/null "$deb" > "$work/lintian" 2>&1 || true
    ! grep -E "^[EW]: " "$work/lintian" || { echo "deb: lintian reports the above" >&2; exit 1; }
fi
echo "package: $(basename "$archive") and $(basename "$deb") are whole"
