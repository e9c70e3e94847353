#!/usr/bin/env bash
# Makes the README's screenshots (docs/board.png, docs/settings.png) under Xvfb: a demo
# folder whose morning is played through tallyra-cli at set times, then Tallyra mid-morning.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh"
cmake -S "$top" -B "$top/build/release" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$top/build/release" -j2
bin="$top/build/release"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TZ=UTC
day=2026-12-08
at() { faketime -f "@$day $1" "${@:2}" >/dev/null; }
"$bin/tallyra-cli" --data-dir "$work" demo >/dev/null
cards=$(seq 1 39 | awk '{print 3000100 + 37 * $1}')
i=0
for c in $cards; do  # 早读 07:10-07:40: most on time, a few late, some absent
    i=$((i + 1))
    if [ $((i % 9)) -eq 0 ]; then continue; fi
    if [ $((i % 7)) -eq 0 ]; then at 07:4$((i % 10)):00 "$bin/tallyra-cli" --data-dir "$work" swipe "$c"
    else at 07:$((15 + i % 20)):00 "$bin/tallyra-cli" --data-dir "$work" swipe "$c"; fi
done
at 07:41:00 "$bin/tallyra-cli" --data-dir "$work" tick
i=0
for c in $cards; do  # 上午 07:50-08:15, under way
    i=$((i + 1))
    [ $((i % 4)) -eq 0 ] || at 07:5$((i % 10)):00 "$bin/tallyra-cli" --data-dir "$work" swipe "$c"
done
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    faketime -f "@'$day' 08:02:00" "$1" --data-dir "$2" >/dev/null 2>&1 & app=$!
    timeout 20 xdotool search --sync --name "^Tallyra$" >/dev/null
    sleep 1
    xdotool type --delay 5 3000248; xdotool key Return; sleep 0.5
    import -window root "$3/docs/board.png"
    w=$(xdotool search --name "^Tallyra$" | head -1)
    eval "$(xdotool getwindowgeometry --shell "$w")"
    # The first panel button, "系统设置", sits left in the top bar.
    xdotool mousemove $((X + 263)) $((Y + 15)) click 1; sleep 0.8
    import -window root "$3/docs/settings.png"
    kill -TERM $(pgrep -P $app) 2>/dev/null; wait $app 2>/dev/null || true
' _ "$bin/Tallyra" "$work" "$top"
echo "screenshots: docs/board.png docs/settings.png"
