#!/usr/bin/env bash
# Runs every test headless: offscreen Qt, a fake audio sink, a private session bus.
set -euo pipefail
build=${1:-build}
export QT_QPA_PLATFORM=offscreen
export GST_PLUGIN_FEATURE_RANK=fakeaudiosink:MAX
exec dbus-run-session -- ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 300
