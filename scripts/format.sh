#!/usr/bin/env bash
# clang-format over our C++ sources: `scripts/format.sh` rewrites them, `--check` only says
# which are not formatted (exit 1). With a revision, only the files changed since it.
#   scripts/format.sh [--check] [REV]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
check=0
if [ "${1:-}" = "--check" ]; then check=1; shift; fi
format=$(command -v clang-format || command -v clang-format-14 || true)
[ -n "$format" ] || { echo "clang-format not found (apt-get install clang-format)" >&2; exit 1; }
if [ $# -gt 0 ]; then
    mapfile -t files < <(git diff --name-only --diff-filter=ACMR "$1" -- '*.cpp' '*.h')
else
    mapfile -t files < <(git ls-files '*.cpp' '*.h')
fi
[ ${#files[@]} -gt 0 ] || exit 0
if [ $check -eq 1 ]; then
    bad=$("$format" --dry-run -Werror "${files[@]}" 2>&1 | grep -o '^[^:]*\.\(cpp\|h\)' | sort -u || true)
    [ -z "$bad" ] && exit 0
    echo "$bad" | sed 's/^/not formatted: /' >&2
    echo "scripts/format.sh formats them" >&2
    exit 1
fi
"$format" -i "${files[@]}"
