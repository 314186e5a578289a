#!/usr/bin/env bash
# Keeps one Wine server for a whole suite of the cross-build in <build>:
#   wine-server.sh start <build>   before ctest
#   wine-server.sh stop <build>    after it, however it ended
# A Wine server ends its programs when it shuts down after its last one: a test
# program that starts in that moment joins the server that is going, and is ended
# with status 1 before it has printed anything. A server that stays for the whole
# suite never shuts down under a test.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(realpath "${2:?usage: wine-server.sh start|stop <build>}")
export WINEPREFIX="$build/wineprefix"
# The prefix (with its port table) comes before the server: a fresh build has none
# until its first test would make it.
if [[ $1 == start ]]; then
    LRF_WINE_BUILD_DIR="$build" "$here/wine-run.sh" --prepare || exit 0
fi
[[ -f "$WINEPREFIX/.lrf-ports" ]] || exit 0
wineserver=$(command -v wineserver || true)
[[ -n "$wineserver" ]] || wineserver=/usr/lib/wine/wineserver
[[ -x "$wineserver" ]] || exit 0
case $1 in
start) "$wineserver" -p </dev/null >/dev/null 2>&1 || true ;;
stop) "$wineserver" -k </dev/null >/dev/null 2>&1 || true ;;
*) echo "usage: wine-server.sh start|stop <build>" >&2 && exit 2 ;;
esac
