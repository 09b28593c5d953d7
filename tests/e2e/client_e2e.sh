#!/usr/bin/env bash
# End-to-end checks of the real client under Xvfb; run inside the lab network:
#   scripts/lab run -- tests/e2e/client_e2e.sh BIN_DIR CASE
# Cases: smoke, single-instance, stale-token, log-file; lab-journal (through scripts/with-lab).
set -euo pipefail
bin=$(cd "$1" && pwd); case_name=$2
work=$(mktemp -d /tmp/kora-e2e.XXXXXX)
mkdir -p "$work/tmp" "$work/a" "$work/b"
# Screenshots of the page cases outlive the run.
artefacts=${KORA_E2E_ARTEFACTS:-/tmp/kora-e2e-artefacts}/$case_name
export TMPDIR=$work/tmp QT_QPA_PLATFORM=xcb
. "$(dirname "$0")/../../scripts/xclient.sh"
# The cases read the client's traces, which are off by default.
export QT_LOGGING_RULES="${QT_LOGGING_RULES:-kora.*.debug=true}"
cleanup() {
    stop_started
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    for f in "$work"/*.log; do echo "--- $f"; tail -n 20 "$f"; done
    [ -d "$artefacts" ] && cp "$work"/*.log "$artefacts"/ 2>/dev/null
    exit 1
}

start_xvfb 1280x800 "$work"
# The client's window is as wide as the screen and two pixels higher: the 1920x1080 design
# shows at 2/3 scale, 41 pixels from the top.
letterbox 1280 802 1920 1080
# The administrator logged in through the login page, the first page on screen (after the
# fade-in, slower when the CPU draws it). Sets $journal.
login_to_first_page() {
    [ -n "${KORA_LAB_WORK:-}" ] || fail "needs scripts/with-lab"
    journal=$KORA_LAB_WORK/journal.jsonl
    rm -rf "$artefacts"; mkdir -p "$artefacts"
    echo "screenshots: $artefacts"
    start_client "$work/a" "$work/a.log"
    wait_for_line "$work/a.log" "first frame" 30 || fail "no first frame"
    type_login admin "Admin#2024"
    wait_for_line "$work/a.log" "first page frame" 20 || fail "the first page was not shown"
    sleep 2.5
}
shot() { # name: a screenshot kept as a test artefact
    "$bin/kora-grab" "$artefacts/$1.png" >/dev/null || fail "no screenshot $1"
}
expect_design() { # shot design-x design-y colour what [tolerance]
    local out rc=0
    out=$("$bin/kora-grab" - --from "$artefacts/$1.png" --expect "$(screen_x "$2")" "$(screen_y "$3")" "$4" "${6:-14}") || rc=$?
    echo "$out" | tail -n 1
    [ "$rc" -eq 0 ] || fail "$5 (screenshot $artefacts/$1.png)"
}
# The colour the design's picture (from the client's image folder) has at PX,PY, expected
# at design x,y of the screenshot.
expect_picture() { # shot design-x design-y picture px py what
    local colour
    colour=$("$bin/kora-grab" - --from "$work/a/image/$4" --pixel "$5" "$6" | tail -n 1)
    expect_design "$1" "$2" "$3" "$colour" "$7"
}
# A signal's snapshot at design x,y: the colour of its encoder's pictures (after JPEG and
# scaling, so with a wider tolerance).
expect_signal() { # shot design-x design-y host what
    expect_design "$1" "$2" "$3" "$("$bin/kora-lab" --signal-colour "$4")" "$5" 40
}
# One command to the lab's control socket; WHAT says what failed when it is refused.
lab_command() { # json what
    "$bin/kora-lab" --control "$KORA_LAB_WORK/control.sock" --command "$1" >/dev/null || fail "$2"
}
# Whether the screenshot shows about that colour at design x,y, without failing.
grab_ok() { # shot design-x design-y colour tolerance
    "$bin/kora-grab" - --from "$artefacts/$1.png" --expect "$(screen_x "$2")" "$(screen_y "$3")" "$4" "$5" >/dev/null
}
# COLOUR drawn at OPACITY (0-255) over BACKGROUND, as the renderer blends them (#rrggbb).
over() { # colour opacity background
    local c=${1#\#} b=${3#\#} out="#" i
    for i in 0 2 4; do
        out+=$(printf '%02x' $(( (16#${c:i:2} * $2 + 16#${b:i:2} * (255 - $2) + 127) / 255 )))
    done
    echo "$out"
}
# Screenshots NAME until the rest of the line holds, for at most 10 s.
await_shot() { # name command...
    local name=$1; shift
    for _ in $(seq 40); do
        shot "$name"
        "$@" && return 0
        sleep 0.25
    done
    return 1
}
# A point 10 design units into a 260x70 button picture stretched over a button at bx,by w,h.
expect_button() { # shot bx by bw bh picture what
    expect_picture "$1" $(( $2 + 10 )) $(( $3 + $5 / 2 )) "$6" $(( 10 * 260 / $4 )) 35 "$7"
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
    # The client goes on writing: check a copy's complete lines, not a file that grows
    # between two counts.
    lines=$(wc -l <"$file"); head -n "$lines" "$file" >"$work/log-copy"
    [ "$(grep -c $'\r$' "$work/log-copy")" -eq "$lines" ] || fail "a line without CR LF"
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
pages)
    # An operator logs in, sees the first page, presses a designed button, switches pages and
    # logs out; every step is a screenshot in $artefacts.
    login_to_first_page
    grep -q 'first page shown page-wall-a' "$work/a.log" || fail "the first page is not Wall A"
    shot 1-first-page
    expect_picture 1-first-page 330 1070 bg_main.png 330 1070 "Wall A's background picture is not shown"
    expect_design 1-first-page 100 5 '#16314e' "Wall A's header gradient is not shown"
    expect_button 1-first-page 760 22 170 46 btn_normal.png "the Wall A navigation button is not shown"
    # The wall lists its windows when its page is created.
    wait_for_line "$journal" '"dir":"in".*"text":"{GetWindows;1}"' 3 || fail "wall 1 was not asked for its windows: $(grep -c . "$journal") $(grep "\.20:" "$journal" | head -n 2)"

    click_design 1205 45 # "Room"
    sleep 0.5
    shot 2-room
    expect_picture 2-room 1000 1060 bg_room.png 1000 1060 "the Room page's background picture is not shown"
    expect_button 2-room 70 200 260 70 btn_normal.png "the Room page's projector button is not shown"

    # The level docker's polls (from its reply port 9010) are not the buttons' doing.
    equipment_in() { tail -n +"$marker" "$journal" | grep '"peer":"equipment"' | grep '"dir":"in"' | grep -v '"src":"[0-9.]*:9010"' || true; }
    marker=$(( $(wc -l <"$journal") + 1 ))
    click_design 200 235 # "Projector on"
    for _ in $(seq 30); do equipment_in | grep -q '"hex":"aa5501010001cc"' && break; sleep 0.1; done
    equipment_in | grep -q '"hex":"aa5501010001cc"' || fail "the equipment did not receive the projector's bytes"
    [ "$(equipment_in | wc -l)" -eq 1 ] || fail "one click sent other packets to the equipment: $(equipment_in)"

    marker=$(( $(wc -l <"$journal") + 1 ))
    click_design 760 235 # "Lights on", a latching button
    for _ in $(seq 30); do equipment_in | grep -q 'LIGHT 1 ON' && break; sleep 0.1; done
    equipment_in | grep -q 'LIGHT 1 ON' || fail "the lights' latching button sent nothing"
    sleep 0.3
    shot 3-lights-on
    expect_button 3-lights-on 630 200 260 70 btn_pressed.png "the latching button does not show its pressed look"
    wait_for_line "$journal" '"dir":"in".*"text":"{SetStatus;B_lights_1}"' 3 || fail "the lights' state was not stored"

    click_design 1780 45 # "Log out"
    sleep 0.3
    shot 4-logout-question
    xdotool key Return
    sleep 1
    shot 5-login-page
    # The design's user name box (design 860,400 360x44, filled #0d1b2a) is back.
    expect_design 5-login-page 880 410 '#0d1b2a' "logging out did not show the login page"
    grep -q 'open new design success!' "$work/a.log" || fail "the cached login page was not loaded after logging out"

    # The operator's role has no "Wall B": its navigation button is refused with a dialog.
    type_login operator op2024
    wait_for_line "$work/a.log" "first page shown page-wall-a" 20 || fail "the operator's first page was not shown"
    sleep 3 # the fades take longer when the CPU draws them
    shot 6-operator
    marker=$(( $(wc -l <"$journal") + 1 ))
    click_design 1025 45 # "Wall B"
    sleep 0.3
    shot 7-refused
    # The dialog box (460 wide, #182c42) is in the middle of the window.
    "$bin/kora-grab" - --from "$artefacts/7-refused.png" --expect 430 470 '#182c42' 14 \
        || fail "no dialog for a page the role may not see ($artefacts/7-refused.png)"
    xdotool key Escape
    sleep 0.3
    shot 8-still-wall-a
    expect_picture 8-still-wall-a 330 1070 bg_main.png 330 1070 "a refused page switch left Wall A"
    if tail -n +"$marker" "$journal" | grep '"dir":"in"' | grep -q '"text":"{GetWindows;2}"'; then
        fail "a refused page switch asked wall 2 for its windows"
    fi
    echo "PASS pages (screenshots $artefacts)"
    ;;
wall)
    # An operator drags a signal from Wall A's list onto the wall; a window list changed in
    # the lab (another client) appears on screen.
    login_to_first_page
    shot 1-empty-wall
    # Wall 1 (design 340,170 1280x720) shows its frame picture, as large as the wall.
    expect_picture 1-empty-wall 500 300 wall_frame.png 160 130 "wall 1 is not drawn empty"

    marker=$(( $(wc -l <"$journal") + 1 ))
    # The first tile of the list (design 340,900, six per 1560) up onto the first quadrant.
    xdotool mousemove --sync "$(screen_x 460)" "$(screen_y 980)" mousedown 1
    for step in 960 930 900 860 800 700 600 450 360 330; do
        xdotool mousemove --sync "$(screen_x $(( 460 + (980 - step) / 4 )))" "$(screen_y "$step")"
        sleep 0.03
    done
    sleep 0.2
    shot 2-dragging
    xdotool mouseup 1
    # Wall 1 takes its window commands on the control group (the wall route of the sample).
    decoder_in() { tail -n +"$marker" "$journal" | grep '"dir":"in"' | grep "\"src\":\"$KORA_LAB_CLIENT_IP:" || true; }
    for _ in $(seq 30); do decoder_in | grep -q '{SetWindows;1;' && break; sleep 0.1; done
    sent=$(decoder_in | grep -o '"text":"{SetWindows;1;[^"]*' | head -n 1 || true)
    [ -n "$sent" ] || fail "the drop sent no window command to wall 1"
    echo "$sent" | grep -q ',0,0,1920,1080}$' || fail "the dropped window is not the first quadrant: $sent"
    [ "$(grep -c 'sendCommands.*{SetWindows;1;' "$work/a.log")" -eq 1 ] || fail "one drop sent more than one window command"
    sleep 0.5
    shot 3-dropped
    # The window shows its signal's snapshot: the colour of encoder .30.
    expect_signal 3-dropped 500 300 30 "the dropped window does not show its signal in the first quadrant"

    # Another client puts one window on the last quadrant; the wall's acknowledgement makes
    # the client ask, and the window is drawn.
    net=${KORA_LAB_DEVICE_IP%.*}
    lab_command '{"cmd":"setWindows","wall":"1","windows":["'"$net"'.31-0,udp://239.10.1.31:30310,1920,1080,1920,1080"]}' \
        "the lab did not take the window list"
    lab_command '{"cmd":"send","peer":"decoder-1.1","to":"'"$KORA_LAB_CLIENT_IP"'","port":41234,"text":"{SetWindows;1}"}' \
        "the lab did not send the acknowledgement"
    sleep 1
    shot 4-other-client
    expect_signal 4-other-client 1300 700 31 "the window set by another client does not show its signal"
    expect_picture 4-other-client 500 300 wall_frame.png 160 130 "the replaced window is still drawn"
    echo "PASS wall (screenshots $artefacts)"
    ;;
devices)
    # The signal settings dialog against encoder .30: KVM pointer and keys reach the seat's
    # encoder byte for byte, and the crop the operator types reaches it as "setViCrop".
    login_to_first_page
    net=${KORA_LAB_DEVICE_IP%.*}
    encoder=$net.30
    layouts() { grep -c "signal dialog layout:" "$work/a.log" || true; }
    # The centre of a named control of the dialog, from its latest layout line.
    at() { grep -o "signal dialog layout:.*" "$work/a.log" | tail -n 1 | grep -o " $1=[0-9]*,[0-9]*" | cut -d= -f2 | tr , ' '; }
    click_at() { local p; p=$(at "$1"); [ -n "$p" ] || fail "the dialog shows no $1"; xdotool mousemove --sync $p click 1; }
    await_layout() { # count: a layout line after that many
        for _ in $(seq 50); do [ "$(layouts)" -gt "$1" ] && return 0; sleep 0.1; done
        fail "the dialog did not settle ($2)"
    }
    # Datagrams from the client to the encoder's port, hex, from the marker on.
    to_encoder() { tail -n +"$marker" "$journal" | jq -r --arg d "$encoder:$1" --arg c "$KORA_LAB_CLIENT_IP:" \
        'select(.dir == "in" and .dst == $d and (.src | startswith($c))) | .hex'; }
    await_packets() { # port count what
        for _ in $(seq 50); do [ "$(to_encoder "$1" | wc -l)" -ge "$2" ] && return 0; sleep 0.1; done
        fail "$3 did not reach the encoder (port $1): $(to_encoder "$1" | tr '\n' ' ')"
    }
    n=$(layouts)
    xdotool mousemove --sync "$(screen_x 460)" "$(screen_y 980)" click --repeat 2 --delay 80 1
    await_layout "$n" "opening"
    shot 1-dialog
    marker=$(( $(wc -l <"$journal") + 1 ))
    n=$(layouts); click_at signalDialogKvm; await_layout "$n" "KVM on"
    # A click in the middle of the picture: press and release at the middle of the source's
    # 1920x1080 (no crop yet), to UDP 80 as the encoder's platform is not "fpga_arm".
    click_at signalDialogPicture
    await_packets 80 2 "the click"
    head="736f6674776172653d57ab0401" # "software=" 57 AB 04, and 01 for a seat that is not "fpga_arm"
    mapfile -t clicks < <(to_encoder 80)
    for i in 0 1; do
        p=${clicks[$i]}
        [ "${p:0:26}" = "$head" ] && [ ${#p} -eq 38 ] && [ "${p:36:2}" = 00 ] || fail "not a pointer packet: $p"
        button=$(( 16#${p:26:2} )) x=$(( 16#${p:30:2}${p:28:2} )) y=$(( 16#${p:34:2}${p:32:2} ))
        [ $button -eq $(( i == 0 ? 1 : 0 )) ] || fail "packet $i has button $button: $p"
        [ $(( (x - 960) * (x - 960) + (y - 540) * (y - 540) )) -le 400 ] || fail "the click maps to $x,$y, not the middle"
    done
    marker=$(( $(wc -l <"$journal") + 1 ))
    xdotool type --delay 50 a
    await_packets 80 2 "the key a"
    [ "$(to_encoder 80 | head -n 2 | tr '\n' ' ')" = "736f6674776172653d57ab010000040000000000 736f6674776172653d57ab010000000000000000 " ] \
        || fail "the key a is not press 04 and release: $(to_encoder 80 | tr '\n' ' ')"
    # The crop: typed into the fields, "Apply".
    marker=$(( $(wc -l <"$journal") + 1 ))
    n=$(layouts); click_at signalDialogCrop; await_layout "$n" "crop tool"
    for f in "signalDialogCropX 100" "signalDialogCropY 50" "signalDialogCropWidth 800" "signalDialogCropHeight 600"; do
        set -- $f
        click_at "$1"; xdotool key ctrl+a; xdotool type --delay 30 "$2"
    done
    click_at signalDialogApply
    crop() { tail -n +"$marker" "$journal" | jq -c --arg d "$encoder:12345" \
        'select(.dir == "in" and .dst == $d) | .text | fromjson? | select(.Function == "setViCrop") | .Value'; }
    for _ in $(seq 50); do [ -n "$(crop)" ] && break; sleep 0.1; done
    [ "$(crop | head -n 1)" = '{"channel":"chn0","crop_h":600,"crop_w":800,"crop_x":100,"crop_y":50,"vi_crop_enable":1}' ] \
        || fail "Apply sent no crop of 100,50 800x600: $(crop)"
    shot 2-cropped
    echo "PASS devices (screenshots $artefacts)"
    ;;
alarms)
    # An input alarm from the lab's event source shows on the pages and the operator's answer
    # reaches the event group; an audio alarm closes when another client answers it.
    login_to_first_page
    net=${KORA_LAB_DEVICE_IP%.*}
    lab() { lab_command "$1" "the lab refused $1"; }
    panel() { grep -o "alarm panel layout:.*" "$work/a.log" | tail -n 1; }
    await_panel() { # count what
        for _ in $(seq 50); do panel | grep -q "layout: $1\( \|$\)" && return 0; sleep 0.1; done
        fail "$2 (last: $(panel))"
    }
    marker=$(( $(wc -l <"$journal") + 1 ))
    lab '{"cmd":"alarm","kind":"ActiveInput","src_ip":"'"$net"'.31","next_time":30}'
    await_panel 1 "the input alarm is not shown"
    shot 1-alarm
    # The card's own colour just inside its left edge (the card is 460 wide).
    card=$(panel | grep -o " alarm_input_[^=]*=[0-9]*,[0-9]*" | cut -d= -f2 | tr , ' ')
    [ -n "$card" ] || fail "no input alarm card: $(panel)"
    set -- $card
    out=$("$bin/kora-grab" - --from "$artefacts/1-alarm.png" --expect $(( $1 - 222 )) "$2" "#5a1620" 14) \
        || fail "the alarm card is not drawn: $out"
    select=$(panel | grep -o " alarmSelect=[0-9]*,[0-9]*" | cut -d= -f2 | tr , ' ')
    xdotool mousemove --sync $select click 1
    await_panel 0 "the answered alarm stays"
    answer() { tail -n +"$marker" "$journal" | jq -c --arg c "$KORA_LAB_CLIENT_IP:" \
        'select(.dir == "in" and .dst == "224.169.1.1:41237" and (.src | startswith($c))) | .text | fromjson? | [.response, .data.src_ip, .data.next_time]'; }
    for _ in $(seq 50); do [ -n "$(answer)" ] && break; sleep 0.1; done
    [ "$(answer | head -n 1)" = '["ActiveInput","'"$net"'.31",30]' ] || fail "the answer did not reach the event group: $(answer)"
    # An audio alarm, then another client's answer to it.
    lab '{"cmd":"alarm","kind":"ActiveAudio","name":"Hall microphone","eventID":"7","next_time":10}'
    await_panel 1 "the audio alarm is not shown"
    shot 2-audio
    lab '{"cmd":"alarm","kind":"ActiveAudio","response":true,"eventID":"7"}'
    await_panel 0 "another client's answer did not close the alarm"
    echo "PASS alarms (screenshots $artefacts)"
    ;;
background)
    # A picture chosen through the file dialog after a double click on the bare wall arrives
    # at each of Wall 1's four outputs as the client cut it (MD5s in the lab's journal), at
    # 0% loss, and at 5% loss on the data port, where both copies of a chunk are lost only
    # rarely: the files that arrive complete are intact, and how many did is reported.
    login_to_first_page
    "$bin/kora-grab" "$work/picture.jpg" >/dev/null || fail "no picture to upload"
    # MD5s the client uploaded as bk.jpg, and those the lab stored complete, from a marker on.
    sent_md5() { tail -n +"$logmark" "$work/a.log" | grep -o 'UploadFile.*bk2\?\.jpg.*md5 [0-9a-f]*' | grep -o '[0-9a-f]*$' | sort; }
    stored() { tail -n +"$marker" "$journal" | jq -r 'select(.dir == "event") | .note // empty' | grep '^upload bk2\?\.jpg ' || true; }
    upload() { # what
        marker=$(( $(wc -l <"$journal") + 1 )) logmark=$(( $(wc -l <"$work/a.log") + 1 ))
        local main box
        main=$(client_window)
        xdotool mousemove --sync "$(screen_x 500)" "$(screen_y 300)" click --repeat 2 --delay 80 1
        for _ in $(seq 50); do
            box=$(xdotool search --all --onlyvisible --pid "$client_pid" --name '.' | grep -vx "$main" | head -n 1 || true)
            [ -n "$box" ] && break; sleep 0.1
        done
        [ -n "$box" ] || fail "$1: no file dialog after a double click on the bare wall"
        xdotool windowfocus --sync "$box"; sleep 0.3
        xdotool type --delay 10 "$work/picture.jpg"; xdotool key Return
        # Four outputs, each about 30 chunks twice 10 ms apart: a few seconds.
        for _ in $(seq 300); do [ "$(stored | wc -l)" -ge 4 ] && break; sleep 0.1; done
        [ "$(sent_md5 | wc -l)" -eq 4 ] || fail "$1: the client did not upload four pieces: $(sent_md5 | tr '\n' ' ')"
    }
    upload "0% loss"
    [ "$(stored | grep -c complete)" -eq 4 ] || fail "not every output stored its piece: $(stored)"
    [ "$(stored | grep -o 'md5 [0-9a-f]*' | cut -c5- | sort)" = "$(sent_md5)" ] \
        || fail "the stored pieces differ from the uploaded ones: $(stored) / $(sent_md5 | tr '\n' ' ')"
    shot 1-background
    lab_command '{"cmd":"faults","set":{"seed":5,"inDropFraction":0.05,"inDropPorts":[5000]}}' "the lab did not take the loss"
    upload "5% loss"
    intact=0
    while read -r md5; do
        sent_md5 | grep -qx "$md5" || fail "a piece was stored damaged at 5% loss: $md5"
        intact=$(( intact + 1 ))
    done < <(stored | grep -o 'complete: .*md5 [0-9a-f]*' | grep -o '[0-9a-f]*$')
    echo "5% loss on the data port: $intact of 4 pieces arrived intact; $(stored | grep -c incomplete || true) incomplete"
    echo "PASS background (screenshots $artefacts)"
    ;;
subtitle)
    # A designed "InlineEditSubTitle" button opens the subtitle dialog on Wall 1, the wall's
    # stored state (silver text in the picture form) fills it when it arrives, and Show makes
    # every output of the wall store a picture whose text is not transparent.
    login_to_first_page
    dialog() { grep -o "subtitle dialog layout:.*" "$work/a.log" | tail -n 1; }
    marker=$(( $(wc -l <"$journal") + 1 ))
    xdotool mousemove --sync "$(screen_x 1770)" "$(screen_y 601)" click 1
    for _ in $(seq 50); do dialog | grep -q " osdShow=" && break; sleep 0.1; done
    dialog | grep -q " osdShow=" || fail "the designed button opened no subtitle dialog"
    state='{"obj":"osd","uuid":"1","enable":false,"string":"SILVER 42","fontCol":"#c0c0c0","bkCol":"#000000","x":0,"y":0,"height":80,"fontfamily":"DejaVu Sans","fontsize":36,"middle":false}'
    lab_command "$(jq -cn --arg to "$KORA_LAB_CLIENT_IP" --arg t "{GetClientInfo;\"$state\"}" \
        '{cmd:"send",peer:"decoder-1.1",to:$to,port:41234,text:$t}')" "the lab did not send the stored state"
    wait_for_line "$work/a.log" "the stored state of wall 1 shown" 10 || fail "the stored state did not fill the dialog"
    shot 1-dialog
    at() { dialog | grep -o " $1=[0-9]*,[0-9]*" | cut -d= -f2 | tr , ' '; }
    xdotool mousemove --sync $(at osdShow) click 1
    lit() { tail -n +"$marker" "$journal" | jq -r 'select(.dir == "event") | "\(.peer) \(.note // "")"' \
        | grep '^decoder-1\.[1-4] picture osd1\.yuv: ' || true; }
    await_lit() { # count what
        for _ in $(seq 100); do [ "$(lit | wc -l)" -ge "$1" ] && return 0; sleep 0.1; done
        fail "$2: $(lit)"
    }
    await_lit 4 "not every output of wall 1 stored the silver subtitle"
    [ "$(lit | cut -d' ' -f1 | sort -u | wc -l)" -eq 4 ] || fail "the pictures did not reach the four outputs: $(lit)"
    grep -q 'subtitle picture.*for "1"' "$work/a.log" || fail "the subtitle was not drawn as a picture"
    for _ in $(seq 30); do tail -n +"$marker" "$journal" | grep -q '"text":"{SubtitleOsd;1;' && break; sleep 0.1; done
    tail -n +"$marker" "$journal" | grep -q '"text":"{SubtitleOsd;1;' || fail "the subtitle was not shown after its picture"
    # The same text in white, a colour 12-bit drawing keeps: silver must light as much of it
    # (its glyphs' edges alone would light a few).
    xdotool mousemove --sync $(at osdFontCol) click 1 key ctrl+a type "#ffffff"
    xdotool mousemove --sync $(at osdShow) click 1
    await_lit 8 "the white subtitle did not reach the wall"
    count() { lit | sed -n "$1p" | grep -o ': [0-9]*' | tr -dc 0-9; }
    silver=$(count 1) white=$(count 8)
    echo "lit luma bytes: silver $silver, white $white"
    [ "$white" -gt 0 ] && [ $(( silver * 10 )) -ge $(( white * 9 )) ] \
        || fail "silver text reached the wall mostly transparent: $silver lit against $white in white"
    echo "PASS subtitle (screenshots $artefacts)"
    ;;
pictures)
    # The tiles of Wall A's list show each signal's pictures; once the page is left, the
    # client stops asking the encoders for them.
    login_to_first_page
    # Six cells per 1560 design units from x 340; the pictures' plain band is at y 950.
    for _ in $(seq 40); do
        shot 1-tiles
        ok=1
        for i in 0 1 2 3; do
            "$bin/kora-grab" - --from "$artefacts/1-tiles.png" --expect "$(screen_x $(( 470 + 260 * i )))" \
                "$(screen_y 950)" "$("$bin/kora-lab" --signal-colour $(( 30 + i )))" 40 >/dev/null || ok=0
        done
        [ $ok -eq 1 ] && break
        sleep 0.25
    done
    for i in 0 1 2 3; do
        expect_signal 1-tiles $(( 470 + 260 * i )) 950 $(( 30 + i )) "tile $i does not show encoder .$(( 30 + i ))"
    done
    # While the page shows, the tiles keep asking: encoder .30 gets a registration a second.
    net=${KORA_LAB_DEVICE_IP%.*}
    asked30() { grep '"dir":"in"' "$journal" | grep -c "\"text\":\"udp://$net.30:30304/s\"" || true; }
    first=$(asked30)
    sleep 4
    [ $(( $(asked30) - first )) -ge 3 ] || fail "the tiles stopped asking for .30's pictures while shown"
    # Wall B's monitor plays camera 1's sub-stream once its button points it there.
    click_design 1025 45
    sleep 1
    click_design 1770 1016
    for _ in $(seq 40); do
        shot 2-monitor
        "$bin/kora-grab" - --from "$artefacts/2-monitor.png" --expect "$(screen_x 1770)" "$(screen_y 880)" \
            "$("$bin/kora-lab" --signal-colour 30)" 40 >/dev/null && break
        sleep 0.25
    done
    expect_signal 2-monitor 1770 880 30 "the monitor does not play encoder .30's stream"
    registrations() { # kind: s (snapshots) or v (previews)
        grep '"dir":"in"' "$journal" | grep "\"src\":\"$KORA_LAB_CLIENT_IP:" | grep -c "/$1\"" || true
    }
    [ "$(registrations s)" -gt 0 ] || fail "no snapshot registration reached the encoders"
    [ "$(registrations v)" -gt 0 ] || fail "no preview registration reached the encoders"
    click_design 1205 45 # the "Room" page: no pictures
    # Snapshot streams are asked for at most three more seconds, previews not after leaving
    # (they repeat every 5 s): then nothing.
    sleep 4.5
    snapshots=$(registrations s) previews=$(registrations v)
    sleep 5.5
    [ "$(registrations s)" -eq "$snapshots" ] || fail "snapshot registrations go on after the pages were left"
    [ "$(registrations v)" -eq "$previews" ] || fail "preview registrations go on after the monitor's page was left"
    shot 3-room
    echo "PASS pictures (screenshots $artefacts)"
    ;;
monitoring)
    # Wall B's monitor shows the status encoder .30 reports and a clear look once the encoder
    # falls silent; the Room's level docker draws the level the equipment reports.
    login_to_first_page
    net=${KORA_LAB_DEVICE_IP%.*}
    lab() { lab_command "$1" "the lab refused $1"; }
    # The texts the monitor's strip showed (its rows are joined by no-break spaces), and
    # "CPU TEMPERATURE" of each, then of each report the encoder sent to the client.
    shown() { grep -a -o "monitor wall-b-monitor shows: .*" "$work/a.log" | cut -d' ' -f4- | sed "s/$(printf '\302\240')/ /g"; }
    values() { sed -n 's/^CPU \([0-9.]*\) %.*Temperature \([0-9]*\) °C.*/\1 \2/p'; }
    reports() { jq -r --arg s "$net.30:12345" --arg c "$KORA_LAB_CLIENT_IP:" \
        'select(.dir == "out" and .src == $s and (.dst | startswith($c))) | .text | select(startswith("[sys_msg]"))
         | [capture("CPU: (?<v>[0-9.]+)%").v, capture("Temperature: (?<v>[0-9]+)").v] | join(" ")' "$journal"; }
    picture=$("$bin/kora-lab" --signal-colour 30)
    click_design 1025 45 # "Wall B"
    sleep 1
    click_design 1770 1016 # "Watch camera 1"
    # The encoder is polled every 5 s and its values move: two reports shown in turn, each
    # with the CPU load and temperature of a report the encoder sent.
    for _ in $(seq 300); do [ "$(shown | wc -l)" -ge 2 ] && break; sleep 0.1; done
    [ "$(shown | wc -l)" -ge 2 ] || fail "the monitor did not show two of the encoder's reports: $(shown)"
    [ "$(shown | values | wc -l)" -eq "$(shown | wc -l)" ] || fail "the monitor shows no CPU or temperature: $(shown)"
    sent=$(reports)
    while read -r pair; do
        grep -qx "$pair" <<<"$sent" || fail "the monitor shows CPU and temperature $pair, which the encoder never sent: $(echo $sent)"
    done < <(shown | values)
    echo "the monitor showed CPU and temperature $(shown | values | tr '\n' ',') of the reports $(tr '\n' ',' <<<"$sent")"
    # The strip (#101820 at 0xd8) lies over the bottom of the picture; two pixels into it, left
    # of its text, the encoder's plain colour shows through it.
    strip=$(over '#101820' 216 "$picture")
    for _ in $(seq 40); do
        shot 1-monitor
        { grab_ok 1-monitor 1770 875 "$picture" 40 && grab_ok 1-monitor 1644 951 "$strip" 14; } && break
        sleep 0.25
    done
    expect_signal 1-monitor 1770 875 30 "the monitor does not play encoder .30's stream"
    expect_design 1-monitor 1644 951 "$strip" "the monitor's status strip is not drawn"

    # Silenced, the encoder leaves the client's polls unanswered; after three of them the
    # monitor is covered (#400808 at 0xa0) over the last picture it got.
    marker=$(( $(wc -l <"$journal") + 1 ))
    lab '{"cmd":"faults","set":{"silentPeers":["encoder-1"]}}'
    wait_for_line "$work/a.log" "node \"$net.30\" left 3 status requests unanswered" 45 || fail "the client did not notice the silence"
    polls=$(tail -n +"$marker" "$journal" | jq -c --arg d "$net.30:12345" 'select(.dir == "in" and .dst == $d)' | wc -l)
    [ "$polls" -ge 3 ] || fail "the client gave up on the encoder after $polls unanswered polls"
    cover=$(over '#400808' 160 "$picture")
    for _ in $(seq 40); do
        shot 2-no-answer
        grab_ok 2-no-answer 1666 875 "$cover" 14 && break
        sleep 0.25
    done
    expect_design 2-no-answer 1666 875 "$cover" "the silent encoder's monitor shows no \"No answer\" cover"

    # The Room's level docker (-60 to 0 dB) grows to the right in its bar, which is wider than
    # tall. At 30 % of its width and 40 % down, the lit bar shows the design's gradient there
    # (#1e9e50 at the top, #d8b020 at 70 %, #d03030 at the bottom: 4/7 of the way to the
    # middle stop) and the unlit one a quarter of it over the Audio panel (#10263b).
    click_design 1205 45 # "Room"
    lit=$(over '#d8b020' 146 '#1e9e50')
    unlit=$(over "$lit" 64 '#10263b')
    docker() { grep -a -o "level docker hall-level shows: .*" "$work/a.log" | tail -n 1 | cut -d' ' -f5; }
    hold() { # dB shot colour what: the equipment held at dB, until the docker shows it
        local v marker
        v=$(printf '%04x' $(( $1 & 0xffff )))
        marker=$(( $(wc -l <"$journal") + 1 ))
        answered() { tail -n +"$marker" "$journal" | jq -r 'select(.peer == "equipment" and .dir == "out") | .hex' \
            | grep -c "^aa559001${v:2:2}${v:0:2}cc$" || true; }
        lab '{"cmd":"level","channel":1,"dB":'"$1"'}'
        for _ in $(seq 150); do
            [ "$(answered)" -gt 0 ] && [ "$(docker)" = "$1" ] && break
            sleep 0.1
        done
        [ "$(answered)" -gt 0 ] || fail "the equipment did not answer the held level $1 dB"
        [ "$(docker)" = "$1" ] || fail "the level docker shows $(docker), not the held $1 dB"
        for _ in $(seq 40); do
            shot "$2"
            grab_ok "$2" 560 900 "$3" 14 && break
            sleep 0.25
        done
        expect_design "$2" 560 900 "$3" "$4"
    }
    hold -6 3-level-6dB "$lit" "at -6 dB the level docker's bar is not lit at 30 % of its width"
    hold -54 4-level-54dB "$unlit" "at -54 dB the level docker's bar is still lit at 30 % of its width"
    echo "PASS monitoring (screenshots $artefacts)"
    ;;
stream-faults)
    # The lab's stream faults as an operator sees them: a paused encoder's tile falls back to
    # the placeholder and its picture returns when the encoder resumes; garbage datagrams on
    # the streams change nothing shown; the monitor plays on through a switch to H.265 and to
    # another picture size.
    login_to_first_page
    faults() { lab_command '{"cmd":"faults","reset":true,"set":'"$1"'}' "the lab refused the faults $1"; }
    colour() { "$bin/kora-lab" --signal-colour "$1"; }
    # Tile I of Wall A's list (six per 1560 design units from x 340, plain band at y 950).
    tile_shows() { grab_ok "$1" $(( 470 + 260 * $2 )) 950 "$3" 40; }
    both_tiles() { tile_shows "$1" 0 "$(colour 30)" && tile_shows "$1" 1 "$(colour 31)"; }
    await_shot 1-tiles both_tiles 1-tiles || fail "tiles 0 and 1 do not show encoders .30 and .31"

    # Paused, encoder .30's tile shows the placeholder (dark grey #2c3441 around its camera
    # sign) after three seconds without a picture; the other tiles play on.
    faults '{"stopStreams":[30]}'
    paused() { grab_ok "$1" 380 1000 '#2c3441' 20 && tile_shows "$1" 1 "$(colour 31)"; }
    await_shot 2-paused paused 2-paused || fail "the paused encoder's tile does not fall back to the placeholder ($artefacts/2-paused.png)"
    faults '{}'
    await_shot 3-resumed both_tiles 3-resumed || fail "the resumed encoder's tile does not show its picture again"

    # Garbage among the stream datagrams: refused, and the tiles stay live past the
    # three-second fallback.
    faults '{"streamGarbage":0.3}'
    wait_for_line "$work/a.log" "malformed snapshot datagram" 10 || fail "no garbage datagram reached the snapshot readers"
    sleep 3.5 # longer than the fallback: a reader that stopped on garbage would show the placeholder
    shot 4-garbage
    both_tiles 4-garbage || fail "garbage on the streams took a tile's picture away ($artefacts/4-garbage.png)"
    kill -0 "$client_pid" || fail "the client died on garbage datagrams"
    faults '{}'

    # Wall B's monitor plays camera 1's sub-stream; its noise band (the picture's top rows)
    # changes with every frame, so two screenshots that differ there show frames arriving.
    click_design 1025 45 # "Wall B"
    sleep 1
    click_design 1770 1016 # "Watch camera 1"
    monitor_shows() { grab_ok "$1" 1770 880 "$(colour 30)" 40; }
    await_shot 5-monitor monitor_shows 5-monitor || fail "the monitor does not play encoder .30's stream"
    noise() { # shot: the colours along the noise band
        for x in $(seq 1650 20 1890); do "$bin/kora-grab" - --from "$artefacts/$1.png" --pixel "$(screen_x "$x")" "$(screen_y 843)" | tail -n 1; done
    }
    playing() { # name what: the monitor shows encoder .30 and new frames
        await_shot "$1-a" monitor_shows "$1-a" || fail "the monitor does not show encoder .30 $2"
        sleep 0.3
        shot "$1-b"
        monitor_shows "$1-b" || fail "the monitor does not show encoder .30 $2"
        [ "$(noise "$1-a")" != "$(noise "$1-b")" ] || fail "the monitor's picture stands still $2 ($artefacts/$1-a.png, $1-b.png)"
    }
    playing 6-h264 "before the switch"
    faults '{"codec":{"30:sub":"h265"}}'
    wait_for_line "$work/a.log" "stream codec now H.265" 15 || fail "the monitor's decoder did not follow the switch to H.265"
    playing 7-h265 "after the switch to H.265"
    faults '{"codec":{"30:sub":"h265"},"resolution":{"30:sub":"1280x720"}}'
    sized() { "$bin/kora-lab" --control "$KORA_LAB_WORK/control.sock" --command '{"cmd":"streams"}' \
        | jq -e --arg u "udp://239.10.2.30:30302" '.. | objects | select(.url? == $u and .width? == 1280 and .height? == 720 and .switching? == false)' >/dev/null; }
    for _ in $(seq 50); do sized && break; sleep 0.2; done
    sized || fail "the lab's sub-stream of .30 did not switch to 1280x720"
    playing 8-720p "after the switch to 1280x720"
    echo "PASS stream-faults (screenshots $artefacts)"
    ;;
live-picture)
    # Wall B's monitor on encoder .30's sub-stream as a real network and encoder deliver it:
    # an IDR every 4 s, one datagram in 300 lost, late copies and strays. Asked for a keyframe
    # after every loss (at most once a second), the encoder restarts at one, so the picture
    # never stands still for long, and a picture decoded without its references (another
    # colour than the encoder's) never shows.
    login_to_first_page
    net=${KORA_LAB_DEVICE_IP%.*}
    lab_command '{"cmd":"faults","reset":true,"set":{"gop":{"30:sub":120},"streamDropFraction":0.0034,"streamLateDuplicateFraction":0.05,"streamStrayFraction":0.05,"seed":7}}' "the lab refused the faults"
    colour=$("$bin/kora-lab" --signal-colour 30)
    monitor_shows() { grab_ok "$1" 1770 880 "$colour" 40; }
    click_design 1025 45 # "Wall B"
    watch() { click_design 1770 1016; monitor_shows "$1"; } # "Watch camera 1", again until the page is there
    await_shot 1-playing watch 1-playing || fail "the monitor does not play encoder .30's stream"
    # Ten seconds of the monitor's picture above its status strip, grabbed as often as the
    # screen allows: every grab shows the encoder's colour, and the picture moves (its noise
    # band changes with every frame).
    "$bin/kora-grab" --watch "$(screen_x 1650)" "$(screen_y 840)" "$(( $(screen_x 1890) - $(screen_x 1650) ))" \
        "$(( $(screen_y 890) - $(screen_y 840) ))" 10000 >"$artefacts/watch.txt" || fail "cannot watch the screen"
    want=${colour#\#}
    awk -v r=$((16#${want:0:2})) -v g=$((16#${want:2:2})) -v b=$((16#${want:4:2})) '
        function hex(s, i) { return index("0123456789abcdef", substr(s, i, 1)) - 1 }
        function ch(c, i) { return 16 * hex(c, 2 + 2 * i) + hex(c, 3 + 2 * i) }
        function far(v, w) { return v - w > 40 || w - v > 40 }
        { n++; if ($2 != last) { last = $2; since = $1 } if ($1 - since > still) still = $1 - since
          if (far(ch($3, 0), r) || far(ch($3, 1), g) || far(ch($3, 2), b)) off++ }
        END { printf "monitor: %d grabs, longest stand-still %d ms, off-colour %d\n", n, still, off
              exit (n >= 40 && still <= 500 && off == 0) ? 0 : 1 }' "$artefacts/watch.txt" \
        || fail "the monitor stood still too long or showed another picture ($artefacts/watch.txt)"
    # Key frames were asked of the encoder's own address, never twice within a second.
    asks=$(jq -r --arg d "$net.30:12345" 'select(.dir == "in" and .dst == $d and (.text // "" | contains("insertIDR"))) | .t' "$journal")
    [ -n "$asks" ] || fail "no keyframe was asked of encoder .30"
    echo "$asks" | jq -r -R -s 'split("\n") | map(select(length > 0) | sub("\\.(?<ms>[0-9]+)Z$"; "Z") as $s
            | ($s | fromdateiso8601) + ((capture("\\.(?<ms>[0-9]+)Z$").ms | tonumber) / 1000))
        | [., [range(1; length) as $i | .[$i] - .[$i - 1]]]
        | "keyframe requests: \(.[0] | length), closest \(.[1] | min // "-") s", (.[1] | all(. >= 0.95))' \
        | tee /dev/stderr | tail -n 1 | grep -q true || fail "keyframes asked more than once a second"
    jq -e 'select(.dir == "in" and (.dst | endswith(":12345")) and (.dst | startswith("239.") or startswith("224.")) and (.text // "" | contains("insertIDR")))' "$journal" >/dev/null \
        && fail "a keyframe was asked of a group"
    echo "PASS live-picture (screenshots $artefacts)"
    ;;
wrong-password)
    # A wrong password: the warning is on screen and nothing but the scan (with its start
    # announcement and host query) and the download reaches the installation.
    [ -n "${KORA_LAB_WORK:-}" ] || fail "needs scripts/with-lab"
    journal=$KORA_LAB_WORK/journal.jsonl
    rm -rf "$artefacts"; mkdir -p "$artefacts"
    start_client "$work/a" "$work/a.log"
    wait_for_line "$work/a.log" "first frame" 30 || fail "no first frame"
    type_login admin "wrong-password"
    wait_for_line "$work/a.log" 'login fail:' 20 || fail "the login was not refused"
    sleep 0.4 # inside the 1.4 s flash
    shot 1-warning
    # The warning box (#c0392b at 88%) is centred at 12% of the height.
    "$bin/kora-grab" - --from "$artefacts/1-warning.png" --expect 640 110 '#aa3428' 24 \
        || fail "no warning on screen ($artefacts/1-warning.png)"
    sleep 2
    me="\"src\":\"$KORA_LAB_CLIENT_IP:"
    scan=$(grep -n '"text":"{GetNodes2}"' "$journal" | head -n 1 | cut -d: -f1)
    [ -n "$scan" ] || fail "no scan"
    sent=$(tail -n +"$scan" "$journal" | grep '"dir":"in"' | grep "$me" \
        | grep -v -e '"text":"{GetNodes2}"' -e '"text":"{DownloadFile;' -e '"dst":"239.255.255.250:1901"' \
                  -e '"text":"start"' -e '"text":"{\\"request\\":\\"GetDev\\"}"' || true)
    [ -z "$sent" ] || fail "a refused login sent commands: $(echo "$sent" | head -n 3)"
    grep -q '"text":"{DownloadFile;' "$journal" || fail "no download before the account check"
    echo "PASS wrong-password (screenshot $artefacts/1-warning.png)"
    ;;
legacy)
    # An older controller (kora-lab --legacy): the block-text pages appear on the Design 2.0
    # host, and a two-state button reaches the equipment.
    login_to_first_page
    grep -q 'first page shown 1 ' "$work/a.log" || fail "the first page is not the legacy page 1: $(grep 'first page shown' "$work/a.log")"
    shot 1-first-page
    # Page 1's rectangle (240,96 1664x960, 13,67,89) below the wall, and the global page list.
    expect_design 1-first-page 1000 1010 '#0d4359' "the legacy page's rectangle is not shown"
    expect_design 1-first-page 100 500 '#142034' "the legacy page list is not shown"
    wait_for_line "$journal" '"dir":"in".*"text":"{GetWindows;1}"' 3 || fail "the legacy wall was not asked for its windows"
    # The signal list's first tile shows encoder .30's snapshots.
    expect_signal 1-first-page 400 260 30 "the legacy signal list does not show the signal's snapshot"

    equipment_in() { tail -n +"$marker" "$journal" | grep '"peer":"equipment"' | grep '"dir":"in"' || true; }
    marker=$(( $(wc -l <"$journal") + 1 ))
    click_design 1780 1004 # the projector, a latching two-state button
    for _ in $(seq 30); do equipment_in | grep -q '"hex":"aa5501010001cc"' && break; sleep 0.1; done
    equipment_in | grep -q '"hex":"aa5501010001cc"' || fail "the legacy button did not reach the equipment"
    sleep 0.3
    shot 2-projector-on
    echo "PASS legacy (screenshots in $artefacts)"
    ;;
*) fail "unknown case $case_name" ;;
esac
