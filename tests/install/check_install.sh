#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks what an installed trivex needs: both
# programs, the desktop entries, the icon, and settings kept in the user's own folder.
set -euo pipefail
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/trivex bin/trivex-sim share/applications/trivex.desktop share/applications/trivex-sim.desktop \
            share/icons/hicolor/32x32/apps/trivex.png; do
  [ -e "$prefix/$file" ] || { echo "missing after install: $file"; exit 1; }
done
[ -x "$prefix/bin/trivex" ] || { echo "bin/trivex is not executable"; exit 1; }
head -c 8 "$prefix/share/icons/hicolor/32x32/apps/trivex.png" | od -An -tx1 | grep -q "89 50 4e 47" ||
  { echo "the icon is not a PNG file"; exit 1; }
grep -qx "Exec=trivex" "$prefix/share/applications/trivex.desktop" || { echo "desktop entry without Exec"; exit 1; }
# The installed program names the settings file it uses in its help, which needs no display.
home="$prefix/home"
mkdir -p "$home"
report=$(cd "$home" && env -u DISPLAY -u WAYLAND_DISPLAY HOME="$home" XDG_CONFIG_HOME="" TRIVEX_INI="" \
  "$prefix/bin/trivex" --help 2>&1 || true)
echo "$report" | grep -q "Settings file: $home/.config/trivex/trivex.ini" ||
  { echo "the installed program does not use the per-user settings folder:"; echo "$report"; exit 1; }
[ ! -e "$prefix/bin/trivex.ini" ] || { echo "settings written into the bin folder"; exit 1; }
echo "install into $prefix: complete"
