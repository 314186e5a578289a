#!/usr/bin/env bash
# Runs one Windows program of the cross-build under Wine: the test launcher of the
# mingw build (ctest and test discovery call it) and of the benchmark run.
#
# It keeps a private Wine prefix in the build directory, made without any prompt,
# whose Wine port table maps COM5..COM8 to links under <build>/wine-ports. For a run
# (not for a test listing) it takes a free one of those ports, starts the pseudo-
# terminal instrument behind it and tells the program its name in LRF_TEST_PORT.
# The modem-line library is preloaded so that Wine's serial driver treats the
# pseudo-terminal like a real port.
set -euo pipefail
# A step of this script that fails ends it: say which, or the test's output is empty.
trap 'echo "wine-run: line $LINENO: a command ended with status $?" >&2' ERR

here=$(cd "$(dirname "$0")" && pwd)
build=${LRF_WINE_BUILD_DIR:?LRF_WINE_BUILD_DIR must name the cross-build directory}
host="$build/wine-host"
ports="$build/wine-ports"
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d" # a crash ends the test at once
# The programs built with Qt load its DLLs and plugins and the compiler's runtime.
if [[ -n "${LRF_QT_WINDOWS:-}" ]]; then
    runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
    export WINEPATH="Z:$LRF_QT_WINDOWS/bin;Z:$runtime;Z:/usr/x86_64-w64-mingw32/lib"
    export QT_PLUGIN_PATH="Z:$LRF_QT_WINDOWS/plugins"
fi
unset DISPLAY WAYLAND_DISPLAY

wine=$(command -v wine64 || true)
[[ -n "$wine" ]] || wine=/usr/lib/wine/wine64
wineserver=$(command -v wineserver || true)
[[ -n "$wineserver" ]] || wineserver=/usr/lib/wine/wineserver

mkdir -p "$ports"

# Linux-side helpers, built once with the machine's compiler.
(
    flock 9
    if [[ ! -x "$host/pty_instrument" || ! -f "$host/libptymodem.so" ]]; then
        cmake -S "$here" -B "$host" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
        cmake --build "$host" >/dev/null
    fi
) 9>"$build/wine-host.lock"

# The prefix, once: Wine's port table must be in place before a Wine session starts,
# because the session publishes it under HARDWARE\DEVICEMAP\SERIALCOMM.
(
    flock 9
    if [[ ! -f "$WINEPREFIX/.lrf-ports" ]]; then
        rm -rf "$WINEPREFIX"
        "$wine" wineboot --init >/dev/null 2>&1 9>&- || true
        for n in 5 6 7 8; do
            "$wine" reg add 'HKLM\Software\Wine\Ports' /v "COM$n" /t REG_SZ /d "$ports/com$n" /f \
                >/dev/null 2>&1 9>&-
        done
        "$wineserver" -w 9>&-
        touch "$WINEPREFIX/.lrf-ports"
    fi
) 9>"$build/wineprefix.lock"

# --prepare: the helpers and the prefix are made, and nothing runs.
[[ "${1:-}" != --prepare ]] || exit 0

listing=0
for a in "$@"; do
    [[ "$a" == --gtest_list_tests ]] && listing=1
done

if [[ $listing == 0 ]]; then
    # Take the first free port; its lock is held by this script until it ends.
    port=""
    for n in 5 6 7 8; do
        exec 8>"$ports/com$n.lock"
        if flock -n 8; then
            port=$n
            break
        fi
        exec 8>&-
    done
    if [[ -z "$port" ]]; then
        exec 8>"$ports/com5.lock"
        flock 8
        port=5
    fi
    ready="$ports/com$port.ready"
    rm -f "$ready"
    # The instrument reads its standard input from this script: when the script ends,
    # however it ends, the instrument sees end of input and stops.
    exec 3> >(exec "$host/pty_instrument" "$ports/com$port" >"$ready" 8>&-)
    for _ in $(seq 1 200); do
        grep -q '^ready' "$ready" 2>/dev/null && break
        sleep 0.01
    done
    grep -q '^ready' "$ready" || { echo "wine-run: the pty instrument did not start" >&2; exit 1; }
    export LRF_TEST_PORT="COM$port"
    export LRF_TEST_PORT_LINK="$ports/com$port"
fi

# Start the Wine server here, detached from our output: one started by the program
# would inherit ctest's pipes and keep them open for seconds after the test ends
# (and print its object dump into them when it exits). It stays 10 s after
# its last program, so that one test after another does not start it anew.
"$wineserver" -p10 </dev/null >/dev/null 2>&1 3>&- 8>&- || true

# The program's output goes through a file: the Wine session's own processes, which
# the program may start, inherit its output and outlive it, and would hold ctest's
# pipes open until the session ends.
out=$(mktemp "$build/wine-run.XXXXXX")
status=0
LD_PRELOAD="$host/libptymodem.so${LD_PRELOAD:+:$LD_PRELOAD}" "$wine" "$@" </dev/null >"$out" 2>&1 3>&- 8>&- ||
    status=$?
cat "$out"
# A program that crashes loses what it buffered for a file, and Wine itself says
# nothing with its debug output off: the status is then all there is to go on.
if [[ $status != 0 ]]; then
    echo "wine-run: $(basename "$1") ended with status $status after printing $(wc -c <"$out") bytes" >&2
fi
rm -f "$out"
exit $status
