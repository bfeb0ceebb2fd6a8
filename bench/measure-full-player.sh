#!/usr/bin/env bash
# What keeping the full player open costs: the application's CPU time over a stretch of playback
# with the full player open and its record turning, then, in the same process, with it closed
# (Escape), under Xvfb (software OpenGL) against the stand-in backend. The application plays the
# catalogue's "persian" rotation ("--debug-sync"), which goes on from track to track.
#   bench/measure-full-player.sh [build-dir] [display] [port] [seconds]
# Prints the CPU share of each stretch (100 % = one core), the player's state at its end, and the
# ratio open / closed. Set MELODRIFT_NO_WEBENGINE=1 to leave the banner's web engine out.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
display=${2:-:99}
port=${3:-8799}
seconds=${4:-30}
warmup=${MEASURE_WARMUP:-8}
app="$build/src/melodrift-radio"
stand_in="$build/tests/melodrift-stand-in"
[ -x "$app" ] && [ -x "$stand_in" ] || { echo "measure: build $app and $stand_in first" >&2; exit 1; }

if [ "${MELODRIFT_MEASURE_INNER:-}" != 1 ]; then
  pids=()
  cleanup() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; }
  trap cleanup EXIT
  if ! xdpyinfo -display "$display" >/dev/null 2>&1; then
    Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done
  fi
  "$stand_in" --port "$port" >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do (exec 3<>/dev/tcp/127.0.0.1/"$port") 2>/dev/null && break; sleep 0.1; done
  MELODRIFT_MEASURE_INNER=1 dbus-run-session -- bash "$0" "$build" "$display" "$port" "$seconds"
  exit $?
fi

export DISPLAY=$display QT_QPA_PLATFORM=xcb GST_PLUGIN_FEATURE_RANK=fakeaudiosink:MAX
export MELODRIFT_API_BASE_URL="http://127.0.0.1:$port" MELODRIFT_INSTANCE_SUFFIX=measure$$
ticks=$(getconf CLK_TCK)

# CPU ticks (user + system) the process has used so far.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# CPU share of the process over the next `seconds`.
share() {
  local before after
  before=$(cpu_ticks "$1")
  sleep "$seconds"
  after=$(cpu_ticks "$1")
  awk -v t="$((after - before))" -v hz="$ticks" -v s="$seconds" 'BEGIN { printf "%.1f", 100 * t / hz / s }'
}
state() { playerctl -p "melodrift" status 2>/dev/null || echo "unknown"; }

"$app" --debug-sync >/dev/null 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
sleep "$warmup"
open=$(share "$pid")
echo "full player open:   ${open} % CPU over ${seconds} s (player: $(state))"
window=$(xdotool search --pid "$pid" --onlyvisible --name "Melodrift" | head -n 1)
# Escape closes the full player (a synthetic event sent to the window would be ignored).
xdotool windowfocus "$window" 2>/dev/null
sleep 0.3
xdotool key Escape
sleep 3
closed=$(share "$pid")
echo "full player closed: ${closed} % CPU over ${seconds} s (player: $(state))"
awk -v o="$open" -v c="$closed" 'BEGIN { if (c > 0) printf "open / closed: %.2f\n", o / c }'
