#!/usr/bin/env bash
# Runs every test headless: offscreen Qt, a fake audio sink, a private session bus.
#   test.sh [build-dir [ctest arguments…]]
# The run, the bus and every service the bus starts for it (the Secret Service, say) get a home,
# XDG folders and a temporary folder of the run's own, removed afterwards.
# The run happens in a sandbox (bubblewrap) where the real home folder cannot be reached: an empty
# folder stands at its path, /dev is a private one, and the run has processes and a loopback
# network of its own. So the application may play on the same desktop meanwhile, and what it
# writes in the home is no test's doing. The source tree is read-only in there; the build folder
# and the run's folder are writable. The run fails when a test left anything at the home's path
# or replaced a device node, in the sandbox's /dev or the real one.
# Where no sandbox can be made (no bubblewrap, or no right to make namespaces), or with
# MELODRIFT_TEST_SANDBOX=off, the tests run in the open and the real home is checked instead:
# that check also fails on what a running application writes there.
set -euo pipefail
scripts=$(cd "$(dirname "$0")" && pwd)
check="$scripts/untouched.sh"

# Runs the command in the remaining arguments between two listings of <home> and /dev (kept in
# <folder>), and fails when the second shows a change.
#   guarded snapshot|snapshot-all <home> <folder> command…
guarded() {
  local kind=$1 home=$2 folder=$3 status=0
  shift 3
  bash "$check" "$kind" "$home" /dev >"$folder/before"
  "$@" || status=$?
  bash "$check" "$kind" "$home" /dev >"$folder/after"
  if ! bash "$check" compare "$folder/before" "$folder/after" >&2; then
    echo "FAILED: the tests must touch nothing outside their own temporary folders (see above)." >&2
    status=1
  fi
  return $status
}

# The suite on a private bus.
suite() {
  local build=$1
  shift
  # One plugin registry for the whole run, built once here rather than by every test program at once.
  gst-inspect-1.0 >/dev/null 2>&1 || true
  dbus-run-session -- ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 300 "$@"
}

# In the sandbox: the empty home at the real one's path and the private /dev.
if [ "${1:-}" = --inside ]; then
  work=$2 build=$3 home=$4
  shift 4
  mkdir "$work/inside"
  guarded snapshot-all "$home" "$work/inside" suite "$build" "$@"
  exit
fi

build=$(cd "${1:-build}" && pwd)
shift $(($# > 0 ? 1 : 0))
source_dir=$(dirname "$scripts")
export QT_QPA_PLATFORM=offscreen
export GST_PLUGIN_FEATURE_RANK=fakeaudiosink:MAX

real_home=$(realpath -m "${HOME:?no home folder}")
work=$(mktemp -d "${TMPDIR:-/tmp}/melodrift-test-run-XXXXXX")
trap 'rm -rf "$work"' EXIT
# An empty folder to list when there is no home to look at.
mkdir "$work/none"
if [ "$real_home" = / ] || [ ! -d "$real_home" ]; then
  real_home=$work/none
fi

export HOME="$work/home" TMPDIR="$work/tmp"
export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share" \
       XDG_CACHE_HOME="$HOME/.cache" XDG_STATE_HOME="$HOME/.local/state" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$TMPDIR" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_STATE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# The tests draw offscreen: nothing of theirs shows on the listener's desktop.
unset DISPLAY WAYLAND_DISPLAY

# Namespaces of the run's own: processes (all end with the run), network (loopback only), mounts.
# The source, build and run folders are bound again after the home is hidden, for when they lie
# under it; the build folder may lie in the source tree, the run's folder in either.
sandbox=(bwrap --die-with-parent --unshare-pid --unshare-net --bind / / --proc /proc --dev /dev)
[ "$real_home" = "$work/none" ] || sandbox+=(--tmpfs "$real_home")
sandbox+=(--ro-bind "$source_dir" "$source_dir" --bind "$build" "$build" --bind "$work" "$work")

if [ "${MELODRIFT_TEST_SANDBOX:-}" != off ] && "${sandbox[@]}" true 2>/dev/null; then
  # The real home is out of the tests' reach; of the machine, the real /dev is looked at here.
  guarded snapshot-all "$work/none" "$work" "${sandbox[@]}" bash "$scripts/test.sh" --inside "$work" "$build" "$real_home" "$@"
else
  echo "test.sh: no sandbox; the tests run in the open, and the home check fails on anything written there meanwhile." >&2
  guarded snapshot "$real_home" "$work" suite "$build" "$@"
fi
