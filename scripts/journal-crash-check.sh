#!/usr/bin/env bash
# The whole program under Xvfb against the separate simulated instrument (lrfsim),
# clicked like an operator would with xdotool: a continuous run of SHOTS shots is
# ended from outside, then the program is started again in the same working folder.
#   journal-crash-check.sh [build] [SHOTS] [ending...]
# Endings: kill-after (kill -9 once the run is over), kill-during (kill -9 in the
# middle), term-during (SIGTERM in the middle), save-kill-MS (kill -9 MS
# milliseconds after the file of the automatic save at record 2000 appears; the run
# has at least 2100 shots then). Prints, for each, the replies the instrument sent,
# the CSV files and their records, and the message of the next start; for
# save-kill, also records found twice and empty or part files left.
# Needs xvfb, xdotool and sqlite3 (scripts/packages/test.txt); takes pictures with
# imagemagick's import where it is installed.
set -euo pipefail
build=$(realpath "${1:-build}")
shots=${2:-1500}
shift $(($# < 2 ? $# : 2))
endings=("${@:-kill-after kill-during term-during}")
read -r -a endings <<<"${endings[*]}"

top=$(mktemp -d /tmp/journal-check.XXXXXX)
# A display number that is free: Xvfb picks it and writes it out.
Xvfb -displayfd 5 -screen 0 1280x1024x24 5>"$top/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [[ -s $top/display ]] && break; sleep 0.1; done
display=:$(head -1 "$top/display")
sim=
program=
trap 'kill $xvfb ${sim:-} ${program:-} 2>/dev/null || true' EXIT
export DISPLAY=$display QT_QPA_PLATFORM=xcb
sleep 1

# The main window sits at (338, 324); the controls, from its design, relative to it.
click() { xdotool mousemove $((338 + $1)) $((324 + $2)) click 1; sleep 0.3; }
type_into() { click "$1" "$2"; xdotool key ctrl+a; xdotool type --delay 20 "$3"; sleep 0.2; }
# Pictures where imagemagick is installed.
shoot() { if command -v import >/dev/null; then import -window root "$1"; fi; }
records_in() { tail -n +2 "$1" | wc -l; }

start_program() { # folder log
    (cd "$1" && exec "$build/app/lrfcontrol" >"$2" 2>&1) &
    program=$!
    for _ in $(seq 50); do
        xdotool search --name "Professional laser" >/dev/null 2>&1 && break
        sleep 0.2
    done
    sleep 1
}

for ending in "${endings[@]}"; do
    dir=$top/$ending
    mkdir -p "$dir/cwd"
    export LRF_JOURNAL=$dir/journal.sqlite
    coproc SIM { exec "$build/src/sim/lrfsim" 2>"$dir/sim.log"; }
    read -r device <&"${SIM[0]}"
    sim=$SIM_PID

    start_program "$dir/cwd" "$dir/program.log"
    type_into 100 99 "$device"    # the port box
    run_shots=$shots
    [[ $ending == save-kill-* ]] && ((run_shots < 2100)) && run_shots=2100
    type_into 320 291 "$run_shots" # Continuous times
    click 76 151                  # Open COM
    click 220 156                 # Continuous Testing (distance)
    started=$(date +%s.%N)
    case $ending in
    kill-after) sleep $((shots / 60 + 5)) ;;
    save-kill-*)
        # The first entry of the folder is the automatic save's (part) file.
        until [[ -n $(ls -A "$dir/cwd") ]]; do sleep 0.001; done
        sleep "$(awk "BEGIN { print ${ending#save-kill-} / 1000 }")"
        ;;
    *) sleep $((shots / 200 + 2)) ;;
    esac
    shoot "$dir/running.png"
    if [[ $ending == term-* ]]; then kill -TERM $program; else kill -KILL $program; fi
    wait $program 2>/dev/null && status=0 || status=$?
    ended=$(date +%s.%N)
    kill -TERM $sim
    wait $sim 2>/dev/null || true
    replies=$(grep -o '[0-9]* replies' "$dir/sim.log" | cut -d' ' -f1)
    before=$(ls "$dir/cwd" | grep -c '\.csv$' || true)

    start_program "$dir/cwd" "$dir/restart.log"
    shoot "$dir/restart.png"
    message=$(xdotool search --onlyvisible --name '^lrfcontrol$' 2>/dev/null | head -1 || true)
    [[ -n $message ]] && { xdotool key --window "$message" Return 2>/dev/null || true; sleep 0.5; }
    kill -TERM $program
    wait $program 2>/dev/null || true

    echo "== $ending: program ended with status $status after $(awk "BEGIN { printf \"%.1f\", $ended - $started }") s"
    echo "   instrument replies: $replies; CSV files before the restart: $before"
    for f in "$dir"/cwd/*.csv; do
        [[ -e $f ]] && echo "   $(basename "$f"): $(records_in "$f") records, last: $(tail -1 "$f" | cut -c1-40)"
    done
    echo "   message box at the restart: $([[ -n $message ]] && echo yes || echo none) (picture: $dir/restart.png)"
    if [[ $ending == save-kill-* ]]; then
        all=$(for f in "$dir"/cwd/*.csv; do tail -n +2 "$f"; done)
        echo "   records in all files: $(grep -c . <<<"$all"), found twice: $(sort <<<"$all" | uniq -d | grep -c . || true)," \
            "empty files: $(find "$dir/cwd" -name '*.csv' -empty | wc -l), part files: $(find "$dir/cwd" -name '.*.part' | wc -l)"
    fi
    sqlite3 "$LRF_JOURNAL" "SELECT '   journal runs: ' || count(*) FROM runs;
        SELECT '   journal lines: ' || count(*) || ', unsaved: ' || (count(*) - count(taken_by)) FROM lines;" 2>/dev/null || true
done
echo "folders: $top"
