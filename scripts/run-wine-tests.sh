#!/usr/bin/env bash
# Cross-builds the plain C++ libraries, the serial port component and their tests for
# Windows with mingw-w64 and runs the tests under Wine (ctest preset "mingw-core"), then
# prints the serial round-trip benchmark under Wine beside its Linux figures.
# Skips, saying so, when wine64 or the mingw-w64 compiler is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=${JOBS:-$(nproc)}
wine=$(command -v wine64 || true)
[[ -n "$wine" || ! -x /usr/lib/wine/wine64 ]] || wine=/usr/lib/wine/wine64
missing=()
[[ -n "$wine" ]] || missing+=(wine64)
command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-x86-64-posix)
[[ -f /usr/src/googletest/CMakeLists.txt ]] || missing+=(googletest)
if [[ ${#missing[@]} -gt 0 ]]; then
    echo "wine-test: SKIPPED, the Windows tests need: ${missing[*]} (see scripts/packages/windows.txt)"
    exit 0
fi

start=$(date +%s)
cmake --preset mingw-core >/dev/null
cmake --build --preset mingw-core -j "$jobs"
# One Wine server for the whole suite and the benchmark after it
# (tests/wine/wine-server.sh says why); stopped however the script ends.
tests/wine/wine-server.sh start build-mingw-core
trap 'tests/wine/wine-server.sh stop build-mingw-core' EXIT
ctest --preset mingw-core -j "$jobs" --timeout 120 --output-on-failure

# The same benchmark on both sides of the port, against the same pty instrument.
build=build-mingw-core
export LRF_WINE_BUILD_DIR="$PWD/$build"
echo "== bench_port_roundtrip under Wine (Win32 backend)"
# A benchmark that stalls under Wine must not hold up the run: it is given two minutes.
timeout 120 tests/wine/wine-run.sh "$build/bench/portio/bench_port_roundtrip.exe" "" 1000 ||
    echo "bench_port_roundtrip under Wine: no figures (status $?)"
if [[ -f build/CMakeCache.txt ]] && cmake --build build --target bench_port_roundtrip -j "$jobs" >/dev/null 2>&1; then
    echo "== bench_port_roundtrip on Linux (POSIX backend)"
    link="$build/wine-ports/linux-bench"
    exec 3> >(exec "$build/wine-host/pty_instrument" "$link" >"$link.ready")
    for _ in $(seq 1 200); do
        grep -q '^ready' "$link.ready" 2>/dev/null && break
        sleep 0.01
    done
    build/bench/portio/bench_port_roundtrip "$PWD/$link" 1000 3>&- || true
    exec 3>&-
else
    echo "== bench_port_roundtrip on Linux: no native build (run 'make build' first)"
fi
echo "wine-test: done in $(($(date +%s) - start)) s"
