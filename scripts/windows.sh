#!/usr/bin/env bash
# Cross-builds Tallyra for 64-bit Windows 10 and later with Debian's MinGW-w64 and assembles
# what a Windows user receives: build/windows/Tallyra-<version>-win64/ (setup.exe beside
# data\) and its .zip.
#
#   scripts/windows.sh            the programs, the tree and the zip
#   scripts/windows.sh --tests    the same, and the test programs (ctest in build/mingw runs
#                                 them under Wine)
#   scripts/windows.sh --if-cached ...   exit 3 instead of building Qt when neither the
#                                 shared toolchain nor a cached one is there (for test.sh)
#
# Qt 6.4.2, libzip and pugixml for MinGW live in a cache folder (TALLYRA_WIN_CACHE, else
# ~/.cache/tallyra-win): unpacked from ../shared/toolchains/qt6.4.2-mingw64.tar.xz when that
# is there, else built once from Debian's own source packages (about an hour).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
tests=OFF
if_cached=false
for arg in "$@"; do
    case $arg in
        --tests) tests=ON ;;
        --if-cached) if_cached=true ;;
        *) echo "usage: scripts/windows.sh [--tests] [--if-cached]" >&2; exit 2 ;;
    esac
done

cache=${TALLYRA_WIN_CACHE:-$HOME/.cache/tallyra-win}
prefix=$cache/qt6-mingw64
tarball=$top/../shared/toolchains/qt6.4.2-mingw64.tar.xz
runtime_gcc=/usr/lib/gcc/x86_64-w64-mingw32/12-posix
runtime_w64=/usr/x86_64-w64-mingw32/lib

have_prefix() { [ -f "$prefix/lib/cmake/Qt6/Qt6Config.cmake" ] && [ -f "$prefix/lib/libzip.a" ]; }

if ! have_prefix && [ ! -f "$tarball" ] && $if_cached; then
    exit 3
fi

"$top/scripts/deps.sh"

# A CMake toolchain for a prefix: the one in cmake/ reads the prefix from the environment.
export TALLYRA_MINGW_PREFIX=$prefix
toolchain=$top/cmake/mingw-w64.cmake

build_prefix() {
    echo "Building Qt 6.4.2, libzip and pugixml for MinGW from Debian's source packages into"
    echo "$prefix: this takes about an hour on two cores, once."
    local src=$cache/src
    mkdir -p "$src"
    if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
        # The same archive as the binary packages, for their sources.
        local sudo=()
        [ "$(id -u)" -ne 0 ] && sudo=(sudo)
        local archive
        archive=$({ sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/*.sources
                    sed -n 's/^deb \(\[[^]]*\] \)\{0,1\}\([^ ]*\) bookworm .*/\2/p' /etc/apt/sources.list
                  } 2>/dev/null | head -1)
        printf 'Types: deb-src\nURIs: %s\nSuites: bookworm\nComponents: main\n' "$archive" |
            "${sudo[@]}" tee /etc/apt/sources.list.d/tallyra-src.sources >/dev/null
        "${sudo[@]}" apt-get update -qq
    fi
    (cd "$src" && [ -d qt6-base-6.4.2+dfsg ] || apt-get source -qq qt6-base)
    (cd "$src" && ls -d libzip-*/ >/dev/null 2>&1 || apt-get source -qq libzip)
    (cd "$src" && ls -d pugixml-*/ >/dev/null 2>&1 || apt-get source -qq pugixml)
    local qtbuild=$cache/qt-build
    mkdir -p "$qtbuild"
    (cd "$qtbuild" && "$src"/qt6-base-6.4.2+dfsg/configure \
        -xplatform win32-g++ -qt-host-path /usr -prefix "$prefix" -release -shared \
        -nomake examples -nomake tests -no-opengl -no-dbus -no-icu -qt-zlib -qt-pcre \
        -qt-libpng -qt-libjpeg -qt-harfbuzz -qt-freetype -no-feature-sql -no-feature-network -- \
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DFEATURE_tabletevent=OFF -G Ninja)
    cmake --build "$qtbuild" --parallel 2
    cmake --install "$qtbuild"
    find "$prefix/bin" "$prefix/plugins" -name '*.dll' -exec x86_64-w64-mingw32-strip --strip-unneeded {} +
    rm -rf "$prefix/doc"
    find "$prefix" -name '*.pc' -exec sed -i 's|^prefix=.*|prefix=${pcfiledir}/../..|' {} +
    local lib
    for lib in libzip pugixml; do
        local dir
        dir=$(ls -d "$src/$lib"-*/ | head -1)
        local options=(-DBUILD_SHARED_LIBS=OFF)
        [ $lib = libzip ] && options+=(-DENABLE_COMMONCRYPTO=OFF -DENABLE_GNUTLS=OFF
            -DENABLE_MBEDTLS=OFF -DENABLE_OPENSSL=OFF -DENABLE_WINDOWS_CRYPTO=ON -DENABLE_BZIP2=OFF
            -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF
            -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF)
        cmake -S "$dir" -B "$cache/$lib-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$prefix" "${options[@]}" >/dev/null
        cmake --build "$cache/$lib-build" -j2
        cmake --install "$cache/$lib-build" >/dev/null
    done
}

