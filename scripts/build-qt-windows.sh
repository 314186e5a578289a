#!/usr/bin/env bash
# Builds Qt for 64-bit Windows (mingw-w64) from Debian's own source packages and
# installs it into a cache folder outside the work tree:
#   ~/.cache/lrfcontrol/qt-<version>-mingw   (LRF_QT_WINDOWS names another)
# SQLite, which Debian's qtbase source leaves out, is built from Debian's sqlite3
# source and given to Qt's SQLite driver. Nothing comes from anywhere but Debian's
# archive. Does nothing when the folder already holds a build of the same versions.
#
# Only qtbase is built, with what the programs load: Core, Gui, Widgets, Sql (SQLite
# driver), PrintSupport, Test, the windows and offscreen platforms and the vista
# style. Debian's archive does not serve the sources of qtsvg and qtcharts here; the
# Windows programs do without them (the chart window says so).
#
# Prints the folder's path as its last line. JOBS sets the build's parallelism.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
jobs=${JOBS:-$(nproc)}

qt_version=$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null | sed 's/[+-].*//')
if [[ -z "$qt_version" ]]; then
    echo "build-qt-windows: qt6-base-dev is not installed (run scripts/install-deps.sh test)" >&2
    exit 1
fi
prefix=${LRF_QT_WINDOWS:-$HOME/.cache/lrfcontrol/qt-$qt_version-mingw}
work=${LRF_QT_WINDOWS_WORK:-$HOME/.cache/lrfcontrol/qt-$qt_version-mingw-work}

# The stamp names the source versions and this script's own contents, so a change
# of either builds anew.
stamp_text() {
    echo "qtbase $(dpkg-query -W -f='${Version}' qt6-base-dev)"
    echo "sqlite3 $(dpkg-query -W -f='${Version}' libsqlite3-0 2>/dev/null || echo none)"
    sha256sum "$here/build-qt-windows.sh" | cut -d' ' -f1
}
if [[ -f "$prefix/lrf-build.stamp" ]] && [[ "$(cat "$prefix/lrf-build.stamp")" == "$(stamp_text)" ]]; then
    echo "build-qt-windows: $prefix holds this build already"
    echo "$prefix"
    exit 0
fi

# Source packages need a deb-src entry for the archive and suites the machine already uses.
ensure_deb_src() {
    if apt-get source --download-only --print-uris qt6-base >/dev/null 2>&1; then
        return
    fi
    echo "build-qt-windows: adding deb-src entries beside the machine's deb entries"
    local added=0
    if [[ -f /etc/apt/sources.list.d/debian.sources ]]; then
        sed -e 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
            >/etc/apt/sources.list.d/lrfcontrol-deb-src.sources
        added=1
    fi
    if [[ -f /etc/apt/sources.list ]] && grep -q '^deb ' /etc/apt/sources.list; then
        sed -n 's/^deb /deb-src /p' /etc/apt/sources.list >/etc/apt/sources.list.d/lrfcontrol-deb-src.list
        added=1
    fi
    [[ $added == 1 ]] || { echo "build-qt-windows: no deb entry to copy" >&2; exit 1; }
    apt-get update -qq
}

fetch_source() { # package, into folder
    local pkg=$1 dir=$2
    mkdir -p "$dir"
    (cd "$dir" && apt-get source --download-only -qq "$pkg" >/dev/null)
}

ensure_deb_src
rm -rf "$work"
mkdir -p "$work/src" "$prefix"
start=$(date +%s)

echo "build-qt-windows: SQLite from Debian's sqlite3 source"
fetch_source sqlite3 "$work/src"
mkdir -p "$work/sqlite"
tar -xf "$work"/src/sqlite3_*.orig.tar.xz -C "$work/sqlite" --strip-components=1
(
    cd "$work/sqlite"
    # The amalgamation is made on the build machine (tclsh), then cross-compiled.
    ./configure --disable-tcl >/dev/null
    make -s sqlite3.c >/dev/null
    x86_64-w64-mingw32-gcc-posix -O2 -DSQLITE_THREADSAFE=1 -DSQLITE_ENABLE_COLUMN_METADATA \
        -DSQLITE_ENABLE_FTS5 -DSQLITE_ENABLE_JSON1 -DSQLITE_DEFAULT_FOREIGN_KEYS=0 \
        -c sqlite3.c -o sqlite3.o
    x86_64-w64-mingw32-ar rcs libsqlite3.a sqlite3.o
    mkdir -p "$prefix/include" "$prefix/lib"
    cp sqlite3.h sqlite3ext.h "$prefix/include/"
    cp libsqlite3.a "$prefix/lib/"
)

echo "build-qt-windows: qtbase $qt_version from Debian's qt6-base source"
fetch_source qt6-base "$work/src"
mkdir -p "$work/qtbase"
tar -xf "$work"/src/qt6-base_*.orig.tar.xz -C "$work/qtbase" --strip-components=1

cat >"$work/toolchain.cmake" <<'EOF'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF
cp "$work/toolchain.cmake" "$prefix/lrf-toolchain.cmake"

off=()
for f in dbus network concurrent xml opengles2 tabletevent \
    sql_odbc sql_psql sql_mysql sql_oci sql_db2 sql_ibase \
    system_zlib system_pcre2 system_harfbuzz system_freetype system_png system_jpeg \
    system_doubleconversion system_libb2 system_textmarkdownreader; do
    off+=("-DFEATURE_$f=OFF")
done
cmake -G Ninja -S "$work/qtbase" -B "$work/build" \
    -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
    -DINPUT_openssl=no \
    -DFEATURE_sql=ON -DFEATURE_sql_sqlite=ON -DFEATURE_system_sqlite=ON \
    -DSQLite3_INCLUDE_DIR="$prefix/include" -DSQLite3_LIBRARY="$prefix/lib/libsqlite3.a" \
    -DFEATURE_printsupport=ON -DFEATURE_testlib=ON -DFEATURE_accessibility=ON \
    "${off[@]}" >"$work/configure.log" 2>&1 || {
    tail -40 "$work/configure.log" >&2
    exit 1
}
cmake --build "$work/build" -j "$jobs" >"$work/build.log" 2>&1 || {
    tail -40 "$work/build.log" >&2
    exit 1
}
cmake --install "$work/build" >/dev/null

stamp_text >"$prefix/lrf-build.stamp"
rm -rf "$work"
echo "build-qt-windows: built in $(($(date +%s) - start)) s"
echo "$prefix"
