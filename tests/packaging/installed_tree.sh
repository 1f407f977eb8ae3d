#!/usr/bin/env bash
# Installs the build into a fresh prefix, checks what lands there, and runs the program on
# the simulated board from the installed files alone.
# Usage: installed_tree.sh CMAKE BUILD_DIR WORK_DIR VERSION_BLOCK [DESKTOP_FILE_VALIDATE]
set -euo pipefail

cmake="$1"
build="$2"
work="$3"
block="$4"
validate="${5:-}"

here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=checks.sh
source "$here/checks.sh"

rm -rf "$work"
mkdir -p "$work"
work="$(cd "$work" && pwd -P)"
prefix="$work/prefix"
pid=""
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
}
trap cleanup EXIT

step "install into a temporary prefix"
"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" || {
  cat "$work/install.log"; fail "cmake --install failed"; }

step "files in place"
check_tree "$prefix" ""
for f in bin/RavlenCtrl bin/ravlen-sim bin/ravlen-simctl; do
  [ -x "$prefix/$f" ] || fail "$f is not executable"
done

step "simulator library kept out of every default search"
check_private_driver "$prefix" ""

step "version block survives installation"
check_version_block "$prefix/bin/RavlenCtrl" "$block"

step "desktop entry"
check_desktop_entry "$prefix/share/applications/ravlenctrl.desktop" "$validate"

step "udev rule"
check_udev_rule "$prefix/lib/udev/rules.d/60-ravlenctrl.rules"

step "installed ravlen-sim runs the installed program on the installed simulator"
mkdir -p "$work/run"
cd "$work/run"
sock="$work/run/sim.sock"
marker='4573F231-88FD-4320-94A4-57ECC4CEE51C'
# Only one copy of the program runs per machine; a copy started elsewhere on this machine
# (outside this test run) makes ours end at once without a log, so wait for it to go.
up=0
for attempt in $(seq 30); do
  rm -f RavlenLog.txt
  env -u LD_LIBRARY_PATH QT_QPA_PLATFORM=offscreen \
    "$prefix/bin/ravlen-sim" --socket "$sock" >"$work/run/out.log" 2>&1 &
  pid=$!
  for _ in $(seq 100); do
    if "$prefix/bin/ravlen-simctl" --socket "$sock" status >"$work/run/status.txt" 2>/dev/null; then
      up=1
      break
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  [ "$up" = 1 ] && break
  wait "$pid" 2>/dev/null || true
  pid=""
  if [ -e RavlenLog.txt ] || ! grep -qF "$marker" /proc/net/unix; then break; fi
  echo "another copy of RavlenCtrl runs on this machine; waiting (attempt $attempt)"
  sleep 1
done
[ "$up" = 1 ] || { cat "$work/run/out.log"; fail "the simulator never answered ravlen-simctl"; }
exe="$(readlink "/proc/$pid/exe")"
[ "$exe" = "$prefix/bin/RavlenCtrl" ] || fail "ravlen-sim started $exe, not the installed program"
maps="$(grep -o '/[^ ]*libftd2xx\.so[^ ]*' "/proc/$pid/maps" | sort -u)"
[ "$maps" = "$prefix/lib/ravlen-sim/libftd2xx.so" ] ||
  fail "the program mapped '${maps:-no driver library}', not the installed simulator"
grep -q " - Ravlen Started" RavlenLog.txt || fail "no start record in the activity log"

echo "installed tree OK"
