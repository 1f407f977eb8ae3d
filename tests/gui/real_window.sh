#!/usr/bin/env bash
# Runs RavlenCtrl in a real X window (Xvfb), drives it with xdotool as an operator would,
# and checks what it shows at a few pixels. Screenshots land in the given folder.
# Usage: real_window.sh RAVLENCTRL BUILD_DIR SCREEN_DIR
set -euo pipefail

exe="$1"
build="$2"
shots="$3"
mkdir -p "$shots"
work="$(mktemp -d)"
simctl="$build/ravlen-simctl"
sock="$work/sim.sock"
pids=()

cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
step() { echo "--- $*"; }

# The server picks a free display itself and names it once it accepts clients; -noreset
# keeps it from restarting when a probing client disconnects while the program connects.
Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
display=":$(head -n1 "$work/display")"
export DISPLAY="$display"
xdpyinfo >/dev/null 2>&1 || fail "Xvfb does not answer on $display"
unset QT_QPA_PLATFORM

with_sim=0
if [ -x "$build/ravlen-sim" ] && [ -x "$simctl" ]; then with_sim=1; fi

start_program() {
  if [ "$with_sim" = 1 ]; then
    "$build/ravlen-sim" --socket "$sock" &
  else
    LD_LIBRARY_PATH="$work/nolib" "$exe" &
  fi
  prog=$!
  pids+=($prog)
}

window_id() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 || true; }
wait_window() {
  local name="$1" id=""
  for _ in $(seq 100); do id="$(window_id "$name")"; [ -n "$id" ] && break; sleep 0.1; done
  [ -n "$id" ] || fail "no window named '$name'"
  echo "$id"
}

shot() { import -window root "$shots/$1.png"; }
# Colour of a screen pixel as "r,g,b".
pixel() {
  convert "$shots/$1.png" -format '%[fx:int(255*p{'"$2"','"$3"'}.r+0.5)],%[fx:int(255*p{'"$2"','"$3"'}.g+0.5)],%[fx:int(255*p{'"$2"','"$3"'}.b+0.5)]' info:
}

cd "$work"
mkdir -p nolib
step "start"
start_program
win="$(wait_window "Corvane Ravlen Controller")"
eval "$(xdotool getwindowgeometry --shell "$win")"
wx=$X; wy=$Y; ww=$WIDTH; wh=$HEIGHT
echo "window $win at $wx,$wy size ${ww}x${wh}"
# Dialog units of this window: 301 x 238 of them make the client area.
dlu_x() { echo $(( wx + ($1 * ww) / 301 )); }
dlu_y() { echo $(( wy + ($1 * wh) / 238 )); }
click_dlu() { xdotool mousemove "$(dlu_x "$1")" "$(dlu_y "$2")" click 1; }

sleep 1
shot start
[ -s "$work/RavlenLog.txt" ] || fail "no activity log"
grep -q " - Ravlen Started" "$work/RavlenLog.txt" || fail "no start record"

step "second copy ends silently"
mkdir -p "$work/second"
( cd "$work/second" && timeout 10 env LD_LIBRARY_PATH="$work/nolib" "$exe" ) || fail "second copy did not end by itself"
[ ! -e "$work/second/RavlenLog.txt" ] || fail "second copy wrote a log"
[ "$(xdotool search --onlyvisible --name "Corvane Ravlen Controller" | wc -l)" = 1 ] || fail "two windows"

if [ "$with_sim" = 1 ]; then
  step "connect"
  click_dlu 149 15   # Start
  # Both passes and the pause, then the interlock's three restored ticks before HV ON is
  # usable; the board tells when the engine is on.
  for _ in $(seq 100); do
    "$simctl" --socket "$sock" status 2>/dev/null | grep -q "^bit mode: MPSSE" && break
    sleep 0.2
  done
  sleep 5
  shot connected
  "$simctl" --socket "$sock" status > "$shots/status-connected.txt"

  step "setpoints and HV ON"
  click_dlu 129 95; xdotool key ctrl+a type "30"
  click_dlu 129 112; xdotool key ctrl+a type "100"
  box=""
  for _ in $(seq 15); do
    click_dlu 250 110  # HV ON; it asks only once the buttons are usable
    for _ in $(seq 15); do box="$(window_id "^RavlenCtrl$")"; [ -n "$box" ] && break; sleep 0.1; done
    [ -n "$box" ] && break
    sleep 1
  done
  [ -n "$box" ] || fail "HV ON did not ask its question"
  sleep 0.5
  shot question
  xdotool windowactivate --sync "$box" key Return 2>/dev/null || xdotool key Return
  at30='^supply: on, output 3[01]\.\|^supply: on, output 29\.'
  for _ in $(seq 150); do
    "$simctl" --socket "$sock" status > "$shots/status-hv-on.txt" 2>/dev/null || true
    grep -q "$at30" "$shots/status-hv-on.txt" && break
    sleep 0.2
  done
  cat "$shots/status-hv-on.txt"
  grep -q "$at30" "$shots/status-hv-on.txt" || fail "the supply is not at 30 kV"
  # The readout turns green once the monitor shows the new power; left of its digits.
  power=""
  for _ in $(seq 40); do
    shot hv-on
    power="$(pixel hv-on "$(dlu_x 144)" "$(dlu_y 209)")"
    [ "$power" = "0,255,0" ] && break
    sleep 0.5
  done
  echo "power readout colour: $power"
  [ "$power" = "0,255,0" ] || fail "power readout not green at 30 kV 100 uA ($power)"
  sleep 1

  step "interlock opens"
  "$simctl" --socket "$sock" interlock open
  # The next monitor tick sees it; a setpoint application still running delays that tick.
  low_lines() { sed -n 's/^lines: low 0x\([0-9A-F]*\).*/\1/p' "$shots/status-interlock.txt"; }
  waited=0
  for _ in $(seq 50); do
    "$simctl" --socket "$sock" status > "$shots/status-interlock.txt" 2>/dev/null || true
    low="$(low_lines)"
    [ -n "$low" ] && [ $(( 0x$low & 0x60 )) = 0 ] && break
    sleep 0.2; waited=$((waited + 200))
  done
  echo "enable lines low after ${waited} ms"
  sleep 1.5
  shot interlock-open
  grep -q "^supply: off" "$shots/status-interlock.txt" || fail "the supply stayed on with the interlock open"
  grep -q "^lines: low 0x[0-9A-F]*" "$shots/status-interlock.txt"
  low="$(low_lines)"
  [ $(( 0x$low & 0x60 )) = 0 ] || fail "the enable lines are still high (0x$low)"
  "$simctl" --socket "$sock" interlock close
fi

step "exit"
click_dlu 230 138   # Exit
for _ in $(seq 200); do kill -0 "$prog" 2>/dev/null || break; sleep 0.1; done
kill -0 "$prog" 2>/dev/null && fail "the program did not end on Exit"
wait "$prog" 2>/dev/null || true
echo "log:"; cat "$work/RavlenLog.txt"
[ "$(grep -c . "$work/RavlenLog.txt")" = 1 ] || fail "the log holds more than the start record"
echo "PASS"
