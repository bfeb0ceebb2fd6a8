#!/usr/bin/env bash
# Runs every test headless: offscreen Qt, a fake audio sink, a private session bus.
#   test.sh [build-dir [ctest arguments…]]
# The run, the bus and every service the bus starts for it (the Secret Service, say) get a home,
# XDG folders and a temporary folder of the run's own, removed afterwards. The run fails when it
# left anything new in the real home or replaced a device node under /dev.
set -euo pipefail
build=${1:-build}
shift $(($# > 0 ? 1 : 0))
scripts=$(cd "$(dirname "$0")" && pwd)
export QT_QPA_PLATFORM=offscreen
export GST_PLUGIN_FEATURE_RANK=fakeaudiosink:MAX

real_home=${HOME:?no home folder}
work=$(mktemp -d "${TMPDIR:-/tmp}/melodrift-test-run-XXXXXX")
trap 'rm -rf "$work"' EXIT
bash "$scripts/untouched.sh" snapshot "$real_home" /dev >"$work/before"

export HOME="$work/home" TMPDIR="$work/tmp"
export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share" \
       XDG_CACHE_HOME="$HOME/.cache" XDG_STATE_HOME="$HOME/.local/state" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$TMPDIR" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_STATE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# One plugin registry for the whole run, built once here rather than by every test program at once.
gst-inspect-1.0 >/dev/null 2>&1 || true

status=0
dbus-run-session -- ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 300 "$@" || status=$?

bash "$scripts/untouched.sh" snapshot "$real_home" /dev >"$work/after"
if ! bash "$scripts/untouched.sh" compare "$work/before" "$work/after" >&2; then
  echo "FAILED: the tests must touch nothing outside their own temporary folders (see above)." >&2
  status=1
fi
exit $status
