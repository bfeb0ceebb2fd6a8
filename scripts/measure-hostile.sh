#!/usr/bin/env bash
# Runs the application against a backend that misbehaves (melodrift-stand-in --hostile: artwork
# at "file:///dev/zero" and "/dev/urandom", endless and 5600 x 5600 artwork, artwork behind a
# redirect to another origin, a stalling track, a track announced as 100 GiB), plays each hostile
# station through the accessibility bus, and then points the application at a catalogue that
# never ends. Prints the largest resident memory of the application and the slowest answer of
# its GUI thread (a D-Bus property read, answered there) per phase.
#
#   scripts/measure-hostile.sh BUILD_DIR [SECONDS_PER_PHASE] [DISPLAY_NUMBER] [PORT]
# Everything runs on 127.0.0.1 inside a private session bus and an Xvfb display of its own.
set -euo pipefail

build=$(realpath "${1:?usage: measure-hostile.sh BUILD_DIR [SECONDS] [DISPLAY] [PORT]}")
seconds=${2:-40}
display=${3:-99}
port=${4:-8899}

if [[ -z "${MELODRIFT_HOSTILE_INNER:-}" ]]; then
  export MELODRIFT_HOSTILE_INNER=1
  exec dbus-run-session -- bash "$0" "$build" "$seconds" "$display" "$port"
fi

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  if [[ -n "${KEEP_LOGS:-}" ]]; then echo "logs: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

Xvfb ":$display" -screen 0 1280x900x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=":$display"
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QTWEBENGINE_DISABLE_SANDBOX=1
export MELODRIFT_INSTANCE_SUFFIX=hostile-$port
export GST_PLUGIN_FEATURE_RANK=fakeaudiosink:MAX

"$build/tests/melodrift-stand-in" --hostile --port "$port" >"$work/stand-in.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do grep -q listening "$work/stand-in.log" && break; sleep 0.1; done

# The slowest of `count` reads of a property that the application answers on its GUI thread.
slowest_answer() {
  local name=$1 worst=0
  for _ in $(seq "$2"); do
    local start end took
    start=$(date +%s%N)
    dbus-send --session --print-reply --reply-timeout=20000 --dest="$name" /org/mpris/MediaPlayer2 \
      org.freedesktop.DBus.Properties.Get string:org.mpris.MediaPlayer2.Player string:PlaybackStatus \
      >/dev/null 2>&1 || true
    end=$(date +%s%N)
    took=$(((end - start) / 1000000))
    ((took > worst)) && worst=$took
    sleep 0.5
  done
  echo "$worst"
}

run_phase() {
  local label=$1 base=$2 drive=$3
  MELODRIFT_API_BASE_URL=$base "$build/src/melodrift-radio" >"$work/app-$label.log" 2>&1 &
  local app=$!
  pids+=($app)
  local name=""
  for _ in $(seq 100); do
    name=$(dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
      org.freedesktop.DBus.ListNames 2>/dev/null | grep -o 'org.mpris.MediaPlayer2.melodrift[^"]*' | head -1) || true
    [[ -n "$name" ]] && break
    sleep 0.2
  done
  local peak=0
  sample() {
    local rss
    rss=$(awk '/VmRSS/ {print $2}' "/proc/$app/status" 2>/dev/null || echo 0)
    ((rss > peak)) && peak=$rss
    return 0
  }
  UI_PID=$app /usr/bin/python3 /work/shared/tools/atspi-drive wait-app 30 >/dev/null 2>&1 || true
  if [[ "$drive" == yes ]]; then
    for station in "Device Zero" "Device Random" "Endless Art" "Giant Art" "Trickling Art" "Giant GIF Art" "Moved Art" "Hostile Rotation"; do
      UI_PID=$app /usr/bin/python3 /work/shared/tools/atspi-drive press "$station" --substr >>"$work/drive.log" 2>&1 || true
      sample
      sleep 3
      sample
      # Back to the grid: the full player opens over it.
      UI_PID=$app /usr/bin/python3 /work/shared/tools/atspi-drive press "بستن" >>"$work/drive.log" 2>&1 || true
      sleep 1
    done
  fi
  local worst=0 end=$((SECONDS + seconds))
  while ((SECONDS < end)); do
    sample
    local took
    took=$(slowest_answer "$name" 2)
    ((took > worst)) && worst=$took
  done
  local alive=no
  kill -0 "$app" 2>/dev/null && alive=yes
  printf '%-22s peak RSS %4d MB, slowest GUI-thread answer %5d ms, still running: %s\n' \
    "$label" $((peak / 1024)) "$worst" "$alive"
  kill "$app" 2>/dev/null || true
  wait "$app" 2>/dev/null || true
}

run_phase "hostile catalogue" "http://127.0.0.1:$port" yes
run_phase "endless catalogue" "http://127.0.0.1:$port/hostile/endless/" no
grep -c '^\[stand-in\]' "$work/stand-in.log" | sed 's/^/stand-in requests served: /'
