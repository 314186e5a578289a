#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build needs and the machine lacks;
# does nothing when everything is there.
#   install-deps.sh run    what building and running the program needs (make run)
#   install-deps.sh package  that, plus what building the package needs (make deb)
#   install-deps.sh test   that, plus the tests, benchmarks and checks (make test; default)
# The lists are in scripts/packages/. LRF_SKIP_WINDOWS=1 leaves out the Windows
# cross-build and Wine.
set -euo pipefail
here=$(dirname "$0")
mode=${1:-test}

lists=("$here/packages/run.txt")
case "$mode" in
run) ;;
package) lists+=("$here/packages/package.txt") ;;
test)
    lists+=("$here/packages/package.txt" "$here/packages/test.txt")
    [[ "${LRF_SKIP_WINDOWS:-0}" == 1 ]] || lists+=("$here/packages/windows.txt")
    ;;
*)
    echo "usage: $0 [run|package|test]" >&2
    exit 2
    ;;
esac

packages=()
for list in "${lists[@]}"; do
    mapfile -t -O "${#packages[@]}" packages < <(sed -e 's/#.*//' -e 's/[[:space:]]//g' -e '/^$/d' "$list")
done

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if [[ ${#missing[@]} -eq 0 ]]; then
    exit 0
fi

echo "install-deps: missing packages: ${missing[*]}"
if [[ $(id -u) -eq 0 ]]; then
    sudo=()
elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    sudo=(sudo)
else
    echo "install-deps: root rights are needed to install them. Run:" >&2
    echo "    sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
