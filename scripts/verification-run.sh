#!/bin/sh
# Three units tested in a row on the whole program under a virtual X server (a
# free display number, chosen by the server), as on a test line: each code
# typed into the LRF Code field with Enter, the embedded simulator's distance
# moved between the units so that they come out PASS, MARGINAL and FAIL.
# Prints one line per unit and the reports written; the picture of the
# verification window after the MARGINAL unit becomes
# docs/verification-panel.png. Needs Xvfb; run after a build:
#   scripts/verification-run.sh [build-dir]
set -eu
build=${1:-build}
driver="$build/app/lrfcontrol_verify_snapshot"
work=$(mktemp -d)
xvfb=
cleanup() {
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

mkdir "$work/plans" "$work/pictures"
cat >"$work/plans/LRF-900-line2.plan" <<'PLAN'
# LRF-900 units on line 2, against the target board at 50 m.
name = LRF-900 at 50 m, line 2
model = LRF-900
reference = 50.0 m
shots = 20
tolerance = 0.5
marginal = 0.2
max_mean_deviation = 0.45
max_stddev = 0.15
max_no_value = 0
PLAN

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
until [ -s "$work/display" ]; do sleep 0.1; done
display=":$(cat "$work/display")"

status=0
DISPLAY="$display" QT_QPA_PLATFORM=xcb "$driver" "$work/plans/LRF-900-line2.plan" \
    "$work/reports" "$work/pictures" || status=$?
echo "reports:"
ls "$work/reports"
cp "$work/pictures/LRF900-0418.png" docs/verification-panel.png
echo "docs/verification-panel.png"
exit "$status"
