#!/usr/bin/env bash
# End-to-end checks of the real client under Xvfb, one case per road an operator takes; run
# on the client side of scripts/with-lab (kora-lab serving tests/walls/lab-package):
#   scripts/with-lab --bin BIN --lab-args "--project PACKAGE" -- tests/e2e/client_e2e.sh BIN CASE
# A case is a function case_NAME below (and a name in tests/e2e/CMakeLists.txt). Nothing
# here sleeps for a fixed time: every step waits for what the lab's journal, the client's log
# or a screenshot shows, within a bound.
set -euo pipefail
# Pipelines end in "grep >/dev/null", not "grep -q": under pipefail a -q that stops reading
# early makes the writer fail with SIGPIPE, and the pipeline with it.
bin=$(cd "$1" && pwd); case_name=$2
work=$(mktemp -d /tmp/kora-e2e.XXXXXX)
mkdir -p "$work/tmp" "$work/a" "$work/b"
# Screenshots outlive the run.
artefacts=${KORA_E2E_ARTEFACTS:-/tmp/kora-e2e-artefacts}/$case_name
rm -rf "$artefacts"; mkdir -p "$artefacts"
export TMPDIR=$work/tmp QT_QPA_PLATFORM=xcb
. "$(dirname "$0")/../../scripts/xclient.sh"
# The cases read the client's traces, which are off by default.
export QT_LOGGING_RULES="${QT_LOGGING_RULES:-kora.*.debug=true}"
trap 'stop_started; rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*"
    for f in "$work"/*.log; do echo "--- $f"; tail -n 20 "$f"; done
    cp "$work"/*.log "$artefacts"/ 2>/dev/null || true
    exit 1
}
[ -n "${KORA_LAB_WORK:-}" ] || fail "needs scripts/with-lab"
journal=$KORA_LAB_WORK/journal.jsonl
net=${KORA_LAB_DEVICE_IP%.*}
me="\"src\":\"$KORA_LAB_CLIENT_IP:"
start_xvfb 1280x800 "$work"
# The client's window is as wide as the screen and two pixels higher: the 1920x1080 design
# shows at 2/3 scale, 41 pixels from the top.
letterbox 1280 802 1920 1080

# ---- Waiting

# Runs the command every 0.1 s until it succeeds; false after SECONDS.
wait_until() { # seconds command...
    local end=$(( $(date +%s%N) + $1 * 1000000000 )); shift
    until "$@"; do
        [ "$(date +%s%N)" -lt "$end" ] || return 1
        sleep 0.1
    done
}
# The command holds on every try for SECONDS.
holds() { # seconds command...
    local end=$(( $(date +%s%N) + $1 * 1000000000 )); shift
    while [ "$(date +%s%N)" -lt "$end" ]; do "$@" || return 1; sleep 0.2; done
}
# Waits until the command's output has not changed for SECONDS (at most 4 x SECONDS).
quiet() { # seconds command...
    local s=$1 last now since end; shift
    last=$("$@"); since=$(date +%s%N); end=$(( since + 4 * s * 1000000000 ))
    while [ "$(date +%s%N)" -lt "$end" ]; do
        sleep 0.2; now=$("$@")
        if [ "$now" != "$last" ]; then last=$now; since=$(date +%s%N)
        elif [ $(( $(date +%s%N) - since )) -ge $(( s * 1000000000 )) ]; then return 0; fi
    done
    return 1
}
has_line() { grep -q "$2" "$1" 2>/dev/null; }
# A datagram from this side to the scan group, once the lab journaled it: whatever the client
# sent before has reached the lab by then.
barrier() {
    local mark="barrier-$RANDOM$RANDOM"
    echo -n "$mark" >/dev/udp/224.168.1.1/41234
    wait_until 10 has_line "$journal" "\"text\":\"$mark\"" || fail "the lab did not hear the barrier $mark"
}
mark_journal() { marker=$(( $(wc -l <"$journal") + 1 )); }
since_mark() { tail -n +"$marker" "$journal" | grep -v '"text":"barrier-' || true; } # the client's own lines
# The journal's datagrams from the client since the marker, to DST (an address:port prefix).
sent_to() { since_mark | jq -r --arg d "$1" --arg c "$KORA_LAB_CLIENT_IP:" \
    'select(.dir == "in" and (.dst | startswith($d)) and (.src | startswith($c))) | .hex // empty'; }
lab_command() { # json what
    "$bin/kora-lab" --control "$KORA_LAB_WORK/control.sock" --command "$1" >/dev/null || fail "$2"
}
faults() { lab_command '{"cmd":"faults","reset":true,"set":'"$1"'}' "the lab refused the faults $1"; }

# ---- Looking at the screen

shot() { "$bin/kora-grab" "$artefacts/$1.png" >/dev/null || fail "no screenshot $1"; }
colour_at() { # shot design-x design-y colour tolerance
    "$bin/kora-grab" - --from "$artefacts/$1.png" --expect "$(screen_x "$2")" "$(screen_y "$3")" "$4" "$5" >/dev/null
}
# The screen shows COLOUR at design x,y within 10 s (screenshot NAME kept).
expect_design() { # shot design-x design-y colour what [tolerance]
    local name=$1 x=$2 y=$3 colour=$4 what=$5 tol=${6:-14}
    shot_shows() { shot "$name"; colour_at "$name" "$x" "$y" "$colour" "$tol"; }
    wait_until 10 shot_shows || fail "$what (screenshot $artefacts/$name.png)"
}
# The colour the design's picture (from the client's image folder) has at PX,PY.
picture_colour() { "$bin/kora-grab" - --from "$work/a/image/$1" --pixel "$2" "$3" | tail -n 1; }
expect_picture() { # shot design-x design-y picture px py what
    expect_design "$1" "$2" "$3" "$(picture_colour "$4" "$5" "$6")" "$7"
}
signal_colour() { "$bin/kora-lab" --signal-colour "$1"; }
# A signal's snapshot at design x,y: its encoder's colour, after JPEG and scaling.
expect_signal() { expect_design "$1" "$2" "$3" "$(signal_colour "$4")" "$5" 40; }
# A point 30 design units into a 260x70 button picture stretched over a button at bx,by w,h
# (inside its border).
expect_button() { # shot bx by bw bh picture what
    expect_picture "$1" $(( $2 + 30 )) $(( $3 + $5 / 2 )) "$6" $(( 30 * 260 / $4 )) 35 "$7"
}
# COLOUR drawn at OPACITY (0-255) over BACKGROUND, as the renderer blends them (#rrggbb).
over() { # colour opacity background
    local c=${1#\#} b=${3#\#} out="#" i
    for i in 0 2 4; do out+=$(printf '%02x' $(( (16#${c:i:2} * $2 + 16#${b:i:2} * (255 - $2) + 127) / 255 ))); done
    echo "$out"
}
# Tile I of Wall A's list (six per 1560 design units from x 340, plain band at y 950).
tile_shows() { colour_at "$1" $(( 470 + 260 * $2 )) 950 "$(signal_colour "$3")" 40; }

# The administrator (or ACCOUNT) logged in through the login page, the first page shown.
login_to_first_page() { # [user password]
    start_client "$work/a" "$work/a.log"
    wait_for_line "$work/a.log" "first frame" 30 || fail "no first frame"
    type_login "${1:-admin}" "${2:-Admin#2024}"
    wait_for_line "$work/a.log" "first page frame" 30 || fail "the first page was not shown"
}
wall_b() { # to Wall B, where its monitor's button shows
    click_design 1025 45
    expect_button wall-b 1660 990 220 52 btn_normal.png "Wall B's monitor button is not shown"
}
# The pages' dialog box (460 wide, #182c42) in the middle of the window.
dialog_shown() { shot "$1"; "$bin/kora-grab" - --from "$artefacts/$1.png" --expect 430 470 '#182c42' 14 >/dev/null; }

# ---- Cases

# Start-up: a window, the start broadcast and discovery search in the lab, the discovery
# peer's answer received, no log file without enableLog. A second copy is refused with a
# message box and opens nothing; once the first is killed, its token does not block the next
# start, which writes the daily log file (enableLog): native lines with the quoted trace
# prefix, QML lines with theirs, CR LF.
case_start() {
    start_client "$work/a" "$work/a.log"; first=$client_pid
    wait_for_line "$work/a.log" "first frame" 30 || fail "no first frame"
    grep -q 'KROA.exe start!' "$work/a.log" || fail "no start line"
    not_blank() { "$bin/kora-grab" "$artefacts/window.png" --check-not-blank >/dev/null; }
    wait_until 10 not_blank || fail "the window stays blank"
    wait_until 10 has_line "$journal" '"dst":"255.255.255.255:41234".*"text":"start"' || fail "the lab did not hear the start broadcast"
    grep '"text":"start"' "$journal" | grep >/dev/null "$me" || fail "start came from elsewhere"
    wait_until 10 has_line "$journal" '"dir":"out".*"peer":"discovery".*rsearch' || fail "the discovery peer did not answer"
    grep '"dst":"239.255.255.250:1901"' "$journal" | grep >/dev/null "$me" || fail "no search from the client"
    wait_for_line "$work/a.log" "ssdp answer from \"$net.7\"" 10 || fail "the client did not receive the answer"
    [ -z "$(ls -A "$work/a/log")" ] || fail "a log file was written without enableLog"

    start_client "$work/b" "$work/b.log"; second=$client_pid
    box=$(timeout 20 xdotool search --sync --all --onlyvisible --name '^Error$' | head -n 1) || fail "no message box"
    if ss -uanp 2>/dev/null | grep >/dev/null "pid=$second,"; then fail "second instance opened a UDP socket"; fi
    shown=$(xdotool search --all --onlyvisible --pid "$second" --name '.' | sort -u)
    [ "$shown" = "$box" ] || fail "the refused copy shows windows other than its message box: $shown"
    xdotool windowfocus --sync "$box" key Return
    gone() { ! kill -0 "$second" 2>/dev/null; }
    wait_until 10 gone || fail "second instance still running"
    wait "$second" || fail "second instance exit code $?"
    ! grep -q "first frame" "$work/b.log" || fail "second instance showed a window"
    kill -0 "$first" || fail "first instance died"

    kill -9 "$first"; wait "$first" 2>/dev/null || true
    mkdir -p "$work/c/data"
    printf '[Local]\nenableLog=true\n' >"$work/c/data/control.ini"
    start_client "$work/c" "$work/c.log"
    file="$work/c/log/$(date +%F)-log.txt"
    wait_for_line "$file" "first frame" 30 || fail "a crashed instance blocks the next start, or no log file"
    grep -q "removed the instance token" "$file" || fail "stale token not reported"
    grep -aqP '^\[Debug\]\t"\[\d\d:\d\d:\d\d:\d{3} main \d+\]" KROA.exe start!\r$' "$file" || fail "start line format"
    grep -aqP '^\[Debug\]\t\[\d\d:\d\d:\d\d:\d{3} Function:onCompleted \d+\] main window complete\r$' "$file" \
        || fail "QML line format"
    # The client goes on writing: check a copy's complete lines, not a file that grows
    # between two counts.
    lines=$(wc -l <"$file"); head -n "$lines" "$file" >"$work/log-copy"
    [ "$(grep -c $'\r$' "$work/log-copy")" -eq "$lines" ] || fail "a line without CR LF"
    ! grep -q "first frame" "$work/c.log" || fail "diagnostics still go to stderr"
}

# A wrong password: the warning shows and nothing but the scan, the host query and the download
# reaches the installation; it is the fifth failure, so the next login, with the right
# password, is locked out without a scan.
case_refused_login() {
    mkdir -p "$work/a/data"
    printf '[Local]\nenableLog=true\nloginfail=4\nlogintime=%s\n' "$(( $(date +%s) - 10 ))" >"$work/a/data/control.ini"
    log="$work/a/log/$(date +%F)-log.txt"
    start_client "$work/a" "$work/a.log"
    wait_for_line "$log" "first frame" 30 || fail "no first frame"
    mark_journal
    type_login admin "wrong-password"
    wait_for_line "$log" 'login fail:' 20 || fail "the login was not refused"
    # The warning box (#c0392b at 88%) is centred at 12% of the height, for 1.4 s.
    warned() { "$bin/kora-grab" "$artefacts/warning.png" >/dev/null && \
               "$bin/kora-grab" - --from "$artefacts/warning.png" --expect 640 110 '#aa3428' 24 >/dev/null; }
    wait_until 2 warned || fail "no warning on screen ($artefacts/warning.png)"
    barrier
    since_mark | grep >/dev/null '"text":"{DownloadFile;' || fail "no download before the account check"
    sent=$(since_mark | grep '"dir":"in"' | grep "$me" | grep -v -e '"text":"{GetNodes2}"' -e '"text":"{DownloadFile;' \
        -e '"dst":"239.255.255.250:1901"' -e '"text":"start"' -e '"text":"{\\"request\\":\\"GetDev\\"}"' || true)
    [ -z "$sent" ] || fail "a refused login sent commands: $(echo "$sent" | head -n 3)"
    mark_journal
    # Typed again until the page takes it (it is busy while it shows the warning).
    locked() { [ "$(grep -c "login fail:" "$log")" -ge 2 ] || { type_login admin "Admin#2024"; false; }; }
    wait_until 15 locked || fail "the locked-out login was not refused"
    barrier
    ! since_mark | grep >/dev/null '{GetNodes2}' || fail "a locked-out login scanned"
}

# The pages: the first one, a designed button to the equipment, a latching button's look and
# stored state, the Room page, logging out to the cached login page, a role that may not see
# Wall B, and a restart that shows the cached design before any controller is asked.
case_pages() {
    login_to_first_page
    grep -q 'first page shown page-wall-a' "$work/a.log" || fail "the first page is not Wall A"
    expect_picture 1-first-page 330 1070 bg_main.png 330 1070 "Wall A's background picture is not shown"
    wait_until 3 has_line "$journal" '"dir":"in".*"text":"{GetWindows;1}"' || fail "wall 1 was not asked for its windows"

    click_design 1205 45 # "Room"
    expect_picture 2-room 1000 1060 bg_room.png 1000 1060 "the Room page's background picture is not shown"
    # The level docker's polls (from its reply port 9010) are not the buttons' doing.
    equipment_in() { since_mark | grep '"peer":"equipment"' | grep '"dir":"in"' | grep -v '"src":"[0-9.]*:9010"' || true; }
    mark_journal
    click_design 200 235 # "Projector on"
    wait_until 3 eval 'equipment_in | grep >/dev/null "\"hex\":\"aa5501010001cc\""' || fail "the equipment did not receive the projector's bytes"
    barrier
    [ "$(equipment_in | wc -l)" -eq 1 ] || fail "one click sent other packets to the equipment: $(equipment_in)"
    mark_journal
    click_design 760 235 # "Lights on", a latching button
    wait_until 3 eval 'equipment_in | grep >/dev/null "LIGHT 1 ON"' || fail "the lights' latching button sent nothing"
    expect_button 3-lights-on 630 200 260 70 btn_pressed.png "the latching button does not show its pressed look"
    wait_until 3 has_line "$journal" '"dir":"in".*"text":"{SetStatus;B_lights_1}"' || fail "the lights' state was not stored"

    click_design 1780 45 # "Log out": its question, answered with its default
    wait_until 5 dialog_shown 4-logout-question || fail "logging out asks nothing ($artefacts/4-logout-question.png)"
    xdotool key Return
    wait_for_line "$work/a.log" "open new design success!" 10 || fail "the cached login page was not loaded after logging out"
    # The design's user name box (design 860,400 360x44, filled #0d1b2a) is back.
    expect_design 4-login-page 880 410 '#0d1b2a' "logging out did not show the login page"

    # The operator's role has no "Wall B": its navigation button is refused with a dialog.
    mark_journal
    type_login operator op2024
    wait_for_line "$work/a.log" "first page shown page-wall-a" 20 || fail "the operator's first page was not shown"
    # The login asks its walls for their windows (all within a second); the refused switch
    # must ask nothing more.
    asked() { since_mark | grep -c '"text":"{GetWindows;' || true; }
    wait_until 10 eval '[ "$(asked)" -gt 0 ]' || fail "the operator's walls were not asked for their windows"
    quiet 1 asked || fail "the operator's walls are asked for their windows without end"
    barrier
    mark_journal
    # "Wall B", clicked again while the page still fades in and takes no clicks.
    refused() { dialog_shown 6-refused || { click_design 1025 45; false; }; }
    wait_until 10 refused || fail "no dialog for a page the role may not see ($artefacts/6-refused.png)"
    xdotool key Escape
    # Wall A's list still shows encoder .30 in its first tile.
    still_wall_a() { shot 7-still-wall-a; tile_shows 7-still-wall-a 0 30; }
    wait_until 10 still_wall_a || fail "a refused page switch left Wall A ($artefacts/7-still-wall-a.png)"
    barrier
    ! since_mark | grep '"dir":"in"' | grep >/dev/null '"text":"{GetWindows;2}"' || fail "a refused page switch asked wall 2 for its windows"

    # A restart shows the cached design's login page (its background and user name box).
    kill "$client_pid"; wait "$client_pid" 2>/dev/null || true
    start_client "$work/a" "$work/b.log"
    wait_for_line "$work/b.log" "open new design success!" 30 || fail "the cached design was not opened"
    expect_picture 8-cached 45 90 login_bg.png 45 90 "the cached login page does not show the design's background"
    expect_design 8-cached 1050 420 '#0d1b2a' "the cached design's user name box is not shown"
}

# A signal dragged from Wall A's list onto the wall becomes one window command; a window list
# set by another client appears on screen.
case_wall() {
    login_to_first_page
    # Wall 1 (design 340,170 1280x720) shows its frame picture, as large as the wall.
    expect_picture 1-empty-wall 500 300 wall_frame.png 160 130 "wall 1 is not drawn empty"
    mark_journal
    # The first tile of the list (design 340,900) up onto the first quadrant, in steps the
    # drag follows.
    xdotool mousemove --sync "$(screen_x 460)" "$(screen_y 980)" mousedown 1
    for step in 960 930 900 860 800 700 600 450 360 330; do
        xdotool mousemove --sync "$(screen_x $(( 460 + (980 - step) / 4 )))" "$(screen_y "$step")"
    done
    xdotool mouseup 1
    # Wall 1 takes its window commands on the control group (the wall route of the sample).
    windows() { since_mark | grep '"dir":"in"' | grep "$me" | grep -o '"text":"{SetWindows;1;[^"]*' || true; }
    wait_until 3 eval '[ -n "$(windows)" ]' || fail "the drop sent no window command to wall 1"
    windows | head -n 1 | grep >/dev/null ',0,0,1920,1080}$' || fail "the dropped window is not the first quadrant: $(windows)"
    barrier
    [ "$(grep -c 'sendCommands.*{SetWindows;1;' "$work/a.log")" -eq 1 ] || fail "one drop sent more than one window command"
    expect_signal 2-dropped 500 300 30 "the dropped window does not show its signal in the first quadrant"
    # Another client puts one window on the last quadrant; the wall's acknowledgement makes
    # the client ask, and the window is drawn.
    lab_command '{"cmd":"setWindows","wall":"1","windows":["'"$net"'.31-0,udp://239.10.1.31:30310,1920,1080,1920,1080"]}' \
        "the lab did not take the window list"
    lab_command '{"cmd":"send","peer":"decoder-1.1","to":"'"$KORA_LAB_CLIENT_IP"'","port":41234,"text":"{SetWindows;1}"}' \
        "the lab did not send the acknowledgement"
    expect_signal 3-other-client 1300 700 31 "the window set by another client does not show its signal"
    expect_picture 3-other-client 500 300 wall_frame.png 160 130 "the replaced window is still drawn"
}

# Pictures: the tiles show each encoder's snapshots and keep asking while shown; a paused
# encoder's tile falls back to the placeholder with its silence mark and returns; garbage
# datagrams take no picture away; the monitor plays camera 1's sub-stream through switches to
# H.265 and 1280x720; off the pages, the encoders are asked for nothing more.
case_pictures() {
    login_to_first_page
    four_tiles() { shot 1-tiles; for i in 0 1 2 3; do tile_shows 1-tiles "$i" $(( 30 + i )) || return 1; done; }
    wait_until 10 four_tiles || fail "the first four tiles do not show encoders .30 to .33 ($artefacts/1-tiles.png)"
    asked30() { grep '"dir":"in"' "$journal" | grep -c "\"text\":\"udp://$net.30:30304/s\"" || true; }
    first=$(asked30)
    wait_until 6 eval '[ $(( $(asked30) - first )) -ge 3 ]' || fail "the tiles stopped asking for .30's pictures while shown"

    # Paused, encoder .30's tile shows the placeholder (#2c3441 around its camera sign) and
    # the silence mark's band (#3c2c08) once three seconds pass without a picture; the others
    # play on.
    faults '{"stopStreams":[30]}'
    paused() { shot 2-paused; colour_at 2-paused 380 1000 '#2c3441' 20 && colour_at 2-paused 355 975 '#3c2c08' 20 && tile_shows 2-paused 1 31; }
    wait_until 10 paused || fail "the paused encoder's tile shows no placeholder or silence mark ($artefacts/2-paused.png)"
    faults '{}'
    both() { shot 3-tiles; tile_shows 3-tiles 0 30 && tile_shows 3-tiles 1 31; }
    wait_until 10 both || fail "the resumed encoder's tile does not show its picture again"
    faults '{"streamGarbage":0.3}'
    wait_for_line "$work/a.log" "malformed snapshot datagram" 10 || fail "no garbage datagram reached the snapshot readers"
    # Junk taken for a piece makes a damaged picture: it is refused, never shown garbled,
    # and the tile keeps its last good one.
    holds 4 both || fail "garbage on the streams took a tile's picture away or garbled it ($artefacts/3-tiles.png)"
    faults '{}'
    wait_until 10 both || fail "the tiles do not show their pictures once the garbage stops ($artefacts/3-tiles.png)"

    # The monitor's noise band (the picture's top rows) changes with every frame, so two
    # screenshots that differ there show frames arriving.
    wall_b
    click_design 1770 1016 # "Watch camera 1"
    noise() { for x in $(seq 1650 20 1890); do "$bin/kora-grab" - --from "$artefacts/$1.png" --pixel "$(screen_x "$x")" "$(screen_y 843)" | tail -n 1; done; }
    playing() { # name what: the monitor shows encoder .30, and new frames
        expect_signal "$1" 1770 880 30 "the monitor does not show encoder .30 $2"
        local band; band=$(noise "$1")
        moved() { shot "$1-next"; colour_at "$1-next" 1770 880 "$(signal_colour 30)" 40 && [ "$(noise "$1-next")" != "$band" ]; }
        wait_until 5 moved "$1" || fail "the monitor's picture stands still $2 ($artefacts/$1.png)"
    }
    playing 4-h264 "before the switch"
    registrations() { grep '"dir":"in"' "$journal" | grep "$me" | grep -c "/$1\"" || true; }
    [ "$(registrations v)" -gt 0 ] || fail "no preview registration reached the encoders"
    faults '{"codec":{"30:sub":"h265"}}'
    wait_for_line "$work/a.log" "stream codec now H.265" 15 || fail "the monitor's decoder did not follow the switch to H.265"
    playing 5-h265 "after the switch to H.265"
    faults '{"codec":{"30:sub":"h265"},"resolution":{"30:sub":"1280x720"}}'
    sized() { "$bin/kora-lab" --control "$KORA_LAB_WORK/control.sock" --command '{"cmd":"streams"}' \
        | jq -e '.. | objects | select(.url? == "udp://239.10.2.30:30302" and .width? == 1280 and .height? == 720 and .switching? == false)' >/dev/null; }
    wait_until 10 sized || fail "the lab's sub-stream of .30 did not switch to 1280x720"
    playing 6-720p "after the switch to 1280x720"

    # The Room shows no pictures: snapshots are asked for at most three more seconds, previews
    # (every 5 s while joined) not at all.
    click_design 1205 45
    quiet 2 registrations s || fail "snapshot registrations go on after the pages were left"
    quiet 6 registrations v || fail "preview registrations go on after the monitor's page was left"
}

# Wall B's monitor on encoder .30's sub-stream as a real network and encoder deliver it: an IDR
# every 4 s, one datagram in 300 lost, late copies and strays. Asked for a keyframe after every
# loss (at most once a second), the encoder restarts at one, so the picture never waits for the
# next IDR, and a picture decoded without its references (another colour than the encoder's)
# never shows. The longest stand-still is printed; the bound only tells a wait for the next IDR
# (up to 4 s, several times in ten) from a request that had to wait out the second since the
# last one (the keyframe asked for was damaged too). The figure itself is bench-video's.
case_live_picture() {
    # The log's times, to set the monitor's waits beside the grabs.
    export QT_MESSAGE_PATTERN='%{time hh:mm:ss.zzz} %{message}'
    login_to_first_page
    faults '{"gop":{"30:sub":120},"streamDropFraction":0.0034,"streamLateDuplicateFraction":0.05,"streamStrayFraction":0.05,"seed":7}'
    colour=$(signal_colour 30)
    click_design 1025 45 # "Wall B"
    # "Watch camera 1", clicked again until the page takes it.
    watch() { click_design 1770 1016; shot 1-playing; colour_at 1-playing 1770 880 "$colour" 40; }
    wait_until 15 watch || fail "the monitor does not play encoder .30's stream ($artefacts/1-playing.png)"
    # Ten seconds of the monitor's picture above its status strip, grabbed as often as the
    # screen allows: every grab shows the encoder's colour, and the picture moves (its noise
    # band changes with every frame). While the monitor says it waits for a key frame, its
    # text covers the picture held: those grabs count as standing still, not as off-colour.
    "$bin/kora-grab" --watch "$(screen_x 1650)" "$(screen_y 840)" "$(( $(screen_x 1890) - $(screen_x 1650) ))" \
        "$(( $(screen_y 890) - $(screen_y 840) ))" 10000 >"$artefacts/watch.txt" || fail "cannot watch the screen"
    want=${colour#\#}
    awk -v r=$((16#${want:0:2})) -v g=$((16#${want:2:2})) -v b=$((16#${want:4:2})) '
        function hex(s, i) { return index("0123456789abcdef", substr(s, i, 1)) - 1 }
        function ch(c, i) { return 16 * hex(c, 2 + 2 * i) + hex(c, 3 + 2 * i) }
        function far(v, w) { return v - w > 40 || w - v > 40 }
        function ms(t) { split(t, p, /[:.]/); return ((p[1] * 60 + p[2]) * 60 + p[3]) * 1000 + p[4] }
        # The log: "hh:mm:ss.zzz monitor wall-b-monitor waits for: keyframe" ... "nothing".
        FILENAME == ARGV[1] {
            if ($2 == "monitor" && $3 == "wall-b-monitor" && $4 == "waits") {
                if ($6 != "nothing") { if (open == "") open = ms($1) }
                else if (open != "") { from[++w] = open; to[w] = ms($1); open = "" }
            }
            next
        }
        # The text shows a frame after the line and goes a frame after the next.
        function waiting(t, i) { for (i = 1; i <= w; i++) if (t >= from[i] - 50 && t <= to[i] + 150) return 1
                                 return open != "" && t >= open - 50 }
        { n++; if (waiting($4)) { waited++ } else {
              if ($2 != last) { last = $2; since = $1 }
              if (far(ch($3, 0), r) || far(ch($3, 1), g) || far(ch($3, 2), b)) off++ }
          if ($1 - since > still) still = $1 - since }
        END { printf "monitor: %d grabs, longest stand-still %d ms, off-colour %d, %d while it said it waits\n", n, still, off, waited
              exit (n >= 40 && still <= 2500 && off == 0) ? 0 : 1 }' "$work/a.log" "$artefacts/watch.txt" \
        || fail "the monitor stood still too long or showed another picture ($artefacts/watch.txt)"
    # Key frames were asked of the encoder's own address, never twice within a second.
    asks=$(jq -r --arg d "$net.30:12345" 'select(.dir == "in" and .dst == $d and (.text // "" | contains("insertIDR"))) | .t' "$journal")
    [ -n "$asks" ] || fail "no keyframe was asked of encoder .30"
    echo "$asks" | jq -r -R -s 'split("\n") | map(select(length > 0) | sub("\\.(?<ms>[0-9]+)Z$"; "Z") as $s
            | ($s | fromdateiso8601) + ((capture("\\.(?<ms>[0-9]+)Z$").ms | tonumber) / 1000))
        | [., [range(1; length) as $i | .[$i] - .[$i - 1]]]
        | "keyframe requests: \(.[0] | length), closest \(.[1] | min // "-") s", (.[1] | all(. >= 0.95))' \
        | tee /dev/stderr | tail -n 1 | grep -x >/dev/null true || fail "keyframes asked more than once a second"
    ! jq -e 'select(.dir == "in" and (.dst | endswith(":12345")) and (.dst | startswith("239.") or startswith("224.")) and (.text // "" | contains("insertIDR")))' \
        "$journal" >/dev/null || fail "a keyframe was asked of a group"
}

# The signal settings dialog against encoder .30: KVM pointer and keys reach the seat's
# encoder byte for byte, and the crop typed reaches it as "setViCrop".
case_devices() {
    login_to_first_page
    encoder=$net.30
    layouts() { grep -c "signal dialog layout:" "$work/a.log" || true; }
    at() { grep -o "signal dialog layout:.*" "$work/a.log" | tail -n 1 | grep -o " $1=[0-9]*,[0-9]*" | cut -d= -f2 | tr , ' '; }
    click_at() { local p; p=$(at "$1"); [ -n "$p" ] || fail "the dialog shows no $1"; xdotool mousemove --sync $p click 1; }
    settled() { local n=$1; shift; "$@"; wait_until 5 eval '[ "$(layouts)" -gt '"$n"' ]' || fail "the dialog did not settle ($*)"; }
    packets() { sent_to "$encoder:$1"; }
    n=$(layouts)
    settled "$n" xdotool mousemove --sync "$(screen_x 460)" "$(screen_y 980)" click --repeat 2 --delay 80 1
    mark_journal
    settled "$(layouts)" click_at signalDialogKvm
    # A click in the middle of the picture: press and release at the middle of the 1920x1080
    # source, to UDP 80 as the encoder's platform is not "fpga_arm".
    click_at signalDialogPicture
    wait_until 5 eval '[ "$(packets 80 | wc -l)" -ge 2 ]' || fail "the click did not reach the encoder: $(packets 80)"
    head="736f6674776172653d57ab0401" # "software=" 57 AB 04, and 01 for a seat that is not "fpga_arm"
    mapfile -t clicks < <(packets 80)
    for i in 0 1; do
        p=${clicks[$i]}
        [ "${p:0:26}" = "$head" ] && [ ${#p} -eq 38 ] && [ "${p:36:2}" = 00 ] || fail "not a pointer packet: $p"
        button=$(( 16#${p:26:2} )) x=$(( 16#${p:30:2}${p:28:2} )) y=$(( 16#${p:34:2}${p:32:2} ))
        [ $button -eq $(( i == 0 ? 1 : 0 )) ] || fail "packet $i has button $button: $p"
        [ $(( (x - 960) * (x - 960) + (y - 540) * (y - 540) )) -le 400 ] || fail "the click maps to $x,$y, not the middle"
    done
    mark_journal
    xdotool type --delay 50 a
    wait_until 5 eval '[ "$(packets 80 | wc -l)" -ge 2 ]' || fail "the key a did not reach the encoder"
    [ "$(packets 80 | head -n 2 | tr '\n' ' ')" = "736f6674776172653d57ab010000040000000000 736f6674776172653d57ab010000000000000000 " ] \
        || fail "the key a is not press 04 and release: $(packets 80 | tr '\n' ' ')"
    mark_journal
    settled "$(layouts)" click_at signalDialogCrop
    for f in "signalDialogCropX 100" "signalDialogCropY 50" "signalDialogCropWidth 800" "signalDialogCropHeight 600"; do
        set -- $f
        click_at "$1"; xdotool key ctrl+a; xdotool type --delay 30 "$2"
    done
    click_at signalDialogApply
    crop() { since_mark | jq -c --arg d "$encoder:12345" 'select(.dir == "in" and .dst == $d) | .text | fromjson? | select(.Function == "setViCrop") | .Value'; }
    wait_until 5 eval '[ -n "$(crop)" ]' || fail "Apply sent no crop"
    [ "$(crop | head -n 1)" = '{"channel":"chn0","crop_h":600,"crop_w":800,"crop_x":100,"crop_y":50,"vi_crop_enable":1}' ] \
        || fail "Apply sent no crop of 100,50 800x600: $(crop)"
    shot 1-cropped
}

# An input alarm from the lab's event source shows and the operator's answer reaches the
# event group; an audio alarm closes when another client answers it.
case_alarms() {
    login_to_first_page
    panel() { grep -o "alarm panel layout:.*" "$work/a.log" | tail -n 1; }
    shows() { panel | grep >/dev/null "layout: $1\( \|$\)"; }
    mark_journal
    lab_command '{"cmd":"alarm","kind":"ActiveInput","src_ip":"'"$net"'.31","next_time":30}' "the lab refused the input alarm"
    wait_until 5 shows 1 || fail "the input alarm is not shown (last: $(panel))"
    card=$(panel | grep -o " alarm_input_[^=]*=[0-9]*,[0-9]*" | cut -d= -f2 | tr , ' ')
    [ -n "$card" ] || fail "no input alarm card: $(panel)"
    set -- $card
    drawn() { shot 1-alarm; "$bin/kora-grab" - --from "$artefacts/1-alarm.png" --expect $(( $1 - 222 )) "$2" "#5a1620" 14 >/dev/null; }
    wait_until 5 drawn "$1" "$2" || fail "the alarm card is not drawn ($artefacts/1-alarm.png)"
    xdotool mousemove --sync $(panel | grep -o " alarmSelect=[0-9]*,[0-9]*" | cut -d= -f2 | tr , ' ') click 1
    wait_until 5 shows 0 || fail "the answered alarm stays (last: $(panel))"
    answer() { since_mark | jq -c --arg c "$KORA_LAB_CLIENT_IP:" \
        'select(.dir == "in" and .dst == "224.169.1.1:41237" and (.src | startswith($c))) | .text | fromjson? | [.response, .data.src_ip, .data.next_time]'; }
    wait_until 5 eval '[ -n "$(answer)" ]' || fail "no answer reached the event group"
    [ "$(answer | head -n 1)" = '["ActiveInput","'"$net"'.31",30]' ] || fail "the answer is not the alarm's: $(answer)"
    lab_command '{"cmd":"alarm","kind":"ActiveAudio","name":"Hall microphone","eventID":"7","next_time":10}' "the lab refused the audio alarm"
    wait_until 5 shows 1 || fail "the audio alarm is not shown"
    lab_command '{"cmd":"alarm","kind":"ActiveAudio","response":true,"eventID":"7"}' "the lab refused the answer"
    wait_until 5 shows 0 || fail "another client's answer did not close the alarm"
}

# A picture chosen in the file dialog after a double click on the bare wall arrives at each
# of Wall 1's four outputs as the client cut it (MD5s in the journal).
case_background() {
    login_to_first_page
    "$bin/kora-grab" "$work/picture.jpg" >/dev/null || fail "no picture to upload"
    sent_md5() { grep -o 'UploadFile.*bk2\?\.jpg.*md5 [0-9a-f]*' "$work/a.log" | grep -o '[0-9a-f]*$' | sort; }
    stored() { since_mark | jq -r 'select(.dir == "event") | .note // empty' | grep '^upload bk2\?\.jpg ' || true; }
    mark_journal
    local main box=""
    main=$(client_window)
    xdotool mousemove --sync "$(screen_x 500)" "$(screen_y 300)" click --repeat 2 --delay 80 1
    dialog_box() { box=$(xdotool search --all --onlyvisible --pid "$client_pid" --name '.' | grep -vx "$main" | head -n 1 || true); [ -n "$box" ]; }
    wait_until 5 dialog_box || fail "no file dialog after a double click on the bare wall"
    xdotool windowfocus --sync "$box"
    xdotool type --delay 10 "$work/picture.jpg"; xdotool key Return
    # Four outputs, each about 30 chunks twice 10 ms apart: a few seconds.
    wait_until 30 eval '[ "$(stored | wc -l)" -ge 4 ]' || fail "the outputs did not all report: $(stored)"
    [ "$(sent_md5 | wc -l)" -eq 4 ] || fail "the client did not upload four pieces: $(sent_md5 | tr '\n' ' ')"
    [ "$(stored | grep -c complete)" -eq 4 ] || fail "not every output stored its piece: $(stored)"
    [ "$(stored | grep -o 'md5 [0-9a-f]*' | cut -c5- | sort)" = "$(sent_md5)" ] || fail "the stored pieces differ from the uploaded ones"
}

# Wall B's monitor shows the CPU and temperature encoder .30 reports and a "No answer" cover
# once it falls silent; the Room's level docker draws the level the equipment reports.
case_monitoring() {
    login_to_first_page
    # The monitor's texts (rows joined by no-break spaces), and "CPU TEMPERATURE" of each, and
    # of each report the encoder sent to the client.
    shown() { grep -a -o "monitor wall-b-monitor shows: .*" "$work/a.log" | cut -d' ' -f4- | sed "s/$(printf '\302\240')/ /g"; }
    values() { sed -n 's/^CPU \([0-9.]*\) %.*Temperature \([0-9]*\) °C.*/\1 \2/p'; }
    reports() { jq -r --arg s "$net.30:12345" --arg c "$KORA_LAB_CLIENT_IP:" \
        'select(.dir == "out" and .src == $s and (.dst | startswith($c))) | .text | select(startswith("[sys_msg]"))
         | [capture("CPU: (?<v>[0-9.]+)%").v, capture("Temperature: (?<v>[0-9]+)").v] | join(" ")' "$journal"; }
    picture=$(signal_colour 30)
    wall_b
    click_design 1770 1016 # "Watch camera 1"
    # Polled every 5 s, and the values move: two reports shown, each one the encoder sent.
    wait_until 30 eval '[ "$(shown | wc -l)" -ge 2 ]' || fail "the monitor did not show two reports: $(shown)"
    [ "$(shown | values | wc -l)" -eq "$(shown | wc -l)" ] || fail "the monitor shows no CPU or temperature: $(shown)"
    sent=$(reports)
    while read -r pair; do
        grep -qx "$pair" <<<"$sent" || fail "the monitor shows CPU and temperature $pair, which the encoder never sent"
    done < <(shown | values)
    # The strip (#101820 at 0xd8) lies over the picture's bottom: the encoder's colour shows through.
    expect_signal 1-monitor 1770 875 30 "the monitor does not play encoder .30's stream"
    expect_design 1-monitor 1644 951 "$(over '#101820' 216 "$picture")" "the monitor's status strip is not drawn"
    # Silenced, after three unanswered polls the monitor is covered (#400808 at 0xa0).
    mark_journal
    lab_command '{"cmd":"faults","set":{"silentPeers":["encoder-1"]}}' "the lab did not silence the encoder"
    wait_for_line "$work/a.log" "node \"$net.30\" left 3 status requests unanswered" 45 || fail "the client did not notice the silence"
    [ "$(since_mark | jq -c --arg d "$net.30:12345" 'select(.dir == "in" and .dst == $d)' | wc -l)" -ge 3 ] \
        || fail "the client gave up on the encoder before three unanswered polls"
    expect_design 2-no-answer 1666 875 "$(over '#400808' 160 "$picture")" "the silent encoder's monitor shows no \"No answer\" cover"

    # The Room's level docker (-60 to 0 dB) grows to the right: at 30 % of its width the lit
    # bar shows the design's gradient there, the unlit one a quarter of it over the panel.
    click_design 1205 45
    lit=$(over '#d8b020' 146 '#1e9e50')
    docker() { grep -a -o "level docker hall-level shows: .*" "$work/a.log" | tail -n 1 | cut -d' ' -f5; }
    hold() { # dB shot colour what: the equipment held at dB, until the docker shows it
        local v; v=$(printf '%04x' $(( $1 & 0xffff )))
        mark_journal
        lab_command '{"cmd":"level","channel":1,"dB":'"$1"'}' "the lab refused the level $1"
        answered() { since_mark | jq -r 'select(.peer == "equipment" and .dir == "out") | .hex' | grep >/dev/null "^aa559001${v:2:2}${v:0:2}cc$"; }
        wait_until 15 eval 'answered && [ "$(docker)" = "'"$1"'" ]' || fail "the level docker shows $(docker), not the held $1 dB"
        expect_design "$2" 560 900 "$3" "$4"
    }
    hold -6 3-level-6dB "$lit" "at -6 dB the level docker's bar is not lit at 30 % of its width"
    hold -54 4-level-54dB "$(over "$lit" 64 '#10263b')" "at -54 dB the bar is still lit at 30 % of its width"
}

