#!/usr/bin/env bash
# Tallyra.exe under Wine and Xvfb on a clock set by faketime, on a folder with a Chinese
# name: a card typed while Wine's notepad has the focus is signed in and reaches notepad
# too (the hook passes every key on); the notice shows above notepad and leaves it the
# keyboard; a second Tallyra.exe is refused before it writes anything; WM_CLOSE ends the
# first one through its normal exit, which lets the folder go.
# Usage: windows_swipe_e2e.sh DATA   (the data\ folder of the Windows tree; WINEPREFIX set)
set -euo pipefail
data=$1
source "$(dirname "$0")/common.sh"
trap 'wineserver -k 2>/dev/null || true; cleanup' EXIT
export WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d"
shots=${TALLYRA_SHOTS:-}  # a folder for the screenshot, when asked for
folder="$work/考勤数据"
wfolder="Z:$folder"

start_wine_desktop 1280x800x24
# One Wine server and its services for the whole run, started on the real clock once the
# display is there (Wine's desktop needs it): started again for every program they would
# cost seconds each, and a first program on a faked clock waits for them.
wineserver -p >/dev/null 2>&1 &
WINEDEBUG=-all wine cmd /c exit 0
faketime -f '@2026-12-08 07:00:00' wine "$data/tallyra-cli.exe" --data-dir "$wfolder" demo >/dev/null

wine notepad >/dev/null 2>&1 &
pids+=($!)
np=$(wait_window 'Notepad|记事本' 60) || fail "no notepad"

# A Tuesday: the demo's first window, 早读, runs 07:10-07:40, so 07:45 is five minutes late.
started=$(date +%s%N)
faketime -f '@2026-12-08 07:45:00' wine "$data/Tallyra.exe" --data-dir "$wfolder" \
    >"$work/tallyra.log" 2>&1 &
first=$!
pids+=($first)
wait_window '^Tallyra$' 60 >/dev/null || fail "no Tallyra window"
echo "Tallyra.exe window after $((($(date +%s%N) - started) / 1000000)) ms"
sleep 1

xdotool windowactivate --sync "$np"
sleep 0.5
# Demo person 1 holds card 3000137, typed as the reader types it.
xdotool type --delay 5 3000137
xdotool key Return
log="$folder/adnt/sols/2026.dat"
for _ in $(seq 100); do [ -s "$log" ] && break; sleep 0.1; done
[ -s "$log" ] || fail "no year log record after the swipe"
# One record, the same bytes as on Linux: index 1, 2026-12-08, minute 465, 5 late.
[ "$(stat -c %s "$log")" = 16 ] || fail "year log holds $(stat -c %s "$log") bytes"
[ "$(hex "$log" 0 14)" = 01000000000080a3e640d1010500 ] || fail "year log record $(hex "$log" 0 16)"
[ "$(hex "$folder/shuju.dat" 11 2)" = 0500 ] || fail "status of person 1: $(hex "$folder/shuju.dat" 11 2)"
sleep 0.5
[ -n "$shots" ] && import -window root "$shots/tallyra-wine.png"

# The notice lies above notepad: its window comes before notepad's frame among the root's
# children, which xwininfo lists topmost first.
top_level() {  # the root's child that holds window $1 (a window manager's frame, or itself)
    local w parent
    w=$(printf '0x%x' "$1")
    while parent=$(xwininfo -id "$w" -tree | sed -n 's/.*Parent window id: \(0x[0-9a-f]*\).*/\1/p') &&
        [ "$parent" != "$root" ]; do w=$parent; done
    echo "$w"
}
root=$(xwininfo -root | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p')
order=$(xwininfo -root -children | sed -n 's/^ *\(0x[0-9a-f]*\) .*/\1/p')
place() { grep -nx "$1" <<<"$order" | cut -d: -f1; }
notice=
for w in $(xdotool search --onlyvisible --name '^Tallyra$'); do
    eval "$(xdotool getwindowgeometry --shell "$w")"
    [ "$WIDTH" = 1280 ] && notice=$w
done
[ -n "$notice" ] || fail "no notice shown"
[ "$(place "$(top_level "$notice")")" -lt "$(place "$(top_level "$np")")" ] ||
    fail "the notice is not above notepad"
# ... and notepad still has the keyboard: what was typed, Enter included, is in it.
xdotool key ctrl+a ctrl+c
sleep 0.5
typed=$(xclip -o -selection clipboard 2>/dev/null | tr -d '\r')
[ "$typed" = 3000137 ] || fail "notepad holds '$typed'"

# A second copy on the same folder says why and ends, having changed nothing.
before=$(cat "$folder/shuju.dat" "$folder/urs.dat" "$log" | md5sum)
faketime -f '@2026-12-08 07:46:00' wine "$data/Tallyra.exe" --data-dir "$wfolder" \
    >"$work/second.log" 2>&1 &
second=$!
pids+=($second)
box=$(wait_window '^提示$' 60) || fail "the second copy said nothing"
[ "$(cat "$folder/shuju.dat" "$folder/urs.dat" "$log" | md5sum)" = "$before" ] ||
    fail "the second copy wrote to the folder"
xdotool windowactivate --sync "$box"
xdotool key Return
rc=0
wait "$second" || rc=$?
[ "$rc" = 1 ] || fail "the second copy ended with $rc"

# WM_CLOSE, as the installer sends it before an upgrade: the normal exit, and the folder
# is free again.
wine taskkill /im Tallyra.exe >/dev/null 2>&1
rc=0
wait "$first" || rc=$?
[ "$rc" = 0 ] || fail "Tallyra.exe ended with $rc on WM_CLOSE"
faketime -f '@2026-12-08 07:47:00' wine "$data/tallyra-cli.exe" --data-dir "$wfolder" \
    swipe 3000174 >/dev/null || fail "the folder is still held after the exit"
echo "PASS"
