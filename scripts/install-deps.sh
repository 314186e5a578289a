#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and the
# machine lacks. Does nothing when everything is there.
set -euo pipefail

packages=(
    g++ make cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    gettext fonts-dejavu-core
    clang libclang-rt-14-dev clang-format
)
# Extra packages for the Windows cross-build and its Wine tests; set
# LRF_SKIP_WINDOWS=1 to leave them out.
if [[ "${LRF_SKIP_WINDOWS:-0}" != 1 && -f "$(dirname "$0")/windows-packages.txt" ]]; then
    mapfile -t -O "${#packages[@]}" packages < <(grep -v '^#' "$(dirname "$0")/windows-packages.txt" | sed '/^$/d')
fi

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
