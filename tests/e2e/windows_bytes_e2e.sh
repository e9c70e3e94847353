#!/usr/bin/env bash
# The same day through tallyra-cli on Linux and tallyra-cli.exe under Wine, each on a clock
# set by faketime (Wine's clock is the process's own, so faketime sets it as it does on
# Linux): a demo folder with a Chinese name, swipes on time and late, window closes, an
# import from a spreadsheet with a Chinese name, a swipe in the personal centre, the next
# day's rollover, the statistics export. Every step says the same on both, and the data
# folders and the exports are byte for byte the same.
# Usage: windows_bytes_e2e.sh TALLYRA_CLI DATA   (DATA: the Windows tree's data\; WINEPREFIX set)
set -euo pipefail
cli=$1
data=$2
source "$(dirname "$0")/common.sh"
trap 'wineserver -k 2>/dev/null || true; cleanup' EXIT
# One Wine server and its services for the whole run, started on the real clock: started
# again for every program they would cost seconds each, and a first program on a faked
# clock waits for them.
wineserver -p >/dev/null 2>&1 &
WINEDEBUG=-all wine cmd /c exit 0
export WINEDEBUG=-all

mkdir -p "$work/linux" "$work/windows"
printf '卡号,姓名,性别\n5000001,导入者一,男\n5000002,导入者二,女\n' >"$work/名单.csv"

# Runs one command on both systems at the given time; their exit codes and what they print
# must agree.
step=0
both() {
    local at=$1
    shift
    local linux_args=() windows_args=() a
    for a in "$@"; do
        linux_args+=("${a//@/$work/linux}")
        windows_args+=("${a//@/Z:$work/windows}")
    done
    step=$((step + 1))
    local lrc=0 wrc=0
    faketime -f "@$at" "$cli" "${linux_args[@]}" >"$work/l.out" 2>"$work/l.err" || lrc=$?
    faketime -f "@$at" wine "$data/tallyra-cli.exe" "${windows_args[@]}" >"$work/w.out" \
        2>"$work/w.err" || wrc=$?
    sed -i 's/\r$//' "$work/w.out" "$work/w.err"
    [ "$lrc" = "$wrc" ] || fail "step $step ($*): exit $lrc on Linux, $wrc on Windows"
    # Paths are each system's own; the rest is the same.
    sed -i "s|$work/linux|FOLDER|g" "$work/l.out" "$work/l.err"
    sed -i "s|Z:$work/windows|FOLDER|g; s|Z:\\\\.*\\\\windows|FOLDER|g" "$work/w.out" "$work/w.err"
    cmp -s "$work/l.out" "$work/w.out" || fail "step $step ($*) printed differently:
$(diff "$work/l.out" "$work/w.out" | head -10)"
}

d=(--data-dir @/考勤数据)
both '2026-12-08 07:00:00' "${d[@]}" demo
both '2026-12-08 07:20:00' "${d[@]}" swipe 3000137
both '2026-12-08 07:30:00' "${d[@]}" swipe 3000174
both '2026-12-08 07:41:00' "${d[@]}" tick
both '2026-12-08 07:45:00' "${d[@]}" swipe 3000211
both '2026-12-08 07:52:00' "${d[@]}" swipe 3000137
both '2026-12-08 08:16:00' "${d[@]}" tick
both '2026-12-08 08:20:00' "${d[@]}" import @/../名单.csv
both '2026-12-08 08:21:00' "${d[@]}" --panel 5 swipe 5000002
both '2026-12-09 07:05:00' "${d[@]}" tick
both '2026-12-09 07:15:00' "${d[@]}" swipe 3000137
both '2026-12-09 07:16:00' "${d[@]}" roster
both '2026-12-09 07:16:00' "${d[@]}" --from 2026-12-01 --to 2026-12-31 stats
both '2026-12-09 07:17:00' "${d[@]}" --from 2026-12-01 --to 2026-12-31 export-stats @/统计.xlsx
both '2026-12-09 07:18:00' "${d[@]}" check

(cd "$work/linux" && find . -type f | sort) >"$work/l.files"
(cd "$work/windows" && find . -type f | sort) >"$work/w.files"
cmp -s "$work/l.files" "$work/w.files" || fail "different files:
$(diff "$work/l.files" "$work/w.files")"
[ "$(wc -l <"$work/l.files")" -ge 11 ] || fail "too few files: $(cat "$work/l.files")"
while read -r f; do
    cmp -s "$work/linux/$f" "$work/windows/$f" || fail "$f differs: $(cmp "$work/linux/$f" "$work/windows/$f")"
done <"$work/l.files"
echo "PASS: $(wc -l <"$work/l.files") files the same, $step steps"
