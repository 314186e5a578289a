#!/usr/bin/env bash
# The Windows programs as a user on Windows meets them, under Wine and Xvfb:
#  1. the test suites of the Windows build (ctest preset "mingw");
#  2. the installer installed silently (/S) into a fresh Wine prefix;
#  3. the installed lrfcontrol.exe started with a pseudo-terminal instrument (the
#     Linux build's lrfsim) mapped as COM5, clicked like an operator: Open COM, a
#     2100-shot continuous run, the automatic save at 2000 records checked (2000
#     lines after the header, CR LF), Exit, the other 100 records saved;
#  4. lrfmeasure.exe, 100 shots to a CSV file, against the Linux lrfmeasure on the
#     same instrument: the lines equal but for the time stamp; then a unit checked
#     against a test plan (--simulate --plan --report): PASS and its report;
#  5. the end of the user's session (wineboot --end-session) while records wait:
#     every one of them written.
#   check-windows.sh [linux-build] [mingw-build]
# Needs the Linux build (lrfsim, lrfmeasure), `make windows`, Wine, Xvfb and
# xdotool (scripts/packages). Prints what it checks; exits 1 on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."
linux=$(realpath "${1:-build}")
mingw=$(realpath "${2:-build-mingw}")
work=$mingw/windows-check
rm -rf "$work"
mkdir -p "$work"

fail() {
    echo "windows-check: FAILED: $*" >&2
    # What the screen showed then (a message box, a window that stopped).
    if [[ -n "${DISPLAY:-}" ]] && command -v import >/dev/null; then
        import -window root "$work/failed.png" 2>/dev/null &&
            echo "windows-check: the screen at the failure: $work/failed.png" >&2
    fi
    exit 1
}
pass() { echo "windows-check: ok: $*"; }

wine=$(command -v wine64 || true)
[[ -n "$wine" ]] || wine=/usr/lib/wine/wine64
wineserver=$(command -v wineserver || true)
[[ -n "$wineserver" ]] || wineserver=/usr/lib/wine/wineserver
installer=$(ls -t "$mingw"/packages/lrfcontrol-*-windows-x64.exe 2>/dev/null | head -1)
[[ -f "$installer" ]] || fail "no installer in $mingw/packages (make windows)"
qt=$(sed -n 's/^LRF_QT_WINDOWS:[A-Z]*=//p' "$mingw/CMakeCache.txt")

# --- 1. the test suites under Wine ----------------------------------------------------
start=$(date +%s)
if [[ "${LRF_CHECK_SUITES:-1}" == 0 ]]; then
    echo "windows-check: test suites skipped (LRF_CHECK_SUITES=0)"
elif ! LRF_QT_WINDOWS=$qt ctest --preset mingw -j "${JOBS:-2}" --timeout 180 --output-on-failure \
    >"$work/ctest.log" 2>&1; then
    sed -n '/The following tests FAILED:/,$p' "$work/ctest.log"
    fail "test suites under Wine (the whole output in $work/ctest.log)"
else
    pass "test suites under Wine: $(grep -E 'tests passed' "$work/ctest.log" | tail -1) ($(($(date +%s) - start)) s)"
fi

# --- the Wine prefix, the display and the instrument ------------------------------------
# A program that crashes ends at once: Wine's debugger, started without a
# terminal, would wait for ever.
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
unset WINEPATH QT_PLUGIN_PATH
"$wine" wineboot --init >/dev/null 2>&1 || true
"$wine" reg add 'HKLM\Software\Wine\Ports' /v COM5 /t REG_SZ /d "$work/com5" /f >/dev/null 2>&1
"$wineserver" -w

host=$mingw/wine-host
cmake -S tests/wine -B "$host" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$host" >/dev/null
modem=$host/libptymodem.so

Xvfb -displayfd 3 -screen 0 1280x1024x24 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
sim=
program=
cleanup() {
    kill ${program:-} ${sim:-} 2>/dev/null || true
    "$wineserver" -k 2>/dev/null || true
    kill $xvfb 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 100); do [[ -s "$work/display" ]] && break; sleep 0.05; done
export DISPLAY=:$(cat "$work/display")

start_instrument() {
    # A real instrument sends its bytes at the line's pace whatever the computer
    # does; on a loaded machine the simulated one must not be the part that is
    # late, so it runs ahead of the programs (where the user may raise priorities).
    coproc SIM { exec nice -n -10 "$linux/src/sim/lrfsim" 2>"$work/sim.log"; }
    read -r device <&"${SIM[0]}"
    sim=$SIM_PID
    ln -sfn "$device" "$work/com5"
}
paces=()
stop_instrument() { # [label]: keeps the instrument's pace of the run under that label
    kill -TERM "$sim" 2>/dev/null || true
    wait "$sim" 2>/dev/null || true
    sim=
    if [[ -n "${1:-}" ]]; then
        paces+=("$(printf '%-24s %s' "$1" "$(sed -n 's/^lrfsim: pace: //p' "$work/sim.log")")")
    fi
}
winpath() { echo "Z:${1//\//\\}"; }
records_in() { tail -n +2 "$1" | wc -l; }
journal_lines() { sqlite3 "${2:-$work/journal.sqlite}" "SELECT count(*) FROM lines" 2>/dev/null || echo 0; }
wait_for_lines() { # n [journal]: the journal holds n lines (each answered shot is one)
    for _ in $(seq 3000); do
        [[ $(journal_lines x "${2:-$work/journal.sqlite}") -ge $1 ]] && return 0
        sleep 0.1
    done
    return 1
}

