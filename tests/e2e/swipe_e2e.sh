#!/usr/bin/env bash
# The real program under Xvfb on a clock set by faketime: a card typed while another
# window has the focus is signed in, reaches that window too, and lands in shuju.dat and
# the year log; digits typed by hand do not form a card.
# Usage: swipe_e2e.sh TALLYRA TALLYRA_CLI
set -euo pipefail
tallyra=$1
cli=$2
source "$(dirname "$0")/common.sh"

# A Tuesday: the demo's first window, 早读, runs 07:10-07:40, so 07:45 is five minutes late.
"$cli" --data-dir "$work/data" demo >/dev/null

start_xvfb 1280x800x24

faketime -f '@2026-12-08 07:45:00' "$tallyra" --data-dir "$work/data" >"$work/tallyra.log" 2>&1 &
wrapper=$!
pids+=($wrapper)
wait_window '^Tallyra$' 60 >/dev/null || fail "no Tallyra window"
tallyra_pid=$(pgrep -P "$wrapper")  # faketime waits for the program it started

xev -event keyboard >"$work/xev.log" 2>&1 &
pids+=($!)
sink=$(wait_window 'Event Tester' 20)
xdotool windowfocus --sync "$sink"
sleep 0.5

# Demo person 1 holds card 3000137.
xdotool type --delay 5 3000137
xdotool key Return
log="$work/data/adnt/sols/2026.dat"
for _ in $(seq 100); do [ -s "$log" ] && break; sleep 0.1; done
[ -s "$log" ] || fail "no year log record after the swipe"

# Person 2 (3000174) typed by hand: 400 ms between keys (well clear of the 100 ms burst
# even when a loaded X server stamps queued keys a little late).
xdotool type --delay 400 3000174
xdotool key Return
sleep 1

kill -TERM "$tallyra_pid"
for _ in $(seq 100); do kill -0 "$tallyra_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$tallyra_pid" 2>/dev/null && fail "Tallyra did not exit on SIGTERM"
wait "$wrapper" || fail "Tallyra exited with $?"

# Index 1, window 0 at byte 12 (1-based): 5 minutes late.
[ "$(hex "$work/data/shuju.dat" 11 2)" = 0500 ] || fail "status of person 1: $(hex "$work/data/shuju.dat" 11 2)"
second=$(hex "$work/data/shuju.dat" 23 2 2>/dev/null || true)
[ -z "$second" ] || [ "$second" = 0000 ] || fail "the hand-typed card was signed in"
# One record: index 1, 2026-12-08 (OLE 46364.0), minute 465, 5 late.
[ "$(stat -c %s "$log")" = 16 ] || fail "year log holds $(stat -c %s "$log") bytes"
[ "$(hex "$log" 0 14)" = 01000000000080a3e640d1010500 ] || fail "year log record $(hex "$log" 0 16)"

keys=$(awk '/^KeyPress/ {press = 1} press && match($0, /keysym 0x[0-9a-f]+/) {
    print substr($0, RSTART + 7, RLENGTH - 7); press = 0 }' "$work/xev.log" | tr '\n' ' ')
expected="0x33 0x30 0x30 0x30 0x31 0x33 0x37 0xff0d "
[[ "$keys" == "$expected"* ]] || fail "the focused window got: $keys"
echo "PASS"
