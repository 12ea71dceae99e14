#!/usr/bin/env bash
# Makes the Debian package of the build as the README says (cpack -G DEB) and checks it: the
# dependencies dpkg-shlibdeps found, the files a user gets, the maintainer and the copyright.
set -euo pipefail
build="$1"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >/dev/null
deb=$(ls "$out"/trivex_*_*.deb)
control=$(dpkg-deb -I "$deb")
for field in "Package: trivex" "Maintainer: " "Depends: .*libqt6serialport6" "Depends: .*libqt6widgets6" "Section: "; do
  echo "$control" | grep -q "$field" || { echo "control without $field:"; echo "$control"; exit 1; }
done
files=$(dpkg-deb -c "$deb" | awk '{print $6}')
for file in ./usr/bin/trivex ./usr/bin/trivex-sim ./usr/bin/trivexctl ./usr/share/man/man1/trivexctl.1.gz \
            ./usr/share/bash-completion/completions/trivexctl ./usr/share/applications/org.trivex.Trivex.desktop \
            ./usr/share/metainfo/org.trivex.Trivex.metainfo.xml ./usr/share/man/man1/trivex.1.gz \
            ./usr/share/icons/hicolor/256x256/apps/trivex.png ./usr/share/doc/trivex/copyright \
            ./usr/share/doc/trivex/changelog.Debian.gz "./usr/lib/$(gcc -print-multiarch)/wireshark/plugins/trivex.lua"; do
  echo "$files" | grep -qx "$file" || { echo "not in the package: $file"; exit 1; }
done
echo "package $(basename "$deb"): complete"
