#!/usr/bin/env bash
# The real window on two days with a calendar and leave, the clock set by faketime:
# Wednesday 2026-09-30 with 黄丽 (3000137) on 病假, whose mark at the close of 早读 (07:10-07:40)
# is 假 and who gets no record; then Thursday 2026-10-01, closed for 国庆节, when no window
# closes and a swipe is refused. 高勇's leave, entered after the close, and the whole of it
# come out of tallyra-cli stats.
# Usage: calendar_e2e.sh TALLYRA TALLYRA_CLI [SCREENSHOT_PREFIX]
set -euo pipefail
tallyra=$1
cli=$2
shot=${3:-}
source "$(dirname "$0")/common.sh"

data=$work/data
log="$data/adnt/sols/2026.dat"
"$cli" --data-dir "$data" demo >/dev/null
at() { faketime -f "@$1" "${@:2}"; }
at '2026-09-29 12:00:00' "$cli" --data-dir "$data" calendar close 2026-10-01..2026-10-07 国庆节 >/dev/null
at '2026-09-29 12:00:00' "$cli" --data-dir "$data" \
    leave add 3000137 2026-09-30 2026-09-30 病假 发烧 --by 王老师 >/dev/null

start_xvfb 1280x800x24
# Starts the window at `start` and waits until `until` holds (a shell test).
start_at() {
    faketime -f "@$1" "$tallyra" --data-dir "$data" >"$work/tallyra.log" 2>&1 &
    wrapper=$!
    pids+=($wrapper)
    wait_window '^Tallyra$' 60 >/dev/null || fail "no Tallyra window"
    pid=$(pgrep -P "$wrapper")
    local deadline=$((SECONDS + 70))
    while [ $SECONDS -lt $deadline ] && ! eval "$2"; do sleep 1; done
    eval "$2" || fail "waited in vain for: $2"
    sleep 1
}
# Takes a picture (when asked) and ends the window as a logout does.
stop_as() {
    [ -n "$shot" ] && import -window root "$shot-$1.png"
    kill -TERM "$pid"
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    wait "$wrapper" || fail "Tallyra exited with $?"
}

# Day 1: the close at 07:41 marks the 38 others absent, and 黄丽 not.
start_at '2026-09-30 07:40:40' '[ -s "$log" ] && [ "$(stat -c %s "$log")" -ge $((16 * 38)) ]'
stop_as leave
[ "$(stat -c %s "$log")" = $((16 * 38)) ] || fail "year log holds $(stat -c %s "$log") bytes"
for n in $(seq 0 37); do
    [ "$(hex "$log" $((16 * n)) 2)" != 0100 ] || fail "黄丽 was marked absent (record $n)"
done
[ "$(hex "$data/shuju.dat" 11 2)" = 0000 ] || fail "黄丽's status: $(hex "$data/shuju.dat" 11 2)"
[ "$(hex "$data/shuju.dat" 0 1)" = 01 ] || fail "早读 was not closed: $(hex "$data/shuju.dat" 0 1)"

# Leave for 高勇 (3000174), entered after the close: his absence stays in the log.
at '2026-09-30 09:00:00' "$cli" --data-dir "$data" \
    leave add 3000174 2026-09-30/1 2026-09-30/1 病假 "家长来电" --by 王老师 >/dev/null

# Day 2, closed (urs.dat holds 2026-10-01): the ticks pass 07:41 and close nothing; a swipe
# is refused.
start_at '2026-10-01 07:40:40' '[ "$(hex "$data/urs.dat" 2 8)" = 00000000009be640 ]'
xev -event keyboard >"$work/xev.log" 2>&1 &
pids+=($!)
sink=$(wait_window 'Event Tester' 20)
xdotool windowfocus --sync "$sink"
xdotool type --delay 5 3000211
xdotool key Return
sleep 32
stop_as closed
[ "$(stat -c %s "$log")" = $((16 * 38)) ] || fail "the closed day wrote $(stat -c %s "$log") bytes"
[ "$(stat -c %s "$data/shuju.dat")" = 0 ] || fail "the closed day wrote statuses"

stats=$("$cli" --data-dir "$data" --from 2026-09-30 --to 2026-10-07 stats)
grep -q $'^高勇\t2026-09-30\t07:41\t3000174\t病假\t三$' <<<"$stats" || fail "高勇's row: $stats"
grep -q $'^未签到次数\t37$' <<<"$stats" || fail "未签: $(tail -6 <<<"$stats")"
grep -q $'^请假次数\t1$' <<<"$stats" || fail "请假: $(tail -6 <<<"$stats")"
list=$("$cli" --data-dir "$data" leave list)
[ "$(wc -l <<<"$list")" = 2 ] || fail "leave list: $list"
echo "PASS"
