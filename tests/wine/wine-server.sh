#!/usr/bin/env bash
# Keeps one Wine server for a whole suite of the cross-build in <build>:
#   wine-server.sh start <build>   before ctest
#   wine-server.sh stop <build>    after it, however it ended
# A Wine server ends its programs when it shuts down after its last one: a test
# program that starts in that moment joins the server that is going, and is ended
# with status 1 before it has printed anything. A server that stays for the whole
# suite never shuts down under a test. Without a prefix yet (the first run makes
# it, see wine-run.sh) this does nothing and each test starts the server itself.
set -euo pipefail
build=$(realpath "${2:?usage: wine-server.sh start|stop <build>}")
export WINEPREFIX="$build/wineprefix"
[[ -f "$WINEPREFIX/.lrf-ports" ]] || exit 0
wineserver=$(command -v wineserver || true)
[[ -n "$wineserver" ]] || wineserver=/usr/lib/wine/wineserver
[[ -x "$wineserver" ]] || exit 0
case $1 in
start) "$wineserver" -p </dev/null >/dev/null 2>&1 || true ;;
stop) "$wineserver" -k </dev/null >/dev/null 2>&1 || true ;;
*) echo "usage: wine-server.sh start|stop <build>" >&2 && exit 2 ;;
esac
