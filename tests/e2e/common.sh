# What the end-to-end scripts share: a scratch folder and the processes started in it,
# both gone at exit; a failure that shows the program's last output; an Xvfb of our own;
# bytes of a file as hex. Sourced, after `set -euo pipefail`.
work=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    [ -f "$work/tallyra.log" ] && tail -20 "$work/tallyra.log" >&2
    exit 1
}
# The first window whose name matches, once it is there: xdotool's own --sync gives up on
# an X error when a window goes while it walks the tree, as Wine's short-lived ones do.
wait_window() {  # PATTERN [SECONDS]
    local w
    for _ in $(seq $((${2:-60} * 5))); do
        w=$(xdotool search --name "$1" 2>/dev/null | head -1) && [ -n "$w" ] && echo "$w" && return 0
        sleep 0.2
    done
    return 1
}
hex() { od -An -v -t x1 -j "$2" -N "$3" "$1" | tr -d ' \n'; }
# Starts Xvfb on a free display of the given size and points DISPLAY at it.
start_xvfb() {
    Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp 3>"$work/display" 2>/dev/null &
    pids+=($!)
    for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
    export DISPLAY=:$(cat "$work/display")
}
# The sanitizers must not object to libfaketime coming first, nor to the X libraries'
# allocations that live until exit.
export ASAN_OPTIONS=detect_leaks=0:verify_asan_link_order=0
export TZ=UTC
# Xvfb with a window manager, for Windows programs under Wine: Wine gives the keyboard to
# the window the manager activates. A Wine prefix of the caller's (WINEPREFIX) is used.
start_wine_desktop() {
    start_xvfb "$1"
    openbox >/dev/null 2>&1 &
    pids+=($!)
    sleep 0.5
    export WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d"
}
