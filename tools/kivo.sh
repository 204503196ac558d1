#!/bin/sh
# One entry point for developers: `run` builds and starts Kivo, `test` builds and runs every test,
# `package` makes the portable archive, `install-desktop` adds Kivo to the desktop menu, `bench`
# measures Kivo against its yardsticks.
set -eu

top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build"
jobs=$(nproc 2>/dev/null || echo 2)
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON

configure_and_build() {
    cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIVO_WERROR=$werror >/dev/null
    cmake --build "$build" -j "$jobs"
}

# The engine cross-built for Windows and its tests run under Wine, in a prefix thrown away after.
windows_tests() {
    cmake -S "$top" -B "$build-win" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64.cmake" -DKIVO_WERROR=$werror >/dev/null
    cmake --build "$build-win" -j "$jobs"
    WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/kivo-wine.XXXXXX")
    export WINEPREFIX
    status=0
    (cd "$build-win" && ctest --output-on-failure) || status=$?
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
    echo "usage: $0 run|test|package|install-desktop [FOLDER]|bench" >&2
    exit 2
    ;;
esac
