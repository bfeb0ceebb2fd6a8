# Sourced by the measuring scripts: a work folder removed at exit, processes ended at exit (those
# in `pids`, and those started in a subshell, whose pids it adds to "$work/pids"), and an Xvfb
# display of their own. Set keep_work=1 (before or after sourcing) to leave the folder for a look;
# it is also left when a wait for a log line gave up.
work=$(mktemp -d)
pids=()
keep_work=${keep_work:-}
cleanup() {
  # A stopped process takes the signal once continued.
  for p in "${pids[@]}" $(cat "$work/pids" 2>/dev/null); do
    kill "$p" 2>/dev/null || true; kill -CONT "$p" 2>/dev/null || true
  done
  wait 2>/dev/null || true
  if [ -n "$keep_work" ] || [ -e "$work/keep" ]; then echo "logs kept in $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

# Starts an Xvfb display and prints its name (":N"), its pid added to "$work/pids". With
# MEASURE_DISPLAYS=FIRST-LAST (e.g. 152-159) the displays are taken from that range, so that a
# run keeps clear of the numbers others use on the machine; without it, the X server picks a free
# number itself.
display_answers() {
  if command -v xdpyinfo > /dev/null; then DISPLAY=$1 xdpyinfo > /dev/null 2>&1; else [ -e "/tmp/.X11-unix/X${1#:}" ]; fi
}
start_xvfb() {
  local file n first last
  file=$(mktemp -p "$work" display.XXXXXX)
  if [ -z "${MEASURE_DISPLAYS:-}" ]; then
    Xvfb -displayfd 6 -screen 0 1280x1024x24 -nolisten tcp 6> "$file" >/dev/null 2>&1 &
    echo $! >> "$work/pids"
    for _ in $(seq 50); do [ -s "$file" ] && break; sleep 0.1; done
    echo ":$(cat "$file")"
    return 0
  fi
  first=${MEASURE_DISPLAYS%-*} last=${MEASURE_DISPLAYS#*-}
  local server
  for n in $(seq "$first" "$last"); do
    if [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; then continue; fi
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    server=$!
    echo "$server" >> "$work/pids"
    # Up once it answers; gone if another server took the number first.
    for _ in $(seq 50); do
      kill -0 "$server" 2>/dev/null || break
      if display_answers ":$n"; then echo ":$n"; return 0; fi
      sleep 0.1
    done
  done
  echo "measure: no free display in $MEASURE_DISPLAYS" >&2
  exit 2
}
DISPLAY=$(start_xvfb)
export DISPLAY
export QT_LOGGING_RULES="qt.qpa.*=false"
