#!/usr/bin/env bash
# An alarm flood from the lab's event source: COUNT distinct audio alarms spread over SPREAD_MS
# on the event group while the operator switches pages. Prints, per press during the flood,
# the time from the press to the page's switch (its "page shown" log line), their median and
# largest, and the client's resident memory before and after the flood. Run inside the lab
# by scripts/bench-alarms, which serves the lab sample.
#   alarm_flood.sh BIN_DIR COUNT SPREAD_MS
set -euo pipefail
bin=$(cd "$1" && pwd); count=$2; spread=$3
work=$(mktemp -d /tmp/kora-bench-alarms.XXXXXX)
mkdir -p "$work/a"
export TMPDIR=$work QT_QPA_PLATFORM=xcb
fail() { echo "FAIL: $*"; grep -i "page\|alarm\|warn" "$work/a.log" | tail -n 12; exit 1; }
. "$(dirname "$0")/../scripts/xclient.sh"
trap 'stop_started; rm -rf "$work"' EXIT
# A screen on which the 460-pixel alarm panel, centred at the top, leaves the "Wall A" and
# "Room" navigation buttons of the sample's header free to press.
start_xvfb 2560x1440 "$work"
letterbox 2560 1442 1920 1080
start_client "$work/a" "$work/a.log"
wait_for_line "$work/a.log" "first frame" 30 || fail "no first frame"
type_login admin "Admin#2024"
wait_for_line "$work/a.log" "first page frame" 30 || fail "no first page"
sleep 3
rss() { awk '/^VmRSS/ { print $2 }' "/proc/$client_pid/status"; }
now_ms() { echo $(( $(date +%s%N) / 1000000 % 86400000 )); }
before=$(rss)
"$bin/kora-lab" --control "$KORA_LAB_WORK/control.sock" --command \
    '{"cmd":"alarm","kind":"ActiveAudio","name":"Flood","eventID":"f","next_time":5,"count":'"$count"',"spreadMs":'"$spread"'}' >/dev/null \
    || fail "the lab did not take the flood"
start=$(now_ms)
# The "Room" and "Wall A" navigation buttons in turn, every 400 ms of the flood, pressed by one
# process that reports when it pressed.
coproc press { "$(dirname "$0")/xpress.py"; }
latencies=()
page=b
while [ $(( $(now_ms) - start )) -lt $(( spread - 300 )) ]; do
    sleep 0.4
    shown=$(grep -c "page shown:" "$work/a.log" || true)
    if [ "$page" = b ]; then x=1250; else x=772; fi
    echo "$(screen_x $x) $(screen_y 45)" >&"${press[1]}"
    read -r pressed <&"${press[0]}" || fail "no press"
    for _ in $(seq 200); do [ "$(grep -c "page shown:" "$work/a.log" || true)" -gt "$shown" ] && break; sleep 0.01; done
    [ "$(grep -c "page shown:" "$work/a.log" || true)" -gt "$shown" ] || fail "the press at $pressed switched no page"
    at=$(grep "page shown:" "$work/a.log" | tail -n 1 | grep -o 'at ms [0-9]*' | grep -o '[0-9]*$')
    latencies+=($(( at - pressed )))
    if [ "$page" = b ]; then page=a; else page=b; fi
done
sleep 1
after=$(rss)
cards=$(grep -c "alarm panel: more than" "$work/a.log" || true)
sorted=$(printf '%s\n' "${latencies[@]}" | sort -n)
n=${#latencies[@]}
echo "flood of $count alarms over $spread ms: $n presses, press to page switch (ms): $(echo $sorted | tr '\n' ' ')"
echo "median $(echo "$sorted" | sed -n "$(( (n + 1) / 2 ))p") ms, largest $(echo "$sorted" | tail -n 1) ms"
echo "resident memory: $(( before / 1024 )) MB before, $(( after / 1024 )) MB after, growth $(( (after - before) / 1024 )) MB; panel-full notice logged $cards time(s)"
