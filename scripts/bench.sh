#!/usr/bin/env bash
# Runs every benchmark program once.
set -euo pipefail
build=${1:-build}
for b in "$build"/bench/bench_*; do
  [ -x "$b" ] && "$b"
done
