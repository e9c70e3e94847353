#!/usr/bin/env bash
# Runs one cross-built QtTest program under Wine for ctest (CMAKE_CROSSCOMPILING_EMULATOR).
# Under Wine a QtTest program's report to stdout is lost, so it goes to a file that is
# printed afterwards; the exit code is the test's. Wine keeps QT_* variables from Windows
# programs and hands them WINEQT_* under the QT_* name instead.
set -uo pipefail
log=$(mktemp)
[ -n "${QT_QPA_PLATFORM:-}" ] && export WINEQT_QPA_PLATFORM=$QT_QPA_PLATFORM
wine "$@" -o "Z:$log",txt
rc=$?
cat "$log"
rm -f "$log"
exit $rc
