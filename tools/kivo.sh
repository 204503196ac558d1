#!/bin/sh
# One entry point for developers: `run` builds and starts Kivo, `test` builds and runs every test.
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

case "${1:-}" in
run)
    "$top/tools/install-deps.sh"
    configure_and_build
    # The example converters go where Kivo looks for converters: beside the program.
    cp "$top/examples/converters/tsv2csv" "$top/examples/converters/csv2tsv" "$build/src/"
    exec "$build/src/kivo"
    ;;
test)
    "$top/tools/install-deps.sh"
    configure_and_build
    cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs"
    ;;
*)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
