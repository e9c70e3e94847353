#!/usr/bin/env bash
# Builds Release and produces what a user receives: the installer tree build/setup/
# (setup beside data/) and the Debian package build/tallyra_<version>-1_amd64.deb, which
# must pass lintian without errors or warnings.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
# dpkg-dev and file: the package's library dependencies are read from the binaries.
"$top/scripts/deps.sh" dpkg-dev file lintian
# The hardening Debian asks of every package (PIE, RELRO, BINDNOW, FORTIFY, stack protector);
# no -g, since neither the package nor the installer tree carries debug symbols.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP=-g
cxxflags="$(cd "$top" && dpkg-buildflags --get CPPFLAGS) $(cd "$top" && dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S "$top" -B "$top/build/release" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
    -DTALLYRA_SETUP_DIR="$top/build/setup" >/dev/null
cmake --build "$top/build/release" -j2
rm -f "$top"/build/tallyra_*.deb
(cd "$top/build/release" && cpack -G DEB -B "$top/build" >/dev/null)
rm -rf "$top/build/_CPack_Packages"
echo "installer tree: $top/build/setup"
deb=$(ls "$top"/build/tallyra_*.deb)
echo "$deb"
lintian --display-info --fail-on error,warning "$deb"
echo "lintian: no errors or warnings"
