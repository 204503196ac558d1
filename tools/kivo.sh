#!/bin/sh
# One entry point for developers: `run` builds and starts Kivo, `test` builds and runs every test,
# `package` makes the portable archive and the Debian package, `windows` the Windows zip and installer, `install-desktop` adds Kivo to the
# desktop menu, `bench` measures Kivo against its yardsticks.
set -eu

top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build"
jobs=$(nproc 2>/dev/null || echo 2)
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON

# The configurations are CMakePresets.json's: linux-release here, mingw for Windows.
configure_and_build() {
    (cd "$top" && cmake --preset linux-release -DKIVO_WERROR=$werror >/dev/null)
    cmake --build "$build" -j "$jobs"
}

qt_windows="${XDG_CACHE_HOME:-$HOME/.cache}/kivo/qt-6.4.2-mingw"

version() {
    sed -n 's/^project(kivo VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt"
}

# Kivo cross-built for Windows against Qt for Windows (unpacked, or built the first time).
configure_and_build_windows() {
    [ -d "$qt_windows" ] || [ -f "$top/../shared/toolchains/qt-6.4.2-mingw-w64-x86_64.tar.xz" ] ||
        echo "The first Windows build makes Qt for Windows from Debian's source: about half an hour on two cores." >&2
    "$top/tools/build-qt-windows.sh" "$qt_windows"
    (cd "$top" && cmake --preset mingw -DKIVO_QT_WINDOWS="$qt_windows" -DKIVO_WERROR=$werror >/dev/null)
    cmake --build "$build-win" -j "$jobs"
}

# Kivo cross-built for Windows and its tests run under Wine, in a prefix thrown away after.
windows_tests() {
    configure_and_build_windows
    WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/kivo-wine.XXXXXX")
    export WINEPREFIX
    status=0
    (cd "$build-win" && ctest --output-on-failure) || status=$?
    "$top/tests/windows_package_test.sh" "$build-win" "$(version)" || status=$?
    "$top/tests/windows_setup_test.sh" "$build-win" "$(version)" "$top" || status=$?
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    return $status
}

case "${1:-}" in
run)
    "$top/tools/install-deps.sh"
    configure_and_build
    exec "$build/src/kivo"
    ;;
test)
    "$top/tools/install-deps.sh" --windows
    configure_and_build
    (cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs")
    windows_tests
    ;;
package)
    "$top/tools/install-deps.sh" --windows
    configure_and_build
    (cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs")
    (cd "$build" && cpack)
    ;;
windows)
    "$top/tools/install-deps.sh" --windows
    configure_and_build_windows
    (cd "$build-win" && cpack)
    "$top/tools/make-windows-setup.sh" "$build-win" "$(version)" "$build-win"
    echo "$build-win/kivo-$(version)-windows-x86_64.zip"
    ;;
install-desktop)
    exec "$top/tools/install-desktop.sh" "${2:-$build/src}"
    ;;
bench)
    "$top/tools/install-deps.sh" --bench
    configure_and_build
    "$build/bench/kivo_bench"
    # As a screen-reader user runs it: a real X server, the accessibility bridge on and its bus up.
    xvfb-run -a dbus-run-session -- env QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
        "$build/bench/kivo_bench" --screen-reader | tail -n 1
    ;;
*)
    echo "usage: $0 run|test|package|windows|install-desktop [FOLDER]|bench" >&2
    exit 2
    ;;
esac
