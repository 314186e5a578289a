#!/usr/bin/env bash
# Runs every benchmark program of a build; each prints its own figures.
set -euo pipefail
build=${1:-build}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
for b in $(find "$build/bench" -type f -executable -name 'bench_*' | sort); do
    echo "== $(basename "$b")"
    "$b"
done
