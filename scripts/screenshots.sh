#!/bin/sh
# Makes the pictures of docs/: the main window and the log window during a run,
# at scale 1, under a dark palette and at scale factor 2, each on a virtual X
# server of its own (a free display number, chosen by the server).
# Needs Xvfb and ImageMagick's import; run after a build:
#   scripts/screenshots.sh [build-dir]
set -eu
build=${1:-build}
snapshot="$build/app/lrfcontrol_snapshot"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# shot NAME WIDTHxHEIGHT CROP [VAR=VALUE...]
shot() {
    name=$1 screen=$2 crop=$3
    shift 3
    exec 3>"$work/display"
    Xvfb -displayfd 3 -screen 0 "${screen}x24" -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xvfb=$!
    until [ -s "$work/display" ]; do sleep 0.1; done
    display=":$(cat "$work/display")"
    : >"$work/snap.log"
    env DISPLAY="$display" QT_QPA_PLATFORM=xcb "$@" "$snapshot" 4 >"$work/snap.log" 2>&1 &
    app=$!
    until grep -q ready "$work/snap.log"; do sleep 0.2; done
    sleep 0.5
    DISPLAY="$display" import -window root -crop "$crop" +repage "docs/$name"
    wait "$app"
    kill "$xvfb"
    wait "$xvfb" 2>/dev/null || true
    rm -f "$work/display"
    echo "docs/$name"
}

shot mainwindow.png 1280x1024 790x580+315+300
shot main-dark.png 1280x1024 790x580+315+300 LRF_SNAPSHOT_PALETTE=dark
shot main-scale2.png 1920x1080 1920x1080+0+0 QT_SCALE_FACTOR=2
