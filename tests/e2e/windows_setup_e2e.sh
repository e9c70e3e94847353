#!/usr/bin/env bash
# setup.exe under Wine and Xvfb, driven by the keyboard as a user would: it proposes
# D:\Program Files\Tallyra on a fixed drive D: this user can write, installs there, records
# version and path in the registry, writes both shell links to Tallyra.exe and starts it;
# an upgrade asks to end the running copy (WM_CLOSE) first; the uninstall removes what it
# wrote and leaves the user's own file with its folders.
# Usage: windows_setup_e2e.sh TREE   (build/windows/Tallyra-<version>-win64; WINEPREFIX set)
set -euo pipefail
tree=$1
source "$(dirname "$0")/common.sh"
trap 'wineserver -k 2>/dev/null || true; cleanup' EXIT
export WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d"
shots=${TALLYRA_SHOTS:-}

cp -r "$tree" "$work/dist"
# Drive D: for this run: a folder of ours, with a label so that it answers like a disk.
mkdir -p "$work/d"
echo TALLYRA >"$work/d/.windows-label"
ln -sfn "$work/d" "$WINEPREFIX/dosdevices/d:"
trap 'rm -f "$WINEPREFIX/dosdevices/d:"; wineserver -k 2>/dev/null || true; cleanup' EXIT
installed="$work/d/Program Files/Tallyra"
user_dir="$WINEPREFIX/drive_c/users/$(whoami)"
links=("$user_dir/Desktop/Tallyra.lnk"
       "$user_dir/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Tallyra.lnk")
record() {  # the value of ver or path in the install record
    wine reg query 'HKCU\Software\VB and VBA Program Settings\BRIMLO_Tallyra\set' /v "$1" \
        2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_SZ *//p"
}
key() {  # activates window $1, then types the keys that follow
    xdotool windowactivate --sync "$1"
    sleep 0.3
    shift
    xdotool key --delay 100 "$@"
}
# Every message and question is titled 提示: one answered is waited out (gone) before the
# next is looked for, or the next look finds the one still closing.
box() { wait_window '^提示$' 60; }
gone() {  # waits for window $1 to close
    for _ in $(seq 300); do xdotool getwindowname "$1" >/dev/null 2>&1 || return 0; sleep 0.1; done
    return 1
}
run_setup() {
    (cd "$work/dist" && wine setup.exe >>"$work/tallyra.log" 2>&1) &
    setup=$!
    pids+=($setup)
    window=$(wait_window "^安装Tallyra" 60) || fail "no setup window"
    sleep 0.5
}
ended() {  # waits up to a minute for process $1; its exit code
    for _ in $(seq 600); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
    ! kill -0 "$1" 2>/dev/null || return 124
    wait "$1"
}
running() { xdotool search --onlyvisible --name '^Tallyra$' >/dev/null 2>&1; }

start_wine_desktop 1280x800x24
# One Wine server and its services for the whole run, started on the real clock once the
# display is there (Wine's desktop needs it): started again for every program they would
# cost seconds each, and a first program on a faked clock waits for them.
wineserver -p >/dev/null 2>&1 &
WINEDEBUG=-all wine cmd /c exit 0
wine reg delete 'HKCU\Software\VB and VBA Program Settings\BRIMLO_Tallyra' /f >/dev/null 2>&1 || true

# Install: the proposal as it is, Enter for 安装, the message, Enter for 完成.
run_setup
[ -n "$shots" ] && import -window root "$shots/setup-wine.png"
key "$window" Return
message=$(box) || fail "no message after the install"
[ -f "$installed/Tallyra.exe" ] || fail "nothing installed in D:\\Program Files\\Tallyra"
key "$message" Return
key "$window" Return
ended "$setup" || fail "setup did not end by itself ($?)"
[ "$(record ver)" = 101 ] || fail "recorded version '$(record ver)'"
[ "$(record path)" = "D:/Program Files/Tallyra" ] || fail "recorded path '$(record path)'"
for link in "${links[@]}"; do
    [ -f "$link" ] || fail "no shell link $link"
    strings -a "$link" | grep -qF 'D:\Program Files\Tallyra\Tallyra.exe' ||
        fail "$link does not start D:\\Program Files\\Tallyra\\Tallyra.exe"
done
for _ in $(seq 100); do running && break; sleep 0.2; done
running || fail "the finish did not start Tallyra.exe"
[ -f "$installed/shuju.dat" ] || fail "Tallyra.exe did not start in its folder"

# Upgrade to 1.02 while it runs: the question to end it (No is the default: Tab to Yes),
# then the copy, the message and the finish.
printf 'Tallyra\r\n102\r\n' >"$work/dist/data/appname.txt"
run_setup
key "$window" Return
question=$(box) || fail "no question before ending the running copy"
key "$question" Tab space
gone "$question" || fail "the question to end the running copy stayed"
message=$(box) || fail "no message after the upgrade"
[ "$(record ver)" = 102 ] || fail "recorded version after the upgrade '$(record ver)'"
key "$message" Return
key "$window" Return
ended "$setup" || fail "setup did not end by itself ($?)"

# Uninstall: Tab from 升级 to 卸载, Yes to its question and to ending the running copy.
echo "mine" >"$installed/我的笔记.txt"
run_setup
key "$window" Tab space
question=$(box) || fail "no uninstall question"
key "$question" Tab space
gone "$question" || fail "the uninstall question stayed"
question=$(box) || fail "no question before ending the running copy"
key "$question" Tab space
gone "$question" || fail "the question to end the running copy stayed"
message=$(box) || fail "no message after the uninstall"
key "$message" Return
ended "$setup" || fail "setup did not end by itself ($?)"
left=$(cd "$work/d" && find . -mindepth 1 ! -name .windows-label | sort | tr '\n' ' ')
[ "$left" = "./Program Files ./Program Files/Tallyra ./Program Files/Tallyra/我的笔记.txt " ] ||
    fail "left behind: $left"
for link in "${links[@]}"; do [ ! -e "$link" ] || fail "$link is still there"; done
[ "$(record ver)" = 0 ] || fail "the record still says '$(record ver)'"
echo "PASS"