# --- 2. the installer ---------------------------------------------------------------------
"$wine" "$installer" /S '/D=C:\lrfcontrol' >/dev/null 2>&1
"$wineserver" -w
installed=$WINEPREFIX/drive_c/lrfcontrol
[[ -f "$installed/bin/lrfcontrol.exe" && -f "$installed/bin/lrfmeasure.exe" ]] ||
    fail "the installer did not install the programs into C:\\lrfcontrol"
[[ -f "$installed/bin/platforms/qwindows.dll" && -f "$installed/bin/sqldrivers/qsqlite.dll" ]] ||
    fail "the installer did not install Qt's plugins"
[[ -f "$installed/Uninstall.exe" ]] || fail "no uninstaller"
shortcut=$(find "$WINEPREFIX/drive_c" -name 'LRF Control.lnk' | head -1)
[[ -n "$shortcut" ]] || fail "no Start-menu entry"
version=$("$wine" "$installed/bin/lrfmeasure.exe" --version 2>/dev/null | tr -d '\r')
expected=$(basename "$installer" | sed 's/^lrfcontrol-\(.*\)-windows-x64\.exe$/lrfmeasure \1/')
[[ "$version" == "$expected" ]] || fail "lrfmeasure.exe --version says '$version', the installer '$expected'"
pass "installed silently: programs, Qt plugins, uninstaller, Start-menu entry; $version"

