#!/usr/bin/env bash
# Checks the Debian package built in a build tree (make deb):
#   - its control data: name, version, computed dependencies, the dialout note;
#   - its contents, listed, with every file where Debian and the desktop expect
#     it and nothing else: programs, man pages, desktop entry, icons, metadata,
#     message catalogues, README, copyright and changelog;
#   - the desktop entry and the AppStream metadata with their validators, and
#     no placeholder address anywhere;
#   - lintian: any error or warning fails;
#   - the programs run from the unpacked package, a prefix of its own: version,
#     and the German error text of a failed port open from its own catalogue.
# With --install (root only) it also installs the package with apt-get, runs the
# installed programs offscreen, and removes the package again together with
# whatever it pulled in, so that the machine is left as it was.
#
#   check-package.sh [BUILD_DIR] [--install]
set -uo pipefail

build=build
install=0
for arg in "$@"; do
    case "$arg" in
    --install) install=1 ;;
    -*)
        echo "usage: $0 [BUILD_DIR] [--install]" >&2
        exit 2
        ;;
    *) build=$arg ;;
    esac
done

env_file="$build/packaging/package.env"
if [[ ! -f "$env_file" ]]; then
    echo "check-package: $env_file is missing: configure the build first" >&2
    exit 2
fi
# shellcheck source=/dev/null
source "$env_file"
shopt -s nullglob
debs=("$build"/packages/"$LRF_PACKAGE"_*.deb)
if [[ ${#debs[@]} -ne 1 ]]; then
    echo "check-package: expected one package in $build/packages, found ${#debs[@]}: run make deb" >&2
    exit 2
fi
deb=$(realpath "${debs[0]}")

passed=0
failed=0
pass() {
    echo "ok:   $1"
    passed=$((passed + 1))
}
fail() {
    echo "FAIL: $1"
    failed=$((failed + 1))
}
check() { # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}

work=$(mktemp -d)
sim_pid=
installed_by_us=0
before_packages="$work/packages-before"

cleanup() {
    if [[ -n "$sim_pid" ]]; then
        kill "$sim_pid" 2>/dev/null
        wait "$sim_pid" 2>/dev/null
    fi
    if [[ $installed_by_us == 1 ]]; then
        remove_installed
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# German texts of the catalogue, as the serial component composes them.
german_open_failure="Die serielle Schnittstelle kann nicht geöffnet werden"
missing_port=/dev/lrf-check-no-such-port

echo "== $deb"

# ---- control data
field() { dpkg-deb --field "$deb" "$1"; }
arch=$(dpkg --print-architecture)
echo "-- control"
dpkg-deb --info "$deb" | sed 's/^/   /'
check "package name is $LRF_PACKAGE" test "$(field Package)" = "$LRF_PACKAGE"
check "version is $LRF_VERSION-1" test "$(field Version)" = "$LRF_VERSION-1"
check "architecture is $arch" test "$(field Architecture)" = "$arch"
depends=$(field Depends)
check "dependencies computed (libc6, Qt 6 widgets) and the journal's SQLite driver" \
    bash -c '[[ "$1" == *libc6* && "$1" == *libqt6widgets6* && "$1" == *libqt6sql6-sqlite* ]]' _ "$depends"
check "no placeholder address in the control data" bash -c '! dpkg-deb --field "$1" | grep -qi "example\.\(org\|com\|net\)"' _ "$deb"
check "description tells of the dialout group" bash -c 'dpkg-deb --field "$1" Description | grep -q dialout' _ "$deb"
dpkg-deb --control "$deb" "$work/control"
check "postinst is executable and tells of dialout" \
    bash -c '[[ -x "$1/postinst" ]] && grep -q dialout "$1/postinst"' _ "$work/control"

# ---- contents
echo "-- contents"
dpkg-deb --contents "$deb" | sed 's/^/   /'
root="$work/root"
dpkg-deb --extract "$deb" "$root"
share=usr/share
expected=()
for p in $LRF_PROGRAMS; do
    expected+=("usr/bin/$p" "$share/man/man1/$p.1.gz")
done
expected+=(
    "$share/applications/$LRF_APP_ID.desktop"
    "$share/metainfo/$LRF_APP_ID.metainfo.xml"
    "$share/icons/hicolor/scalable/apps/$LRF_APP_ID.svg"
    "$share/doc/$LRF_PACKAGE/README.md"
    "usr/lib/udev/rules.d/60-lrfcontrol-latency.rules"
    "$share/doc/$LRF_PACKAGE/copyright"
    "$share/doc/$LRF_PACKAGE/changelog.Debian.gz"
    "$share/lintian/overrides/$LRF_PACKAGE"
)
icon_sizes=(16 22 24 32 48 64 128 256)
for s in "${icon_sizes[@]}"; do
    expected+=("$share/icons/hicolor/${s}x$s/apps/$LRF_APP_ID.png")
done
for lang in $LRF_LANGUAGES; do
    expected+=("$share/locale/$lang/LC_MESSAGES/cport.mo")
done
for f in "${expected[@]}"; do
    check "has /$f" test -f "$root/$f" -a -s "$root/$f"
done
unexpected=$(cd "$root" && find . -type f | sed 's|^\./||' | sort |
    comm -23 - <(printf '%s\n' "${expected[@]}" | sort))
check "nothing else in the package" test -z "$unexpected"
[[ -z "$unexpected" ]] || printf '      unexpected: %s\n' $unexpected

for p in $LRF_PROGRAMS; do
    check "/usr/bin/$p is executable" test -x "$root/usr/bin/$p"
    page="$root/$share/man/man1/$p.1.gz"
    check "man page of $p renders without warnings" \
        bash -c 'out=$(gzip -dc "$1" | groff -man -Tutf8 -ww -z 2>&1) && [[ -z "$out" ]] || { echo "$out"; false; }' _ "$page"
done
png_size() { # width x height from the PNG header
    od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }'
}
for s in "${icon_sizes[@]}"; do
    png="$root/$share/icons/hicolor/${s}x$s/apps/$LRF_APP_ID.png"
    [[ -f "$png" ]] && check "icon ${s}x$s is ${s}x$s pixels" test "$(png_size "$png")" = "${s}x$s"
done
for lang in $LRF_LANGUAGES; do
    check "catalogue $lang holds the component's texts" \
        bash -c 'msgunfmt "$1" | grep -q "^msgid \"Unable to open com port\""' _ "$root/$share/locale/$lang/LC_MESSAGES/cport.mo"
done

# ---- desktop entry and metadata
echo "-- desktop entry and metadata"
desktop="$root/$share/applications/$LRF_APP_ID.desktop"
metainfo="$root/$share/metainfo/$LRF_APP_ID.metainfo.xml"
check "desktop-file-validate passes" desktop-file-validate "$desktop"
check "desktop entry starts a program of the package" \
    bash -c 'exec=$(sed -n "s/^Exec=\([^ ]*\).*/\1/p" "$1"); [[ -x "$2/usr/bin/$exec" ]]' _ "$desktop" "$root"
check "desktop entry names the icon" grep -qx "Icon=$LRF_APP_ID" "$desktop"
check "desktop entry is in Science and Engineering" grep -qx "Categories=Science;Engineering;" "$desktop"
check "appstreamcli validate --no-net passes" appstreamcli validate --no-net "$metainfo"
check "appstreamcli validate-tree --no-net passes (metadata finds its desktop entry)" \
    appstreamcli validate-tree --no-net "$root"
check "metadata names the release $LRF_VERSION" grep -q "<release version=\"$LRF_VERSION\"" "$metainfo"
check "metadata launches the desktop entry" grep -q ">$LRF_APP_ID.desktop</launchable>" "$metainfo"
check "metadata names no placeholder address" bash -c '! grep -rqi "example\.\(org\|com\|net\)" "$1" "$2"' _ "$metainfo" "$work/control"

# ---- lintian: no error and no warning
echo "-- lintian"
lintian_clean() {
    local out status
    out=$(lintian --fail-on error,warning --display-level '>=warning' "$deb" 2>&1)
    status=$?
    [[ -n "$out" ]] && echo "$out" | sed 's/^/      /'
    [[ $status -eq 0 ]]
}
if command -v lintian >/dev/null; then
    check "lintian reports no error and no warning" lintian_clean
else
    fail "lintian is not installed (scripts/packages/test.txt)"
fi

# ---- the unpacked programs, in a prefix of their own
echo "-- programs run from the unpacked package ($root/usr)"
mkdir -m 700 "$work/xdg"
run_env=(env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/xdg" LC_ALL=C.UTF-8 LANGUAGE=de)
for p in $LRF_PROGRAMS; do
    check "$p --version prints $LRF_VERSION" \
        bash -c '[[ "$("$1" --version)" == "$2 $3" ]]' _ "$root/usr/bin/$p" "$p" "$LRF_VERSION"
done
port_check_fails_in_german() { # PROGRAM
    local out status
    out=$("${run_env[@]}" "$1" --check-port "$missing_port" 2>&1)
    status=$?
    echo "      $out (status $status)"
    [[ $status -eq 1 && "$out" == *"$german_open_failure"* ]]
}
check "a failed port open is told in German from the package's catalogue" \
    port_check_fails_in_german "$root/usr/bin/lrfcontrol"
measures() { # PROGRAM ARGS...: three records, a header and status 0
    local out status
    out=$("${run_env[@]}" LRF_JOURNAL="$work/journal.sqlite" "$@" --distance --count 3 2>&1)
    status=$?
    echo "$out" | sed 's/^/      /'
    [[ $status -eq 0 && $(printf '%s\n' "$out" | grep -c ' 123.4,M,') -eq 3 &&
        "$out" == SN,Linear,* ]]
}
check "unpacked lrfmeasure measures the built-in simulator's shots and exits 0" \
    measures "$root/usr/bin/lrfmeasure" --simulate

# ---- installed with apt-get
if [[ $install == 1 ]]; then
    echo "-- installed with apt-get"
    if [[ $(id -u) -ne 0 ]]; then
        fail "installing needs root"
    elif [[ "$(dpkg-query -W -f='${Status}' "$LRF_PACKAGE" 2>/dev/null)" == *" installed" ]]; then
        fail "$LRF_PACKAGE is already installed on this machine: left alone, not tested"
    else
        apt_get() {
            DEBIAN_FRONTEND=noninteractive apt-get -y -q -o DPkg::Lock::Timeout=600 "$@"
        }
        remove_installed() {
            installed_by_us=0
            apt_get purge "$LRF_PACKAGE" >/dev/null
            local pulled
            pulled=$(dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' |
                awk '$1 ~ /^.i/ { print $2 }' | sort | comm -13 "$before_packages" -)
            if [[ -n "$pulled" ]]; then
                echo "      removing what the package pulled in: $pulled"
                # shellcheck disable=SC2086
                apt_get purge $pulled >/dev/null
            fi
        }
        dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' | awk '$1 ~ /^.i/ { print $2 }' |
            sort >"$before_packages"
        installed_by_us=1
        if apt_get install "$deb" >"$work/apt.log" 2>&1; then
            pass "apt-get install $(basename "$deb")"
        else
            fail "apt-get install $(basename "$deb")"
            sed 's/^/      /' "$work/apt.log"
        fi
        check "the installer was told of the dialout group" grep -q 'group "dialout"' "$work/apt.log"
        dpkg -L "$LRF_PACKAGE" 2>/dev/null | while read -r f; do [[ -f "$f" ]] && echo "   $f"; done
        check "lrfcontrol is on the PATH at /usr/bin" test "$(command -v lrfcontrol)" = /usr/bin/lrfcontrol
        check "installed lrfcontrol finds its German catalogue" port_check_fails_in_german /usr/bin/lrfcontrol

        # The installed simulator and the installed program, through a real port.
        coproc SIM { exec /usr/bin/lrfsim 2>/dev/null; }
        sim_pid=$SIM_PID
        device=
        read -r -t 30 device <&"${SIM[0]}"
        opens_simulator() {
            local out status
            out=$("${run_env[@]}" /usr/bin/lrfcontrol --check-port "$device" 2>&1)
            status=$?
            echo "      $out (status $status)"
            # The first line says the port opened; the link line follows it.
            [[ $status -eq 0 && "${out%%$'\n'*}" == "$device: opened" ]]
        }
        check "installed lrfcontrol opens the installed lrfsim's port and exits 0" opens_simulator
        check "installed lrfmeasure measures at the installed lrfsim's port and exits 0" \
            measures /usr/bin/lrfmeasure --port "$device"
        kill "$sim_pid" 2>/dev/null
        wait "$sim_pid" 2>/dev/null
        sim_pid=

        # The windows themselves: started offscreen, still running a while later.
        "${run_env[@]}" /usr/bin/lrfcontrol --simulate >"$work/gui.log" 2>&1 &
        gui_pid=$!
        sleep 3
        check "installed lrfcontrol starts its windows offscreen" kill -0 "$gui_pid"
        kill "$gui_pid" 2>/dev/null
        wait "$gui_pid" 2>/dev/null
        sed 's/^/      /' "$work/gui.log"

        remove_installed
        check "package removed, the machine's packages as before" \
            bash -c 'dpkg-query -W -f="\${db:Status-Abbrev} \${Package}\n" | awk "\$1 ~ /^.i/ { print \$2 }" | sort | cmp -s - "$1"' _ "$before_packages"
    fi
else
    echo "-- not installed (give --install, as root, to install it with apt-get)"
fi

echo
echo "package-check: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
