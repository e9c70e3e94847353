#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, and any named as
# arguments; skips what is there.
set -euo pipefail
packages=(
    cmake ninja-build g++ pkg-config clang-14 libclang-rt-14-dev clang-format
    qt6-base-dev qt6-multimedia-dev qt6-translations-l10n libcanberra-dev libx11-dev libxtst-dev libxi-dev
    libzip-dev libpugixml-dev zlib1g-dev libxlsxwriter-dev libbenchmark-dev
    xvfb xauth xdotool x11-utils faketime imagemagick fonts-wqy-microhei procps mawk python3-openpyxl python3-xlwt poppler-utils
    g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev wine wine64 zip unzip openbox xclip
    "$@"
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "run as root or install sudo: missing ${missing[*]}" >&2; exit 1; }
    sudo=(sudo)
fi
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
