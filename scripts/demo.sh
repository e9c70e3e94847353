#!/usr/bin/env bash
# Builds Tallyra (Release) and starts it on a demo data folder, created on first run.
# Without a display it runs under Xvfb, saves a screenshot, prints its path and stops.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh"
cmake -S "$top" -B "$top/build/release" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$top/build/release" -j2
data="$top/demo-data"
[ -e "$data/Rw.dat" ] || "$top/build/release/tallyra-cli" --data-dir "$data" demo
if [ -n "${DISPLAY:-}" ]; then
    exec "$top/build/release/Tallyra" --data-dir "$data"
fi
shot="$top/build/tallyra-demo.png"
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    "$1" --data-dir "$2" & app=$!
    timeout 20 xdotool search --sync --name "^Tallyra$" >/dev/null || true
    sleep 1
    # A card read as the reader types it: digits in a burst, then Enter.
    xdotool type --delay 5 3000137; xdotool key Return
    sleep 0.5
    import -window root "$3"
    kill "$app"; wait "$app" 2>/dev/null || true
' _ "$top/build/release/Tallyra" "$data" "$shot"
echo "screenshot: $shot"
