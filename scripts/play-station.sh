#!/usr/bin/env bash
# Plays one station of the stand-in backend with the real player and exports it on the session
# bus, so that it can be controlled with playerctl from another terminal:
#   playerctl -p melodrift play-pause      (also: next, previous, position 30, position 10+, metadata)
# Usage: scripts/play-station.sh [genre] [--track N]    (default genre: persian)
# Without a desktop session, run it inside `dbus-run-session -- bash` and use playerctl there.
# MELODRIFT_API_BASE_URL set: that backend is used and no stand-in is started.
set -euo pipefail
build=${BUILD:-build}
genre=${1:-persian}
shift || true
pids=()
stop() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap stop EXIT
trap 'exit 130' INT TERM
if [ -z "${MELODRIFT_API_BASE_URL:-}" ]; then
  port=${MELODRIFT_DEMO_PORT:-8765}
  "$build/tests/melodrift-stand-in" --port "$port" >/dev/null &
  pids+=($!)
  for _ in $(seq 100); do
    (exec 3<>/dev/tcp/127.0.0.1/"$port") 2>/dev/null && break
    sleep 0.1
  done
  export MELODRIFT_API_BASE_URL="http://127.0.0.1:$port"
fi
"$build/tests/melodrift-play-station" "$genre" "$@" &
pids+=($!)
wait "${pids[-1]}"
