#!/usr/bin/env bash
# The X11 device filter of the real program under Xvfb: xdotool types through the XTEST
# keyboard. With the reader set to the server's other keyboard, a typed card is ignored;
# set to the XTEST keyboard, the same card signs in.
# Usage: reader_e2e.sh TALLYRA TALLYRA_CLI
set -euo pipefail
tallyra=$1
cli=$2
source "$(dirname "$0")/common.sh"

# An X11 session: the capture must be XInput 2, whatever the machine running the test is.
unset WAYLAND_DISPLAY XDG_SESSION_TYPE
"$cli" --data-dir "$work/data" demo >/dev/null

start_xvfb 1280x800x24

# Index 1, window 0 at byte 12 (1-based): the status of demo person 1 (card 3000137).
status() { hex "$work/data/shuju.dat" 11 2 2>/dev/null || true; }

# One run on a Tuesday at 07:45, five minutes into the make-up time of 早读: the card is
# typed while the xev window has the focus.
swipe_with_reader() {
    printf 'name=%s\n' "$1" >"$work/data/reader.dat"
    faketime -f '@2026-12-08 07:45:00' "$tallyra" --data-dir "$work/data" >"$work/tallyra.log" 2>&1 &
    local wrapper=$!
    wait_window '^Tallyra$' 60 >/dev/null || fail "no Tallyra window"
    local pid
    pid=$(pgrep -P "$wrapper")
    xev -event keyboard >/dev/null 2>&1 &
    local sink_pid=$!
    local sink
    sink=$(wait_window 'Event Tester' 20)
    xdotool windowfocus --sync "$sink"
    sleep 0.5
    xdotool type --delay 5 3000137
    xdotool key Return
    sleep 1.5
    kill "$sink_pid"
    kill -TERM "$pid"
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$pid" 2>/dev/null && fail "Tallyra did not exit on SIGTERM"
    wait "$wrapper" || fail "Tallyra exited with $?"
}

swipe_with_reader "Xvfb keyboard"
s=$(status)
[ -z "$s" ] || [ "$s" = 0000 ] || fail "a card typed on another keyboard was signed in ($s)"
[ ! -s "$work/data/adnt/sols/2026.dat" ] || fail "a card typed on another keyboard was logged"

swipe_with_reader "Virtual core XTEST keyboard"
[ "$(status)" = 0500 ] || fail "the chosen reader's card was not signed in ($(status))"
echo "PASS"
