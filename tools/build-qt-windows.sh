#!/bin/sh
# Makes Qt 6.4.2 for Windows (MinGW-w64, x86_64) in FOLDER (default ~/.cache/kivo/qt-6.4.2-mingw), the
# same Qt version Debian 12's qt6-base-dev installs, so that Debian's moc, rcc and uic serve it.
# Does nothing when FOLDER is there. Where a prebuilt copy lies beside the checkout
# (../shared/toolchains/qt-6.4.2-mingw-w64-x86_64.tar.xz with a matching .sha256), unpacks it;
# otherwise builds Debian's own source package, about half an hour on two cores. The system's APT is
# never touched: the source comes through an APT set-up of its own.
# usage: build-qt-windows.sh [FOLDER]
set -eu

top=$(cd "$(dirname "$0")/.." && pwd)
folder=${1:-${XDG_CACHE_HOME:-$HOME/.cache}/kivo/qt-6.4.2-mingw}
[ -f "$folder/lib/cmake/Qt6/Qt6Config.cmake" ] && exit 0

archive="$top/../shared/toolchains/qt-6.4.2-mingw-w64-x86_64.tar.xz"
mkdir -p "$(dirname "$folder")"
work=$(mktemp -d "$(dirname "$folder")/qt-work.XXXXXX")
trap 'rm -rf "$work"' EXIT

if [ -f "$archive" ] && [ -f "$archive.sha256" ] &&
    [ "$(sha256sum "$archive" | cut -d' ' -f1)" = "$(cut -d' ' -f1 "$archive.sha256")" ]; then
    tar -xJf "$archive" -C "$work"
    mv "$work/qt-6.4.2-mingw" "$folder"
    exit 0
fi

echo "Building Qt 6.4.2 for Windows from Debian's source package: about half an hour on two cores." >&2

# The source, through a private APT set-up: its own sources list, lists and cache.
apt_dir="$work/apt"
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/sources.list.d"
echo "deb-src http://deb.debian.org/debian bookworm main" > "$apt_dir/sources.list"
cat > "$apt_dir/apt.conf" <<EOF
Dir::Etc::SourceList "$apt_dir/sources.list";
Dir::Etc::SourceParts "$apt_dir/sources.list.d";
Dir::State::Lists "$apt_dir/lists";
Dir::Cache "$apt_dir/cache";
EOF
export APT_CONFIG="$apt_dir/apt.conf"
apt-get update -qq
(cd "$work" && apt-get source --download-only qt6-base=6.4.2+dfsg-10)
tar -xJf "$work"/qt6-base_6.4.2+dfsg.orig.tar.xz -C "$work"
unset APT_CONFIG
source_dir=$(find "$work" -maxdepth 1 -type d -name 'qtbase*' | head -n 1)

toolchain="$work/mingw.cmake"
cat > "$toolchain" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include("$top/cmake/mingw-w64-tools.cmake")
EOF

off=""
for feature in opengl dynamicgl vulkan network sql dbus printsupport concurrent xml tabletevent; do
    off="$off -DFEATURE_$feature=OFF"
done
bundled=""
for lib in zlib pcre2 freetype harfbuzz png jpeg doubleconversion; do
    bundled="$bundled -DFEATURE_system_$lib=OFF"
done
# shellcheck disable=SC2086 # the feature lists are words
cmake -S "$source_dir" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_SHARED_LIBS=ON -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF $off $bundled
cmake --build "$work/build"
cmake --install "$work/build" --prefix "$work/qt-6.4.2-mingw"
find "$work/qt-6.4.2-mingw" -name '*.dll' -exec x86_64-w64-mingw32-strip --strip-unneeded {} +
mv "$work/qt-6.4.2-mingw" "$folder"