# Subtitles: a designed "InlineEditSubTitle" button opens the subtitle dialog on Wall 1, the
# wall's stored state (silver text in the picture form) fills it when it arrives, and Show
# makes every output of the wall store a picture whose text is lit, as much as in white.
case_subtitle() {
    login_to_first_page
    dialog() { grep -o "subtitle dialog layout:.*" "$work/a.log" | tail -n 1; }
    opened() { dialog | grep -q " osdShow="; }
    mark_journal
    xdotool mousemove --sync "$(screen_x 1770)" "$(screen_y 601)" click 1
    wait_until 5 opened || fail "the designed button opened no subtitle dialog"
    state='{"obj":"osd","uuid":"1","enable":false,"string":"SILVER 42","fontCol":"#c0c0c0","bkCol":"#000000","x":0,"y":0,"height":80,"fontfamily":"DejaVu Sans","fontsize":36,"middle":false}'
    lab_command "$(jq -cn --arg to "$KORA_LAB_CLIENT_IP" --arg t "{GetClientInfo;\"$state\"}" \
        '{cmd:"send",peer:"decoder-1.1",to:$to,port:41234,text:$t}')" "the lab did not send the stored state"
    wait_for_line "$work/a.log" "the stored state of wall 1 shown" 10 || fail "the stored state did not fill the dialog"
    shot 1-dialog
    at() { dialog | grep -o " $1=[0-9]*,[0-9]*" | cut -d= -f2 | tr , ' '; }
    xdotool mousemove --sync $(at osdShow) click 1
    lit() { since_mark | jq -r 'select(.dir == "event") | "\(.peer) \(.note // "")"' \
        | grep '^decoder-1\.[1-4] picture osd1\.yuv: ' || true; }
    lit_at_least() { [ "$(lit | wc -l)" -ge "$1" ]; }
    wait_until 10 lit_at_least 4 || fail "not every output of wall 1 stored the silver subtitle: $(lit)"
    [ "$(lit | cut -d' ' -f1 | sort -u | wc -l)" -eq 4 ] || fail "the pictures did not reach the four outputs: $(lit)"
    grep -q 'subtitle picture.*for "1"' "$work/a.log" || fail "the subtitle was not drawn as a picture"
    shown() { since_mark | grep -q '"text":"{SubtitleOsd;1;'; }
    wait_until 3 shown || fail "the subtitle was not shown after its picture"
    # The same text in white, a colour 12-bit drawing keeps: silver must light as much of it
    # (its glyphs' edges alone would light a few).
    xdotool mousemove --sync $(at osdFontCol) click 1 key ctrl+a type "#ffffff"
    xdotool mousemove --sync $(at osdShow) click 1
    wait_until 10 lit_at_least 8 || fail "the white subtitle did not reach the wall: $(lit)"
    count() { lit | sed -n "$1p" | grep -o ': [0-9]*' | tr -dc 0-9; }
    silver=$(count 1) white=$(count 8)
    echo "lit luma bytes: silver $silver, white $white"
    [ "$white" -gt 0 ] && [ $(( silver * 10 )) -ge $(( white * 9 )) ] \
        || fail "silver text reached the wall mostly transparent: $silver lit against $white in white"
}

