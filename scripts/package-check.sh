#!/usr/bin/env bash
# Builds the Debian package, unpacks it, builds a consumer against the unpacked
# tree (CMake and pkg-config), and runs the unpacked demo.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh desktop-file-utils
cmake --preset default >/dev/null
cmake --build --preset default
out="$PWD/build/package"
rm -rf "$out"
cpack -G DEB --config build/default/CPackConfig.cmake -B "$out"
deb=$(ls "$out"/*.deb)
dpkg-deb --field "$deb" Package Version Depends
dpkg-deb -x "$deb" "$out/root"
usr="$out/root/usr"

export QT_QPA_PLATFORM=offscreen
cmake -S cmake/consumer -B "$out/consumer" -G Ninja -DCMAKE_PREFIX_PATH="$usr" >/dev/null
cmake --build "$out/consumer"
(cd "$out/consumer" && ./xamlpie-consumer && ./xamlpie-label-consumer)
PKG_CONFIG_PATH="$usr/lib/pkgconfig" sh -c \
  'c++ -std=c++20 -DXAMLPIE_PLAIN cmake/consumer/main.cpp $(pkg-config --cflags --libs xamlpie) -o "$0/plain"' "$out"
"$out/plain"
desktop-file-validate "$usr/share/applications/xamlpie-demo.desktop" \
  "$usr/share/applications/xamlpie-playground.desktop"
"$usr/bin/xamlpie-demo" --screenshot "$out/demo.png"
"$usr/bin/xamlpie-playground" --screenshot "$out/playground.png"
echo "package-check: $(basename "$deb") works unpacked"
