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
