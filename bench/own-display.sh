# Sourced by the measuring scripts: a work folder removed at exit, processes ended at exit (those
# in `pids`, and those started in a subshell, whose pids it adds to "$work/pids"), and an Xvfb
# display of their own. Set keep_work=1 (before or after sourcing) to leave the folder for a look.
work=$(mktemp -d)
pids=()
keep_work=${keep_work:-}
cleanup() {
  # A stopped process takes the signal once continued.
  for p in "${pids[@]}" $(cat "$work/pids" 2>/dev/null); do
    kill "$p" 2>/dev/null || true; kill -CONT "$p" 2>/dev/null || true
  done
  wait 2>/dev/null || true
  if [ -n "$keep_work" ]; then echo "logs kept in $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

exec 5> "$work/display"
Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
export QT_LOGGING_RULES="qt.qpa.*=false"
