#!/bin/sh
# Installs the Debian 12 packages Kivo needs to build, run and test. With --windows, also what
# cross-builds Kivo for Windows (and Qt for it), makes its installer and runs its tests under Wine, the
# independent readers the converters' tests check against (sox, ImageMagick, libical, vobject), and the
# validators of the desktop files and the Debian package; with --bench, what the benchmark's
# screen-reader row needs. Safe to run again.
set -eu

packages="build-essential cmake qt6-base-dev libgtest-dev googletest fonts-liberation"
case "${1:-}" in
--windows)
    packages="$packages g++-mingw-w64-x86-64-posix wine64 sox imagemagick desktop-file-utils appstream libxml2-utils"
    packages="$packages libical-dev python3-vobject pkg-config" # independent readers of iCalendar and vCard
    packages="$packages nsis lintian" # the Windows installer; the Debian package's checker
    packages="$packages ninja-build xz-utils" # Qt for Windows from source
    ;;
--bench) # a real X server with the accessibility bus, as a screen-reader user has
    packages="$packages xvfb xauth dbus at-spi2-core"
    ;;
esac

missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

as_root=""
[ "$(id -u)" -eq 0 ] || as_root="sudo"
echo "Installing:$missing"
$as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
$as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
