#!/usr/bin/env bash
# ./run as a newcomer's first start meets it, with no settings file yet: the virtual module
# starts, the port leads to it, and ./run says which port trivex starts on and how to use a
# real adapter instead. A settings file that names a port that is present is used as it is.
set -euo pipefail
root="$1"
build="$2"
work="$(mktemp -d)"
other=""
trap '[ -n "$other" ] && kill "$other" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "$1"; echo "$out"; exit 1; }
run() { DISPLAY="${DISPLAY:-:0}" QT_QPA_PLATFORM=offscreen TRIVEX_INI="$work/trivex.ini" \
  TRIVEX_BUS="$work/bus" "$root/run" --version 2>&1; }

out=$(run)
echo "$out" | grep -q "^run: COM1 leads to the virtual module at $work/bus" || fail "no virtual module on a first start:"
echo "$out" | grep -q "^run: .*real adapter" || fail "no word on using a real adapter:"
grep -qx "COM1=$work/bus" "$work/trivex.ini" || fail "the port does not lead to the virtual module:"

# A port that is present (another virtual bus stands in for an adapter) is used as it is.
"$build/trivex-sim" --headless --link "$work/adapter" >/dev/null 2>&1 &
other=$!
for _ in $(seq 100); do [ -e "$work/adapter" ] && break; sleep 0.02; done
printf '[Settings]\nCommPort=2\nSetting=9600,n,8,1\n[Ports]\nCOM2=%s\n' "$work/adapter" >"$work/trivex.ini"
out=$(run)
echo "$out" | grep -q "^run: COM2 is $work/adapter, which is present" || fail "a present port was not used:"
[ "$(grep -c . "$work/trivex.ini")" = 5 ] || fail "the settings file was changed"
echo "./run on a first start and with a present port: as expected"
