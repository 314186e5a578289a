#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for a bounded time each.
set -euo pipefail
build=${1:-build-fuzz}
seconds=${2:-20}
found=0
for f in "$build"/fuzz/fuzz_*; do
    [[ -x "$f" && -f "$f" ]] || continue
    found=1
    name=$(basename "$f")
    corpus=$(mktemp -d)
    seeds="fuzz/corpus/${name#fuzz_}"
    [[ -d "$seeds" ]] && cp "$seeds"/* "$corpus"/ 2>/dev/null || true
    echo "== $name for ${seconds}s"
    "$f" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 "$corpus"
    rm -rf "$corpus"
done
[[ $found -eq 1 ]] || { echo "no fuzz targets in $build/fuzz" >&2; exit 1; }
