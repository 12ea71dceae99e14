#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks what an installed trivex needs: both
# programs, desktop entries and AppStream metainfo that validate, icons at every size, man
# pages, and settings kept in the user's own folder.
set -euo pipefail
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
# What the install takes from the build is what ./run builds: the three programs and the icons
# they are built with (a man page compressed at build time was missing after ./run).
taken=$(grep -ho "\"$build/[^\"]*\"" $(find "$build" -name cmake_install.cmake) | tr -d '"' | sort -u |
  grep -vxE "$build/(trivex|trivex-sim|trivexctl|icons/|.*cmake_install\.cmake|\\\$\{CMAKE_INSTALL_MANIFEST\})" || true)
[ -z "$taken" ] || { echo "the install takes files that ./run does not build:"; echo "$taken"; exit 1; }
cd "$prefix"
for file in bin/trivex bin/trivex-sim bin/trivexctl share/man/man1/trivex.1.gz share/man/man1/trivex-sim.1.gz \
            share/man/man1/trivexctl.1.gz share/bash-completion/completions/trivexctl \
            share/icons/hicolor/scalable/apps/trivex.svg share/icons/hicolor/scalable/apps/trivex-sim.svg; do
  [ -e "$file" ] || { echo "missing after install: $file"; exit 1; }
done
# The dissector lies where this machine's Wireshark looks for every user's Lua plugins, below /usr.
plugins=$(tshark -G folders 2>/dev/null | sed -n 's/^Global Lua Plugins:[[:space:]]*//p')
[ -n "$plugins" ] || { echo "tshark names no folder for Lua plugins (scripts/setup installs it)"; exit 1; }
[ -f "${plugins#/usr/}/trivex.lua" ] || { echo "the dissector is not in ${plugins#/usr/}"; find . -name trivex.lua; exit 1; }
for size in 16 32 48 64 128 256; do
  for name in trivex trivex-sim; do
    png="share/icons/hicolor/${size}x${size}/apps/$name.png"
    file "$png" | grep -q "PNG image data, $size x $size" || { echo "not a $size px PNG: $png"; exit 1; }
  done
done
desktop-file-validate share/applications/org.trivex.Trivex.desktop share/applications/org.trivex.TrivexSim.desktop
appstreamcli validate --no-net --pedantic share/metainfo/org.trivex.Trivex.metainfo.xml >/dev/null ||
  { appstreamcli validate --no-net share/metainfo/org.trivex.Trivex.metainfo.xml; exit 1; }
grep -qx "Exec=trivex" share/applications/org.trivex.Trivex.desktop || { echo "desktop entry without Exec"; exit 1; }
# The installed program names the settings file it uses in its help, which needs no display.
home="$prefix/home"
mkdir -p "$home"
report=$(cd "$home" && env -u DISPLAY -u WAYLAND_DISPLAY HOME="$home" XDG_CONFIG_HOME="" TRIVEX_INI="" \
  "$prefix/bin/trivex" --help 2>&1 || true)
echo "$report" | grep -q "Settings file: $home/.config/trivex/trivex.ini" ||
  { echo "the installed program does not use the per-user settings folder:"; echo "$report"; exit 1; }
[ ! -e "$prefix/bin/trivex.ini" ] || { echo "settings written into the bin folder"; exit 1; }
# trivexctl runs with no display, and its completion offers the words' choices.
help=$(env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/trivexctl" --help)
grep -q "commission --first ADDR" <<<"$help" || { echo "trivexctl --help without commission"; exit 1; }
choices=$(bash -c 'source "$1"; COMP_WORDS=(trivexctl backlight ""); COMP_CWORD=2; _trivexctl; echo "${COMPREPLY[*]}"' _ \
  share/bash-completion/completions/trivexctl)
[ "$choices" = "on off blink" ] || { echo "completion of backlight: $choices"; exit 1; }
echo "install into $prefix: complete"
