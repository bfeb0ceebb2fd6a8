#!/usr/bin/env bash
# Plays a rotation of short tracks in the application under Xvfb for a given time and prints how
# much its anonymous memory (RssAnon: the heap and everything else that is not a mapped file) grew
# after a warm-up, with samples along the way. Exits non-zero when the growth misses the target.
#   bench/soak.sh [build-dir] [minutes] [warm-up seconds]
# Defaults: build, 30 minutes, 120 s of warm-up. Environment:
#   SOAK_TRACK_SECONDS   how long each track lasts (default 12)
#   SOAK_TARGET_MB       the largest growth that passes (default 2)
#   SOAK_VIEW            "player" (the full player stays open, default) or "home" (closed)
#   SOAK_SAMPLE_SECONDS  seconds between samples (default 60)
#   SOAK_KEEP=1          keeps the run's folder (logs) and prints where it is
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
minutes=${2:-30}
warmup=${3:-120}
track_seconds=${SOAK_TRACK_SECONDS:-12}
target_mb=${SOAK_TARGET_MB:-2}
view=${SOAK_VIEW:-player}
sample=${SOAK_SAMPLE_SECONDS:-60}

if [ -z "${SOAK_IN_BUS:-}" ]; then
  SOAK_IN_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi

app="$build/src/melodrift-radio"
stand_in="$build/tests/melodrift-stand-in"
for f in "$app" "$stand_in"; do
  [ -x "$f" ] || { echo "soak: $f is missing (build first)" >&2; exit 2; }
done

keep_work=${SOAK_KEEP:-}
. bench/own-display.sh
unset QT_QPA_PLATFORM
export GST_PLUGIN_FEATURE_RANK=fakeaudiosink:MAX
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache"
export MELODRIFT_INSTANCE_SUFFIX="soak$$"

port=$((20000 + RANDOM % 20000))
"$stand_in" --port "$port" --track-seconds "$track_seconds" > "$work/stand-in.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  (exec 3<>/dev/tcp/127.0.0.1/"$port") 2>/dev/null && break
  sleep 0.1
done

# "--debug-sync" plays the rotation "persian" under the full player.
MELODRIFT_API_BASE_URL="http://127.0.0.1:$port" "$app" --debug-sync > "$work/app.log" 2>&1 &
app_pid=$!
pids+=($app_pid)
for _ in $(seq 600); do grep -q "EQ tap bound" "$work/app.log" 2>/dev/null && break; sleep 0.1; done
if [ "$view" = home ]; then
  win=$(xdotool search --sync --onlyvisible --pid "$app_pid" 2>/dev/null | head -n 1)
  sleep 1
  xdotool windowfocus --sync "$win" key Escape
fi

anon_kb() { awk '/^RssAnon:/ { print $2 }' "/proc/$1/status"; }
tracks_played() { grep -c 'EQ tap bound' "$work/app.log" || true; }
alive() { kill -0 "$app_pid" 2>/dev/null || { echo "soak: the application ended (see its log)" >&2; tail -n 20 "$work/app.log" >&2; exit 2; }; }

# A rotation that stops moving on (a failed track) changes nothing more: the figures so far are
# printed and the run fails.
stalled_after=$(awk -v t="$track_seconds" 'BEGIN { printf "%d", 3 * t + 30 }')
last_tracks=0
last_change=$(date +%s)
moving() {
  local n
  n=$(tracks_played)
  if [ "$n" != "$last_tracks" ]; then last_tracks=$n; last_change=$(date +%s); fi
  [ $(( $(date +%s) - last_change )) -le "$stalled_after" ]
}
report() { # verdict-override
  end_kb=$(anon_kb "$app_pid")
  changes=$(( $(tracks_played) - start_tracks ))
  growth=$(awk -v a="$end_kb" -v b="$start_kb" 'BEGIN { printf "%.2f", (a - b) / 1024 }')
  per_change=$(awk -v a="$end_kb" -v b="$start_kb" -v n="$changes" 'BEGIN { if (n < 1) n = 1; printf "%.1f", (a - b) / n }')
  verdict=ok
  awk -v g="$growth" -v t="$target_mb" 'BEGIN { exit !(g > t) }' && verdict=MISSED
  [ -n "${1:-}" ] && verdict=$1
  echo "soak: RssAnon $((start_kb / 1024)) -> $((end_kb / 1024)) MB, ${changes} track changes"
  printf '%-46s %6.2f MB  (target <= %s MB)  %s\n' "anonymous memory growth" "$growth" "$target_mb" "$verdict"
  echo "soak: ${per_change} KB per track change"
  [ "$verdict" = ok ]
}

echo "soak: ${minutes} min after ${warmup} s of warm-up, ${track_seconds} s tracks, view ${view}"
sleep "$warmup"
alive
start_kb=$(anon_kb "$app_pid")
start_tracks=$(tracks_played)
echo "soak: start RssAnon $((start_kb / 1024)) MB"
end=$(( $(date +%s) + minutes * 60 ))
while [ "$(date +%s)" -lt "$end" ]; do
  left=$(( end - $(date +%s) ))
  sleep $(( left < sample ? left : sample ))
  alive
  now_kb=$(anon_kb "$app_pid")
  printf 'soak: %5d s  RssAnon %7.1f MB  growth %+6.2f MB  tracks %d\n' \
    $(( minutes * 60 - (end - $(date +%s)) )) "$(awk -v k="$now_kb" 'BEGIN { print k / 1024 }')" \
    "$(awk -v a="$now_kb" -v b="$start_kb" 'BEGIN { print (a - b) / 1024 }')" $(( $(tracks_played) - start_tracks ))
  if ! moving; then
    echo "soak: the rotation stopped moving on:" >&2
    grep -v 'EQ tap\|EqTap' "$work/app.log" | tail -n 5 >&2
    report STOPPED || true
    exit 2
  fi
done
report
