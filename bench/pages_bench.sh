#!/usr/bin/env bash
# The operator's pages, measured on the real client under Xvfb (1920x1080) in the lab:
#   - login: from the Enter key of the login page to the first frame of the first page with
#     every widget created, median of RUNS fresh clients (each downloads the whole package);
#     the share of it until the package is read (scan + download) is printed beside it, and
#     the median of the rest (from "package read" to "first page frame");
#   - idle: CPU of the client on its first page over IDLE_S seconds against a bare Qt Quick
#     window measured the same way in the same run, and the frames drawn meanwhile;
#   - memory: resident memory of the client on its first page, against the bare window.
# Run through scripts/bench-pages, which starts kora-lab with the package. With
# PAGES_BENCH_RESULT set, the login median and the median after the package was read (ms)
# are also written to that file as one line "LOGIN AFTER", for the caller to compare.
#   pages_bench.sh BIN_DIR LABEL RUNS IDLE_S
set -euo pipefail
bin=$1; label=$2; runs=$3; idle_s=$4
work=$(mktemp -d /tmp/kora-bench-pages.XXXXXX)
export TMPDIR=$work QT_QPA_PLATFORM=xcb
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"

wait_for_line() { # file text seconds
    for _ in $(seq $(( $3 * 20 ))); do grep -q "$2" "$1" 2>/dev/null && return 0; sleep 0.05; done
    echo "timed out waiting for '$2' in $1" >&2; tail -n 5 "$1" >&2; return 1
}
# Milliseconds of the day of a trace line's "[hh:mm:ss:zzz" stamp.
stamp_ms() {
    grep -m 1 "$2" "$1" | grep -o '\[[0-9][0-9]:[0-9][0-9]:[0-9][0-9]:[0-9][0-9][0-9]' | head -n 1 | tr -d '[' |
        awk -F: '{ print (($1 * 60 + $2) * 60 + $3) * 1000 + $4 }'
}
now_ms() { echo $(( $(date +%s%N) / 1000000 % 86400000 )); }
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
rss_kb() { awk '/^VmRSS/ { print $2 }' "/proc/$1/status"; }
# CPU percent of one core used by PID over SECONDS.
idle_cpu() {
    local a b hz
    hz=$(getconf CLK_TCK)
    a=$(cpu_ticks "$1"); sleep "$2"; b=$(cpu_ticks "$1")
    awk -v d=$(( b - a )) -v s="$2" -v hz="$hz" 'BEGIN { printf "%.2f", 100 * d / (s * hz) }'
}

start_client() { # dir log
    (cd "$1" && QSG_RENDER_TIMING=1 exec "$bin/kora" >"$2" 2>&1) &
    client=$!
    pids+=("$client")
}
login() {
    local window
    window=$(xdotool search --all --onlyvisible --pid "$client" --name '^KORA$' | head -n 1)
    xdotool windowfocus --sync "$window"
    sleep 0.3
    xdotool type --delay 10 admin
    xdotool key Tab
    xdotool type --delay 10 "Admin#2024"
}
frames() { grep -c 'Frame rendered' "$1" || true; }

totals=(); downloads=(); afters=()
for run in $(seq "$runs"); do
    dir=$work/run$run; mkdir -p "$dir"
    start_client "$dir" "$dir.log"
    wait_for_line "$dir.log" "first frame" 30
    login
    pressed=$(now_ms)
    xdotool key Return
    wait_for_line "$dir.log" "first page frame" 60
    shown=$(stamp_ms "$dir.log" "first page frame")
    read_at=$(stamp_ms "$dir.log" "package read")
    totals+=($(( shown - pressed ))); downloads+=($(( read_at - pressed ))); afters+=($(( shown - read_at )))
    built=$(stamp_ms "$dir.log" "pages built")
    echo "run $run: $(( shown - pressed )) ms to the first page: $(( read_at - pressed )) ms until the package was read," \
         "$(( built - read_at )) ms to build the pages, $(( shown - built )) ms to the frame;" \
         "$(grep -o 'first page shown.*items' "$dir.log" | head -n 1)"
    if [ "$run" -lt "$runs" ]; then
        kill "$client"; wait "$client" 2>/dev/null || true
    fi
done
total=$(printf '%s\n' "${totals[@]}" | median)
download=$(printf '%s\n' "${downloads[@]}" | median)
after=$(printf '%s\n' "${afters[@]}" | median)
[ -z "${PAGES_BENCH_RESULT:-}" ] || echo "$total $after" >"$PAGES_BENCH_RESULT"

sleep 3 # the fade-in and the first refreshes
rss=$(rss_kb "$client")
cpu=$(idle_cpu "$client" "$idle_s")
kill "$client"; wait "$client" 2>/dev/null || true

# The same with Qt Quick's OpenGL renderer forced: its frame timing lines count the frames
# drawn while idle (the software renderer, chosen on this machine, prints none).
dir=$work/gl; mkdir -p "$dir"
QT_QUICK_BACKEND=opengl start_client "$dir" "$dir.log"
wait_for_line "$dir.log" "first frame" 30
login
xdotool key Return
wait_for_line "$dir.log" "first page frame" 60
sleep 3
f0=$(frames "$dir.log")
gl_cpu=$(idle_cpu "$client" "$idle_s")
f1=$(frames "$dir.log")
kill "$client"; wait "$client" 2>/dev/null || true

QT_QUICK_BACKEND=software "$bin/bench_baseline_window" >"$work/baseline.log" 2>&1 &
baseline=$!; pids+=("$baseline")
wait_for_line "$work/baseline.log" "first frame" 30
sleep 3
base_rss=$(rss_kb "$baseline")
base_cpu=$(idle_cpu "$baseline" "$idle_s")

echo "== $label =="
echo "login to first page: median ${total} ms of $runs runs (${totals[*]}); until the package was read: median ${download} ms ($(awk -v d="$download" -v t="$total" 'BEGIN { printf "%.0f", 100 * d / t }')% of it); after it: median ${after} ms (${afters[*]})"
echo "idle on the first page over ${idle_s} s: ${cpu}% of one core; bare Qt Quick window: ${base_cpu}%"
echo "idle with the OpenGL renderer forced: ${gl_cpu}% of one core, $(( f1 - f0 )) frames in ${idle_s} s"
echo "resident memory on the first page: $(( rss / 1024 )) MB; bare Qt Quick window: $(( base_rss / 1024 )) MB ($(awk -v a="$rss" -v b="$base_rss" 'BEGIN { printf "%.1f", a / b }')x)"