if ! have_prefix; then
    mkdir -p "$cache"
    if [ -f "$tarball" ]; then
        tar -xJf "$tarball" -C "$cache"
    else
        build_prefix
    fi
fi
# What Windows programs need beside them but a Qt prefix does not hold: MinGW's runtime, and
# Qt's own texts in Chinese (the same version's, from Debian's package). The tests under
# Wine find both through the prefix.
cp -u "$runtime_gcc/libstdc++-6.dll" "$runtime_gcc/libgcc_s_seh-1.dll" \
    "$runtime_w64/libwinpthread-1.dll" "$prefix/bin/"
mkdir -p "$prefix/translations"
cp -u /usr/share/qt6/translations/qtbase_zh_CN.qm /usr/share/qt6/translations/qt_zh_CN.qm \
    "$prefix/translations/"

# The export template is made by a native tool.
native=$top/build/windows-template
cmake -S "$top" -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$native" -j2 --target tallyra_template >/dev/null

cross=$top/build/mingw
export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig:/usr/x86_64-w64-mingw32/lib/pkgconfig
cmake -S "$top" -B "$cross" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$prefix" -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$top/scripts/wine-qtest.sh" \
    -DTALLYRA_WINE_PATH="Z:$prefix/bin" \
    -DTALLYRA_TEMPLATE="$native/1.dat" -DTALLYRA_TESTS=$tests >/dev/null
cmake --build "$cross" -j2

# The tree: setup.exe beside data\, which is copied into the target folder as it is.
version=$(sed -n 's/^project(Tallyra VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
name=Tallyra-$version-win64
out=$top/build/windows
tree=$out/$name
rm -rf "$tree" "$out/$name.zip"
mkdir -p "$tree/data/sound"
for program in Tallyra tallyra-cli; do
    x86_64-w64-mingw32-strip --strip-unneeded -o "$tree/data/$program.exe" "$cross/$program.exe"
done
x86_64-w64-mingw32-strip --strip-unneeded -o "$tree/setup.exe" "$cross/setup/setup.exe"
cp "$native/1.dat" "$tree/data/"
cp "$top/resources/sound/"*.wav "$tree/data/sound/"
cp "$cross/packaging/appname.txt" "$top/packaging/setup/"{K,S,A,D}.txt "$tree/data/"

# The DLLs a program loads, found the way Windows looks for them: beside it.
dlls_of() {
    local seen=" " queue=("$@") file dll
    while [ ${#queue[@]} -gt 0 ]; do
        file=${queue[0]}
        queue=("${queue[@]:1}")
        for dll in $(x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^\tDLL Name: //p'); do
            [ -f "$prefix/bin/$dll" ] || continue
            case $seen in *" $dll "*) continue ;; esac
            seen="$seen$dll "
            queue+=("$prefix/bin/$dll")
        done
    done
    echo $seen
}
plugins=(platforms/qwindows.dll styles/qwindowsvistastyle.dll imageformats/qico.dll)
deploy() {  # folder, programs and plugins it holds
    local folder=$1 dll
    shift
    for dll in $(dlls_of "$@" "${plugins[@]/#/$prefix/plugins/}"); do
        x86_64-w64-mingw32-strip --strip-unneeded -o "$folder/$dll" "$prefix/bin/$dll"
    done
}
for p in "${plugins[@]}"; do
    mkdir -p "$tree/data/plugins/$(dirname "$p")"
    cp "$prefix/plugins/$p" "$tree/data/plugins/$p"
done
mkdir -p "$tree/data/translations"
cp "$prefix/translations/"*_zh_CN.qm "$tree/data/translations/"
printf '[Paths]\r\nPrefix=.\r\nPlugins=plugins\r\nTranslations=translations\r\n' >"$tree/data/qt.conf"
deploy "$tree/data" "$tree/data/Tallyra.exe" "$tree/data/tallyra-cli.exe"
# setup.exe loads its DLLs from its own folder too; plugins and texts it takes from data\.
deploy "$tree" "$tree/setup.exe"
printf '[Paths]\r\nPrefix=data\r\nPlugins=plugins\r\nTranslations=translations\r\n' >"$tree/qt.conf"

(cd "$out" && zip -qr -9 "$name.zip" "$name")
echo "tree: $tree"
echo "zip:  $out/$name.zip ($(du -h "$out/$name.zip" | cut -f1))"