# Faults on screen (a stopped encoder's tile: case_pictures): the Room's buttons mark the
# equipment whose TCP port closed, a wall covers the output whose decoder is silent; the
# marks go when the lab restores them.
case_health() {
    login_to_first_page
    click_design 1205 45 # "Room"
    expect_picture 4-room 1000 1060 bg_room.png 1000 1060 "the Room page is not shown"
    faults '{"silentPeers":["equipment"]}'
    wait_until 5 has_line "$journal" "tcp port 9001 closed" || fail "the lab did not close the equipment's port"
    local t0=$(date +%s%N)
    click_design 760 235 # "Lights on": its TCP command finds the port closed
    # The red mark in the button's top right corner.
    expect_design 5-marked 877 209 '#e03030' "the button shows no connection mark" 40
    echo "connection mark after $(( ($(date +%s%N) - t0) / 1000000 )) ms"
    wait_for_line "$work/a.log" "tcp \"$net.8:9001\" down" 5 || fail "no log line for the lost connection"
    faults '{}'
    wait_until 5 has_line "$journal" "tcp port 9001 open again" || fail "the lab did not open the equipment's port again"
    click_design 760 235
    cleared() { shot 6-cleared; ! colour_at 6-cleared 877 209 '#e03030' 40; }
    wait_until 5 cleared || fail "the connection mark did not clear ($artefacts/6-cleared.png)"
    wait_for_line "$work/a.log" "tcp \"$net.8:9001\" up again" 5 || fail "no log line for the connection back"

    # Wall 1's first decoder goes silent: Wall A, asking for its windows when shown, covers
    # that output with the "No answer" look until the decoder answers again.
    faults '{"silentPeers":["decoder-1.1"]}'
    t0=$(date +%s%N)
    click_design 845 45 # "Wall A"
    # The red veil over the output's dark canvas, in its top left corner.
    expect_design 7-no-answer 360 190 '#2e0e11' "the silent decoder's output shows no mark" 20
    echo "no-answer mark after $(( ($(date +%s%N) - t0) / 1000000 )) ms"
    wait_for_line "$work/a.log" "output $net.20 did not answer" 5 || fail "no log line for the silent output"
    faults '{}'
    click_design 1205 45 # "Room", then back: the wall asks again
    click_design 845 45
    answered() { shot 8-answers; ! colour_at 8-answers 360 190 '#2e0e11' 20; }
    wait_until 5 answered || fail "the no-answer mark did not clear ($artefacts/8-answers.png)"
    wait_for_line "$work/a.log" "output $net.20 answers again" 5 || fail "no log line for the output back"

    # Wall B's monitor on encoder .30's stream: stopped, it says so; back, its pictures show.
    wall_b
    click_design 1770 1016 # "Watch camera 1"
    monitor() { sed -n "/$1/,\$p" "$work/a.log" | grep -a >/dev/null "$2"; }
    expect_signal 9-monitor-plays 1770 875 30 "the monitor does not play encoder .30's stream"
    faults '{"stopStreams":[30]}'
    t0=$(date +%s%N)
    wait_for_line "$work/a.log" "monitor wall-b-monitor waits for: silent" 10 || fail "the monitor did not say its stream stopped"
    echo "monitor waiting text after $(( ($(date +%s%N) - t0) / 1000000 )) ms"
    shot 9-monitor-waits
    faults '{}'
    wait_until 15 monitor "waits for: silent" "monitor wall-b-monitor waits for: nothing" \
        || fail "the monitor's waiting text did not clear ($artefacts/9-monitor-waits.png)"
}