# --- 3. the window program, a 2100-shot run -------------------------------------------------
mkdir -p "$work/cwd"
export LRF_JOURNAL
LRF_JOURNAL=$(winpath "$work/journal.sqlite")
start_instrument
start_program() { # log
    (cd "$work/cwd" && LD_PRELOAD=$modem exec "$wine" "$installed/bin/lrfcontrol.exe" >"$1" 2>&1) &
    program=$!
    for _ in $(seq 150); do
        xdotool search --name "Professional laser" >/dev/null 2>&1 && break
        sleep 0.2
    done
    xdotool search --name "Professional laser" >/dev/null 2>&1 || fail "no main window"
    sleep 1
}
window_origin() {
    eval "$(xdotool search --name "Professional laser" getwindowgeometry --shell | head -4)"
    echo "$X $Y"
}
click() { # x y, relative to the main window's client area
    read -r ox oy < <(window_origin)
    xdotool mousemove $((ox + $1)) $((oy + $2)) click 1
    sleep 0.3
}
type_into() {
    click "$1" "$2"
    xdotool key ctrl+a
    xdotool type --delay 30 "$3"
    sleep 0.2
}
start_program "$work/program.log"
type_into 100 99 COM5 # the port box
type_into 320 291 2100 # Continuous times
click 76 151          # Open COM
click 220 156         # Continuous Testing (distance)
if command -v import >/dev/null; then import -window root "$work/running.png"; fi
autosave=
for _ in $(seq 6000); do
    for f in "$work"/cwd/*.csv; do
        [[ -f $f ]] && [[ $(wc -l <"$f") -ge 2001 ]] && autosave=$f
    done
    [[ -n $autosave ]] && break
    sleep 0.1
done
[[ -n $autosave ]] || fail "no automatic save file of 2000 records"
sleep 0.5
lines=$(wc -l <"$autosave")
crlf=$(grep -c $'\r$' "$autosave" || true)
[[ $lines == 2001 && $crlf == 2001 ]] || fail "automatic save: $lines lines, $crlf with CR LF"
header=$(head -1 "$autosave" | tr -d '\r')
pass "automatic save $(basename "$autosave"): header '$header', 2000 records, CR LF"
# The other 100 shots, then Exit.
wait_for_lines 2100 || fail "the journal holds $(journal_lines) of 2100 records"
click 83 294 # Exit
for _ in $(seq 100); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
kill -0 "$program" 2>/dev/null && fail "the program did not end at Exit"
program=
stop_instrument "lrfcontrol.exe (Wine)"
total=0
for f in "$work"/cwd/*.csv; do total=$((total + $(records_in "$f"))); done
replies=$(grep -o '[0-9]* replies' "$work/sim.log" | cut -d' ' -f1)
[[ $total == 2100 && $replies == 2100 ]] ||
    fail "after Exit: $total records in $(ls "$work"/cwd/*.csv | wc -l) files, $replies replies"
pass "Exit: the other 100 records saved; 2100 records, 2100 replies"

# --- 4. lrfmeasure.exe beside the Linux lrfmeasure ----------------------------------------
start_instrument
LD_PRELOAD=$modem timeout 300 "$wine" "$installed/bin/lrfmeasure.exe" --port COM5 --distance --count 500 \
    --csv "$(winpath "$work/windows.csv")" >"$work/lrfmeasure.log" 2>&1 ||
    fail "lrfmeasure.exe: $(tr -d '\r' <"$work/lrfmeasure.log")"
stop_instrument "lrfmeasure.exe (Wine)"
start_instrument
# The Linux program keeps its own journal: the Windows path above means nothing to it.
LRF_JOURNAL=$work/linux-journal.sqlite \
    "$linux/app/measure/lrfmeasure" --port "$(readlink "$work/com5")" --distance --count 500 \
    --csv "$work/linux.csv" 2>>"$work/lrfmeasure.log"
stop_instrument "lrfmeasure (Linux)"
# Every column but the time stamp (the eighth).
cut -d, -f1-7,9- "$work/windows.csv" >"$work/windows.cut"
cut -d, -f1-7,9- "$work/linux.csv" >"$work/linux.cut"
cmp -s "$work/windows.cut" "$work/linux.cut" || {
    diff "$work/windows.cut" "$work/linux.cut" | head
    fail "lrfmeasure.exe and lrfmeasure wrote different lines"
}
pass "lrfmeasure.exe: 500 records, the same lines as the Linux build's but for the time stamp"

# --- 4b. lrfmeasure.exe checks a unit against a test plan and writes its report ------------
status=0
timeout 300 "$wine" "$installed/bin/lrfmeasure.exe" --simulate \
    --plan "$(winpath "$PWD/docs/plans/simulator.plan")" --code SN-0042 \
    --report "$(winpath "$work/reports")" >"$work/plan.log" 2>&1 || status=$?
verdict=$(tr -d '\r' <"$work/plan.log" | grep -m1 -E 'PASS|MARGINAL|FAIL' || true)
[[ $status == 0 ]] || fail "lrfmeasure.exe --plan: exit status $status: $(tr -d '\r' <"$work/plan.log")"
reports=$(ls "$work"/reports/SN-0042_*.pdf "$work"/reports/SN-0042_*.html 2>/dev/null | wc -l)
[[ $reports == 2 ]] || fail "lrfmeasure.exe --plan: $reports report files, not a PDF and an HTML page"
# The page's text must be there, not blank glyphs: a platform without fonts draws boxes.
pdftotext "$(ls "$work"/reports/SN-0042_*.pdf)" - | grep -q 'SN-0042' ||
    fail "lrfmeasure.exe --plan: the report's PDF has no readable text"
pass "lrfmeasure.exe --plan: '$verdict', exit status 0, the report as PDF (its text readable) and HTML"

# --- 5. the end of the session ----------------------------------------------------------------
rm -f "$work"/cwd/*.csv "$work"/journal.sqlite*
start_instrument
start_program "$work/session.log"
type_into 100 99 COM5
type_into 320 291 150
click 76 151
click 220 156
wait_for_lines 150 || fail "the journal holds $(journal_lines) of 150 records"
"$wine" wineboot --end-session >/dev/null 2>&1 || true
for _ in $(seq 100); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
program=
stop_instrument
total=0
for f in "$work"/cwd/*.csv; do [[ -f $f ]] && total=$((total + $(records_in "$f"))); done
[[ $total == 150 ]] || fail "end of session: $total of 150 records written"
pass "end of the session: all 150 records written"

# --- 6. the Linux window program's run on the same display, for the figures --------------
start_instrument
mkdir -p "$work/linux-cwd"
(cd "$work/linux-cwd" && LRF_JOURNAL=$work/linux-window.sqlite QT_QPA_PLATFORM=xcb \
    exec "$linux/app/lrfcontrol" >"$work/linux-program.log" 2>&1) &
program=$!
for _ in $(seq 150); do
    xdotool search --name "Professional laser" >/dev/null 2>&1 && break
    sleep 0.2
done
sleep 1
type_into 100 99 "$(readlink "$work/com5")"
type_into 320 291 2100
click 76 151
click 220 156
wait_for_lines 2100 "$work/linux-window.sqlite" ||
    fail "the Linux window program: $(journal_lines x "$work/linux-window.sqlite") of 2100 records"
click 83 294
for _ in $(seq 100); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
program=
stop_instrument "lrfcontrol (Linux)"

echo "windows-check: continuous distance runs, seen from the instrument (load average $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores):"
printf '  %s\n' "${paces[@]}"
for line in "${paces[@]}"; do
    min=$(sed -n 's/.* min \([0-9.]*\) ms.*/\1/p' <<<"$line")
    awk -v m="$min" 'BEGIN { exit !(m >= 10.0) }' || fail "a pause under 10 ms: $line"
done
pass "no pause after a reply under 10 ms"
echo "windows-check: passed"
