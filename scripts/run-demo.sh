#!/usr/bin/env bash
# Starts the stand-in backend with its demo catalogue and the application pointed at it.
set -euo pipefail
build=${1:-build}
shift || true
port=${MELODRIFT_DEMO_PORT:-8765}
"$build/tests/melodrift-stand-in" --port "$port" &
stand_in=$!
trap 'kill $stand_in 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  (exec 3<>/dev/tcp/127.0.0.1/"$port") 2>/dev/null && break
  sleep 0.1
done
export MELODRIFT_API_BASE_URL="http://127.0.0.1:$port"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run-demo: no display; running under Xvfb" >&2
  xvfb-run -a "$build/src/melodrift-radio" "$@"
else
  "$build/src/melodrift-radio" "$@"
fi