# An older controller (kora-lab --legacy): the block-text pages appear, a two-state button
# reaches the equipment.
case_legacy() {
    login_to_first_page
    grep -q 'first page shown 1 ' "$work/a.log" || fail "the first page is not the legacy page 1"
    # Page 1's rectangle (13,67,89) below the wall, the global page list, the first tile's snapshot.
    expect_design 1-first-page 1000 1010 '#0d4359' "the legacy page's rectangle is not shown"
    expect_design 1-first-page 100 500 '#142034' "the legacy page list is not shown"
    wait_until 3 has_line "$journal" '"dir":"in".*"text":"{GetWindows;1}"' || fail "the legacy wall was not asked for its windows"
    expect_signal 1-first-page 400 260 30 "the legacy signal list does not show the signal's snapshot"
    mark_journal
    click_design 1780 1004 # the projector, a latching two-state button
    projector() { since_mark | grep '"peer":"equipment"' | grep '"dir":"in"' | grep >/dev/null '"hex":"aa5501010001cc"'; }
    wait_until 3 projector || fail "the legacy button did not reach the equipment"
}

declare -F "case_${case_name//-/_}" >/dev/null || fail "unknown case $case_name"
"case_${case_name//-/_}"
echo "PASS $case_name (screenshots $artefacts)"
