#!/usr/bin/env bash
# Builds the Debian package, unpacks it, builds a consumer against the unpacked
# tree (CMake and pkg-config), and runs the unpacked demo.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh desktop-file-utils file
# As the README builds it: /usr, multiarch libraries, no tests.
cmake --preset package >/dev/null
cmake --build --preset package
out="$PWD/build/package-check"
rm -rf "$out"
cpack -G DEB --config build/package/CPackConfig.cmake -B "$out"
deb=$(ls "$out"/*.deb)
dpkg-deb --field "$deb" Package Version Depends
for needed in qt6-base-dev qt6-svg-dev libpugixml-dev; do
  dpkg-deb --field "$deb" Depends | grep -q "$needed" || { echo "Depends lacks $needed"; exit 1; }
done
dpkg-deb -x "$deb" "$out/root"
usr="$out/root/usr"
libdir="lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)"
ls "$usr/$libdir"/libxamlpie.a "$usr/$libdir"/libxamlpie-scene.a "$usr/$libdir"/libxamlpie-markup.a \
  "$usr/$libdir"/libxamlpie-quick.so "$usr/$libdir"/qt6/qml/Xamlpie/qmldir >/dev/null
! file "$usr/bin/xamlpie-demo" | grep -q "not stripped" || { echo "xamlpie-demo is not stripped"; exit 1; }
# In /usr the dynamic linker finds everything: a run path would only let a
# stray library beside a program win over the system's.
for elf in "$usr"/bin/* "$usr/$libdir"/*.so* "$usr/$libdir"/qt6/qml/Xamlpie/*.so; do
  [ -L "$elf" ] && continue
  if readelf -d "$elf" | grep -Eq 'RUNPATH|RPATH'; then
    echo "$elf has a run path: $(readelf -d "$elf" | grep -E 'RUNPATH|RPATH')"; exit 1
  fi
done
for doc in copyright changelog.gz html/index.html html/classxamlpie_1_1PieView.html; do
  [ -s "$usr/share/doc/xamlpie/$doc" ] || { echo "/usr/share/doc/xamlpie/$doc is missing"; exit 1; }
done
dpkg-deb --field "$deb" Description | grep -q "QML module" ||
  { echo "the package's description does not name the QML module"; exit 1; }

export QT_QPA_PLATFORM=offscreen
cmake -S cmake/consumer -B "$out/consumer" -G Ninja -DCMAKE_PREFIX_PATH="$usr" -DCONSUMER_QUICK=ON \
  >/dev/null
cmake --build "$out/consumer"
(cd "$out/consumer" && ./xamlpie-consumer && ./xamlpie-label-consumer && ./xamlpie-form-consumer &&
  ./xamlpie-quick-consumer)
ls "$usr/$libdir"/qt6/plugins/designer/libxamlpie-designer.so >/dev/null
# The file names /usr, as installed; the unpacked tree stands in for it.
if PKG_CONFIG_PATH="$usr/$libdir/pkgconfig" pkg-config --cflags xamlpie | grep -q -- -I; then
  echo "pkg-config --cflags names an include folder the compiler searches anyway"; exit 1
fi
PKG_CONFIG_PATH="$usr/$libdir/pkgconfig" sh -c \
  'c++ -std=c++20 -DXAMLPIE_PLAIN cmake/consumer/main.cpp -I"$1/include" -L"$1/$2" \
     $(pkg-config --cflags --libs xamlpie) -o "$0/plain"' "$out" "$usr" "$libdir"
"$out/plain"
desktop-file-validate "$usr/share/applications/xamlpie-demo.desktop" \
  "$usr/share/applications/xamlpie-playground.desktop" \
  "$usr/share/applications/xamlpie-quick-gallery.desktop"
"$usr/bin/xamlpie-demo" --screenshot "$out/demo.png"
"$usr/bin/xamlpie-playground" --screenshot "$out/playground.png"
# The QML module from the unpacked tree: the gallery finds it beside itself.
"$usr/bin/xamlpie-quick-gallery" --screenshot "$out/quick-gallery.png"
echo "package-check: $(basename "$deb") works unpacked"
