#!/usr/bin/env bash
# Runs every benchmark program once, then the window measurement (CPU, memory and start-up of the
# application's window against a bare Qt Quick window and GStreamer alone, under Xvfb).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
for b in "$build"/bench/bench_*; do
  [ -x "$b" ] && "$b"
done
bash bench/measure-window.sh "$build"
