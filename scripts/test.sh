#!/usr/bin/env bash
# Builds the test configuration (warnings as errors, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs every test, then runs each fuzz target briefly.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh"
"$top/scripts/format.sh" --check
cmake -S "$top" -B "$top/build/test" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DTALLYRA_TESTS=ON -DTALLYRA_BENCH=ON -DTALLYRA_SANITIZE=ON -DTALLYRA_WERROR=ON >/dev/null
cmake --build "$top/build/test" -j2
(cd "$top/build/test" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2)

CC=clang-14 CXX=clang++-14 cmake -S "$top" -B "$top/build/fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTALLYRA_FUZZ=ON -DTALLYRA_WERROR=ON >/dev/null
cmake --build "$top/build/fuzz" -j2
(cd "$top/build/fuzz" && ctest --output-on-failure)

# The Windows build: its unit tests and three end-to-end runs under Wine (a Wine prefix of
# its own, made anew, with a home of its own so nothing reaches the user's desktop).
started=$(date +%s)
rc=0
"$top/scripts/windows.sh" --tests --if-cached || rc=$?
if [ "$rc" = 3 ]; then
    echo "Windows part skipped: no Qt for MinGW here (neither ../shared/toolchains nor a cached"
    echo "one). scripts/windows.sh builds it from Debian's sources once (about an hour), then"
    echo "scripts/test.sh runs the Windows tests under Wine too."
    exit 0
fi
[ "$rc" = 0 ] || exit "$rc"
export WINEPREFIX=$top/build/wine HOME=$top/build/wine-home WINEDEBUG=-all
rm -rf "$WINEPREFIX" "$HOME"
mkdir -p "$HOME"
wineboot -i >/dev/null 2>&1
wineserver -w
echo disable >"$WINEPREFIX/.update-timestamp"  # no prefix update when a faked clock runs wine
trap 'wineserver -k 2>/dev/null || true' EXIT
(cd "$top/build/mingw" && ctest --output-on-failure -j2)
tree=$(ls -d "$top"/build/windows/Tallyra-*-win64)
"$top/tests/e2e/windows_swipe_e2e.sh" "$tree/data"
"$top/tests/e2e/windows_setup_e2e.sh" "$tree"
"$top/tests/e2e/windows_bytes_e2e.sh" "$top/build/test/tallyra-cli" "$tree/data"
echo "Windows part: $(($(date +%s) - started)) s"
