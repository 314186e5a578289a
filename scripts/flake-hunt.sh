#!/usr/bin/env bash
# Hunts tests that fail by chance: runs the whole ctest suite N times in a row, in
# a random order each time, every second run beside a processor load on every core
# (stress-ng), and prints each test that failed with how often, quiet and loaded.
#   flake-hunt.sh N [build-dir]
# Where the Windows suite is built (build-mingw-core, `make wine-test`), each run
# also runs it under Wine, as `make test` does. The logs of runs with failures stay
# in <build-dir>/flake-hunt/. Exits 1 when any test failed.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:?usage: flake-hunt.sh N [build-dir]}
build=$(realpath "${2:-build}")
jobs=${JOBS:-$(nproc)}
logs=$build/flake-hunt
rm -rf "$logs"
mkdir -p "$logs"
command -v stress-ng >/dev/null || { echo "flake-hunt: stress-ng is missing (scripts/packages/test.txt)" >&2; exit 2; }

load=
# An interrupted hunt leaves neither the load nor the Wine suite's server behind.
trap '[[ -n "$load" ]] && kill "$load" 2>/dev/null; [[ -d build-mingw-core ]] && tests/wine/wine-server.sh stop build-mingw-core; true' EXIT
declare -A quiet loaded
started=$(date +%s)
for ((run = 1; run <= runs; run++)); do
    kind=quiet
    if ((run % 2 == 0)); then
        kind=loaded
        stress-ng --cpu "$(nproc)" --cpu-load 100 --quiet &
        load=$!
    fi
    log=$logs/run-$run-$kind.log
    t0=$(date +%s)
    status=passed
    ctest --test-dir "$build" -j "$jobs" --schedule-random --timeout 600 --output-on-failure \
        >"$log" 2>&1 || status=failed
    if [[ -f build-mingw-core/CTestTestfile.cmake ]]; then
        tests/wine/wine-server.sh start build-mingw-core
        ctest --test-dir build-mingw-core -j "$jobs" --schedule-random --timeout 120 \
            --output-on-failure >>"$log" 2>&1 || status=failed
        tests/wine/wine-server.sh stop build-mingw-core
    fi
    if [[ -n "$load" ]]; then
        kill "$load" 2>/dev/null || true
        wait "$load" 2>/dev/null || true
        load=
    fi
    failed=$(awk '/^The following tests FAILED:/ { on = 1; next }
                  on && /^[[:space:]]+[0-9]+ - / { sub(/^[[:space:]]+[0-9]+ - /, ""); sub(/ \([^)]*\)$/, ""); print; next }
                  { on = 0 }' "$log")
    for name in $failed; do
        if [[ $kind == quiet ]]; then quiet[$name]=$((${quiet[$name]:-0} + 1)); else loaded[$name]=$((${loaded[$name]:-0} + 1)); fi
    done
    printf 'flake-hunt: run %d/%d (%s): %s in %d s, %s; load average %s\n' "$run" "$runs" "$kind" \
        "$status" $(($(date +%s) - t0)) "$(grep -E 'tests passed' "$log" | paste -sd';')" \
        "$(cut -d' ' -f1-3 /proc/loadavg)"
    [[ $status == passed ]] && rm -f "$log"
done

echo "flake-hunt: $runs runs ($(((runs + 1) / 2)) quiet, $((runs / 2)) loaded with stress-ng on $(nproc) cores) in $(($(date +%s) - started)) s, ctest -j $jobs --schedule-random"
names=$(printf '%s\n' "${!quiet[@]}" "${!loaded[@]}" | sort -u | sed '/^$/d')
if [[ -z "$names" ]]; then
    echo "flake-hunt: no test failed"
    exit 0
fi
echo "flake-hunt: tests that failed (quiet runs, loaded runs):"
for name in $names; do
    printf '  %-80s %d %d\n' "$name" "${quiet[$name]:-0}" "${loaded[$name]:-0}"
done
echo "flake-hunt: logs of the failed runs in $logs"
exit 1
