#!/usr/bin/env bash
# Builds Release and produces what a user receives: the installer tree build/setup/
# (setup beside data/) and the Debian package build/tallyra_<version>_amd64.deb.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh" dpkg-dev file  # the package's library dependencies are read from the binaries
cmake -S "$top" -B "$top/build/release" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DTALLYRA_SETUP_DIR="$top/build/setup" >/dev/null
cmake --build "$top/build/release" -j2
(cd "$top/build/release" && cpack -G DEB -B "$top/build" >/dev/null)
rm -rf "$top/build/_CPack_Packages"
echo "installer tree: $top/build/setup"
ls "$top"/build/tallyra_*.deb
