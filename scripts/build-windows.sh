#!/usr/bin/env bash
# The Windows build of every program: Qt for Windows (built once from Debian's
# sources and cached, scripts/build-qt-windows.sh), the mingw cross-build
# (preset "mingw"), then the installer and the portable zip in
# build-mingw/packages. Prints the packages' paths at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-$(nproc)}

qt=$(JOBS=$jobs scripts/build-qt-windows.sh | tail -1)
export LRF_QT_WINDOWS=$qt
cmake --preset mingw -DLRF_QT_WINDOWS="$qt" >/dev/null
cmake --build --preset mingw -j "$jobs"
rm -f build-mingw/packages/lrfcontrol-*
(cd build-mingw && cpack -G "NSIS;ZIP" >/dev/null)
ls -l build-mingw/packages/lrfcontrol-*.exe build-mingw/packages/lrfcontrol-*.zip
