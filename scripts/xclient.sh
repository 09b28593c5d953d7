# Drives the real client under Xvfb with xdotool; sourced by scripts/run and
# tests/e2e/client_e2e.sh, inside the lab network. The sourcing script sets bin (the build's
# bin folder) and defines fail MESSAGE (one line, then a non-zero exit).

pids=() # what was started here, stopped by stop_started
stop_started() {
    local p
    for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
    pids=()
}

start_xvfb() { # WIDTHxHEIGHT dir: a private X server for this run; sets DISPLAY
    Xvfb -displayfd 3 -screen 0 "${1}x24" -nolisten tcp 3>"$2/display" 2>"$2/xvfb.log" &
    pids+=($!)
    for _ in $(seq 100); do [ -s "$2/display" ] && break; sleep 0.1; done
    [ -s "$2/display" ] || fail "Xvfb did not start"
    export DISPLAY=":$(cat "$2/display")"
}
start_client() { # dir log -> pid in $client_pid
    (cd "$1" && exec "$bin/kora" >"$2" 2>&1) &
    client_pid=$!
    pids+=("$client_pid")
}
wait_for_line() { # log text seconds
    for _ in $(seq $(( $3 * 10 ))); do grep -q "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done
    return 1
}
client_window() { # the window of $client_pid
    xdotool search --all --onlyvisible --pid "$client_pid" --name '^KORA$' | head -n 1
}
type_login() { # user password: into the focused login page of $client_pid, then Enter
    local window
    window=$(client_window)
    [ -n "$window" ] || fail "no window"
    xdotool windowfocus --sync "$window"
    sleep 0.3
    xdotool type --delay 20 "$1"
    xdotool key Tab
    xdotool type --delay 20 "$2"
    xdotool key Return
}

# Where the design lands on screen: the client scales it uniformly into its window at 0,0 and
# centres it (qml/js/Letterbox.js).
letterbox() { # window-width window-height design-width design-height
    design_w=$3 design_h=$4
    if [ $(( $1 * $4 )) -le $(( $2 * $3 )) ]; then
        fit_w=$1 fit_h=$(( $1 * $4 / $3 ))
    else
        fit_w=$(( $2 * $3 / $4 )) fit_h=$2
    fi
    fit_x=$(( ($1 - fit_w) / 2 )) fit_y=$(( ($2 - fit_h) / 2 ))
}
screen_x() { echo $(( fit_x + $1 * fit_w / design_w )); }
screen_y() { echo $(( fit_y + $1 * fit_h / design_h )); }
click_design() { # design x y
    xdotool mousemove --sync "$(screen_x "$1")" "$(screen_y "$2")" click 1
}
