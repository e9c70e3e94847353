#!/usr/bin/env bash
# The real window left running over midnight on a clock set by faketime: the tick after
# 00:00 closes the window that ended at 23:59 under the old date, then begins the new day
# (urs.dat, an empty day status, the board cleared). Runs about 80 s of real time.
# Usage: midnight_e2e.sh TALLYRA TALLYRA_CLI [SCREENSHOT]
set -euo pipefail
tallyra=$1
cli=$2
shot=${3:-}
source "$(dirname "$0")/common.sh"

data=$work/data
"$cli" --data-dir "$data" demo >/dev/null
# Person 1 signs in on time in the morning of Tuesday 2026-12-08.
faketime -f '@2026-12-08 07:20:00' "$cli" --data-dir "$data" swipe 3000137 >/dev/null
# Tuesday's window 5 (cell 37) becomes 23:00~23:59.
printf '\x5c\x05' | dd of="$data/time.dat" bs=1 seek=74 conv=notrunc status=none
printf '\x9f\x05' | dd of="$data/time.dat" bs=1 seek=174 conv=notrunc status=none
log="$data/adnt/sols/2026.dat"
[ "$(stat -c %s "$log")" = 16 ] || fail "the morning swipe left $(stat -c %s "$log") bytes"

start_xvfb 1280x800x24

faketime -f '@2026-12-08 23:59:20' "$tallyra" --data-dir "$data" >"$work/tallyra.log" 2>&1 &
wrapper=$!
pids+=($wrapper)
wait_window '^Tallyra$' 60 >/dev/null || fail "no Tallyra window"
tallyra_pid=$(pgrep -P "$wrapper")

# Ticks come at 23:59:20 (the start), 23:59:50 and 00:00:20.
deadline=$((SECONDS + 110))
while [ $SECONDS -lt $deadline ]; do
    [ "$(hex "$data/urs.dat" 2 8)" = 00000000a0a3e640 ] && break
    sleep 1
done
sleep 2
[ -n "$shot" ] && import -window root "$shot"

kill -TERM "$tallyra_pid"
for _ in $(seq 100); do kill -0 "$tallyra_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$tallyra_pid" 2>/dev/null && fail "Tallyra did not exit on SIGTERM"
wait "$wrapper" || fail "Tallyra exited with $?"

# urs.dat holds 2026-12-09 (OLE 46365).
[ "$(hex "$data/urs.dat" 0 10)" = 070000000000a0a3e640 ] || fail "urs.dat: $(hex "$data/urs.dat" 0 10)"
# The new day's status file is empty: yesterday's sign-in and absences are gone.
[ "$(stat -c %s "$data/shuju.dat")" = 0 ] || fail "shuju.dat kept $(stat -c %s "$data/shuju.dat") bytes"
# 39 people take part in sign-in; all were absent from window 5, closed under the old date
# at minute 23:59 (0x059f), each once.
[ "$(stat -c %s "$log")" = $((16 * 40)) ] || fail "year log holds $(stat -c %s "$log") bytes"
last=$(hex "$log" $((16 * 39)) 14)
[ "${last:4:16}" = 0000000080a3e640 ] || fail "last record's date: $last"
[ "${last:20:8}" = 9f050f27 ] || fail "last record: $last"
echo "PASS"
