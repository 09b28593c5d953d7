#!/usr/bin/env bash
# End-to-end checks of the real client under Xvfb; run inside the lab network:
#   scripts/lab run -- tests/e2e/client_e2e.sh BIN_DIR CASE
# Cases: smoke, single-instance, stale-token, log-file; lab-journal (through scripts/with-lab).
set -euo pipefail
bin=$(cd "$1" && pwd); case_name=$2
work=$(mktemp -d /tmp/kora-e2e.XXXXXX)
mkdir -p "$work/tmp" "$work/a" "$work/b"
export TMPDIR=$work/tmp QT_QPA_PLATFORM=xcb
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; for f in "$work"/*.log; do echo "--- $f"; tail -n 20 "$f"; done; exit 1; }

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(cat "$work/display")"

start_client() { # dir log -> pid in $client_pid
    (cd "$1" && exec "$bin/kora" >"$2" 2>&1) &
    client_pid=$!
    pids+=("$client_pid")
}
type_login() { # user password: into the focused login page of $client_pid, then Enter
    local window
    window=$(xdotool search --all --onlyvisible --pid "$client_pid" --name '^KORA$' | head -n 1)
    [ -n "$window" ] || fail "no window"
    xdotool windowfocus --sync "$window"
    sleep 0.3
    xdotool type --delay 20 "$1"
    xdotool key Tab
    xdotool type --delay 20 "$2"
    xdotool key Return
}
wait_for_line() { # log text seconds
    for _ in $(seq $(( $3 * 10 ))); do grep -q "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done
    return 1
}

case "$case_name" in
smoke)
    start_client "$work/a" "$work/a.log"
    wait_for_line "$work/a.log" "first frame" 30 || fail "no first frame"
    grep -q 'KROA.exe start!' "$work/a.log" || fail "no start line"
    sleep 1
    "$bin/kora-grab" "$work/shot.png" --check-not-blank || fail "screenshot blank"
    kill -0 "$client_pid" || fail "client died"
    [ -z "$(ls -A "$work/a/log")" ] || fail "a log file was written without enableLog"
    echo "PASS smoke"
    ;;
single-instance)
    start_client "$work/a" "$work/a.log"; first=$client_pid
    wait_for_line "$work/a.log" "first frame" 30 || fail "first instance has no frame"
    start_client "$work/b" "$work/b.log"; second=$client_pid
    box=$(timeout 20 xdotool search --sync --all --onlyvisible --name '^Error$' | head -n 1) || fail "no message box"
    # The refused copy opened no socket and no client window.
    if ss -uanp 2>/dev/null | grep -q "pid=$second,"; then fail "second instance opened a UDP socket"; fi
    shown=$(xdotool search --all --onlyvisible --pid "$second" --name '.' | sort -u)
    [ "$shown" = "$box" ] || fail "the refused copy shows windows other than its message box: $shown"
    xdotool windowfocus --sync "$box" key Return
    for _ in $(seq 100); do kill -0 "$second" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$second" 2>/dev/null && fail "second instance still running"
    wait "$second"; rc=$?
    [ "$rc" -eq 0 ] || fail "second instance exit code $rc"
    grep -q "first frame" "$work/b.log" && fail "second instance showed a window"
    kill -0 "$first" || fail "first instance died"
    echo "PASS single-instance"
    ;;
stale-token)
    start_client "$work/a" "$work/a.log"; first=$client_pid
    wait_for_line "$work/a.log" "first frame" 30 || fail "no first frame"
    kill -9 "$first"; wait "$first" 2>/dev/null || true
    start_client "$work/b" "$work/b.log"
    wait_for_line "$work/b.log" "first frame" 30 || fail "a crashed instance blocks the next start"
    grep -q "removed the instance token" "$work/b.log" || fail "stale token not reported"
    echo "PASS stale-token"
    ;;
log-file)
    mkdir -p "$work/a/data"
    printf '[Local]\nenableLog=true\n' >"$work/a/data/control.ini"
    start_client "$work/a" "$work/a.log"
    file="$work/a/log/$(date +%F)-log.txt"
    wait_for_line "$file" "first frame" 30 || fail "no first frame in the log file"
    # Native lines carry the quoted trace prefix, QML lines the time/function wrapper;
    # every line ends in CR LF.
    grep -aqP '^\[Debug\]\t"\[\d\d:\d\d:\d\d:\d{3} main \d+\]" KROA.exe start!\r$' "$file" \
        || fail "start line format"
    grep -aqP '^\[Debug\]\t\[\d\d:\d\d:\d\d:\d{3} Function:onCompleted \d+\] main window complete\r$' "$file" \
        || fail "QML line format"
    [ "$(grep -c $'\r$' "$file")" -eq "$(wc -l <"$file")" ] || fail "a line without CR LF"
    grep -q "first frame" "$work/a.log" && fail "diagnostics still go to stderr"
    echo "PASS log-file"
    ;;
lab-journal)
    # Run through scripts/with-lab: the simulated installation hears the client start up.
    [ -n "${KORA_LAB_WORK:-}" ] || fail "needs scripts/with-lab"
    journal=$KORA_LAB_WORK/journal.jsonl
    start_client "$work/a" "$work/a.log"
    wait_for_line "$work/a.log" "first frame" 30 || fail "no first frame"
    me="\"src\":\"$KORA_LAB_CLIENT_IP:"
    wait_for_line "$journal" '"dst":"255.255.255.255:41234".*"text":"start"' 10 || fail "the lab did not hear the start broadcast"
    grep '"text":"start"' "$journal" | grep -q "$me" || fail "start came from elsewhere"
    wait_for_line "$journal" '"dir":"out".*"peer":"discovery".*rsearch' 10 || fail "the discovery peer did not answer the search"
    grep '"dst":"239.255.255.250:1901"' "$journal" | grep -q "$me" || fail "no search from the client"
    wait_for_line "$work/a.log" "ssdp answer from \"${KORA_LAB_DEVICE_IP%.*}.7\"" 10 || fail "the client did not receive the answer"
    echo "PASS lab-journal"
    ;;
ui-login|locked-out)
    # An operator types the account into the login page and presses Enter.
    [ -n "${KORA_LAB_WORK:-}" ] || fail "needs scripts/with-lab"
    journal=$KORA_LAB_WORK/journal.jsonl
    if [ "$case_name" = locked-out ]; then
        # Five failures ten seconds ago, left by an earlier run of the program.
        mkdir -p "$work/a/data"
        printf '[Local]\nenableLog=true\nloginfail=5\nlogintime=%s\n' "$(( $(date +%s) - 10 ))" >"$work/a/data/control.ini"
    fi
    diagnostics=$work/a.log
    [ "$case_name" = locked-out ] && diagnostics="$work/a/log/$(date +%F)-log.txt"
    start_client "$work/a" "$work/a.log"
    wait_for_line "$diagnostics" "first frame" 30 || fail "no first frame"
    type_login admin "Admin#2024"
    if [ "$case_name" = locked-out ]; then
        wait_for_line "$diagnostics" 'login fail:' 10 || fail "the login was not refused"
        sleep 1.5
        grep -q '{GetNodes2}' "$journal" && fail "a locked-out login scanned"
        echo "PASS locked-out"
        exit 0
    fi
    wait_for_line "$journal" '"peer":"group 224.168.1.1".*"text":"{GetNodes2}"' 10 || fail "no scan after pressing Enter"
    wait_for_line "$journal" '"peer":"host-node".*"text":"{DownloadFile;1;' 10 || fail "no download request"
    wait_for_line "$work/a.log" 'ServerLogin\|localIp "'"$KORA_LAB_CLIENT_IP"'"' 5 || fail "the login did not use the typed page"
    echo "PASS ui-login"
    ;;
cached-login)
    # A first start logs in against the lab, so the package and its pictures are cached; the
    # next start shows that design's login page before any controller is asked.
    [ -n "${KORA_LAB_WORK:-}" ] || fail "needs scripts/with-lab"
    start_client "$work/a" "$work/a.log"
    wait_for_line "$work/a.log" "first frame" 30 || fail "no first frame"
    type_login admin "Admin#2024"
    wait_for_line "$work/a.log" 'unzipImage.*image.zip:' 20 || fail "the pictures were not unpacked"
    wait_for_line "$work/a.log" 'ImServerApi::analyzNewDesignJson' 10 || fail "no design was built"
    kill "$client_pid"; wait "$client_pid" 2>/dev/null || true
    [ -s "$work/a/image/login_bg.png" ] || fail "no cached login picture"

    start_client "$work/a" "$work/b.log"
    wait_for_line "$work/b.log" "open new design success!" 30 || fail "the cached design was not opened"
    sleep 1.5
    "$bin/kora-grab" "$work/cached.png" >/dev/null || fail "no screenshot"
    # The 1280x800 screen shows the 1920x1080 design at 2/3 scale, 40 pixels from the top:
    # screen x,y is design 1.5x, 1.5(y-40). These points lie in the background picture.
    for point in "30 100" "1250 700" "100 700" "1200 120"; do
        set -- $point
        expected=$("$bin/kora-grab" - --from "$work/a/image/login_bg.png" --pixel $(( $1 * 3 / 2 )) $(( ($2 - 40) * 3 / 2 )) | tail -n 1)
        "$bin/kora-grab" - --from "$work/cached.png" --expect "$1" "$2" "$expected" 12 | tail -n 1
        [ "${PIPESTATUS[0]}" -eq 0 ] || fail "the login page does not show the design's background at $1,$2"
    done
    # The design's user name box (design 860,400 360x44, filled #0d1b2a) is drawn in its place.
    "$bin/kora-grab" - --from "$work/cached.png" --expect 700 321 '#0d1b2a' 12 | tail -n 1
    [ "${PIPESTATUS[0]}" -eq 0 ] || fail "the design's user name box is not shown"
    echo "PASS cached-login (screenshot $work/cached.png)"
    ;;
*) fail "unknown case $case_name" ;;
esac
