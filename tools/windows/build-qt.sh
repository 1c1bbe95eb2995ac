#!/usr/bin/env bash
# build-qt.sh PREFIX: builds Qt 6.4.2 for Windows x86_64 (Core, Gui, Widgets, Test, the platform,
# image format and style plugins; OpenGL too, as the Windows platform plugin of this Qt does not
# build without it) from Debian's own qt6-base and qt6-imageformats source packages
# and installs it into PREFIX. Takes about half an hour on two cores. The host tools (moc, rcc,
# uic) come from Debian's Qt of the same version.
set -euo pipefail
prefix=$1
here=$(cd "$(dirname "$0")" && pwd)
toolchain=$here/../../cmake/mingw-w64-x86_64.cmake
jobs=$(nproc 2>/dev/null || echo 2)
# Sources and objects stay beside the prefix until Qt is installed, so that a build stopped half
# way goes on where it stopped.
work=$prefix.build
log=$prefix.log
mkdir -p "$work"
: >"$log"
trap 'status=$?; [ $status -eq 0 ] || { tail -n 30 "$log"; echo "build-qt: failed, log in $log" >&2; }' EXIT
cd "$work"

# The source packages come through apt, which needs their index.
if ! apt-get source --download-only --print-uris qt6-base >/dev/null 2>&1; then
    echo "Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" >/etc/apt/sources.list.d/quillet-qt-source.sources
    apt-get update -qq
fi
if [ ! -d qtbase-everywhere-src-6.4.2 ] || [ ! -d qtimageformats-everywhere-src-6.4.2 ]; then
    apt-get source --download-only qt6-base qt6-imageformats >>"$log" 2>&1
    tar xf qt6-base_6.4.2+dfsg.orig.tar.xz
    tar xf qt6-imageformats_6.4.2.orig.tar.xz
fi

host=(-DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake)
cmake -S qtbase-everywhere-src-6.4.2 -B build-base -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" "${host[@]}" \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF \
    -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_printsupport=OFF -DFEATURE_icu=OFF \
    -DFEATURE_tabletevent=OFF -DFEATURE_testlib=ON -DFEATURE_widgets=ON -DFEATURE_gui=ON \
    >>"$log" 2>&1
cmake --build build-base --parallel "$jobs" >>"$log" 2>&1
cmake --install build-base >>"$log" 2>&1

"$prefix/bin/qt-cmake" -S qtimageformats-everywhere-src-6.4.2 -B build-formats -G Ninja \
    "${host[@]}" -DFEATURE_webp=OFF -DFEATURE_jasper=OFF -DFEATURE_mng=OFF -DFEATURE_tiff=ON \
    -DFEATURE_system_tiff=OFF >>"$log" 2>&1
cmake --build build-formats --parallel "$jobs" >>"$log" 2>&1
cmake --install build-formats >>"$log" 2>&1
cd / && rm -rf "$work"
