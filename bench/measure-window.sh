#!/usr/bin/env bash
# Measures what the application's window costs, under Xvfb, each process on a display of its own,
# all playing one 128 kbit/s MP3 from a local radio server (Debian's icecast2 with ffmpeg as its
# source; the stand-in's live stream where they are not installed) into one sink (a pulseaudio
# null sink of the run's own; GStreamer's synchronised fake sink without pulseaudio), windows
# 480 x 960. References: a bare Qt Quick window with one rotating rectangle, drawn by the renderer
# the application picks here (its software renderer without a GPU, OpenGL on one), and GStreamer
# alone (playbin) playing the same stream into the same sink at the application's volume, with the
# MP3 decoder the application prefers (mpg123's; left alone, playbin takes libav's). CPU
# (one core = 100 %) is that of the whole process tree (the banner's web engine and its helpers
# included), every figure of a round taken over the same seconds, and each ratio the median over
# the rounds of the ratio within a round. Memory is shown twice: RSS summed over the tree (the
# pages its processes share counted in each, as a process monitor adds them up) and PSS (each
# shared page divided among those that map it). Exits non-zero when a target is missed:
#   playing on the home screen              CPU <= 1.1 x the bare window
#   playing with the full player open       CPU <= 1.5 x the bare window
#   playing, a track list showing its row   CPU <= 1.1 x the bare window
#   playing with the window unmapped        CPU <= 1.1 x GStreamer alone
#   10,000 stations                         resident memory <= 1.2 x that with 20
# Also shown, without a bound: the first frame showing the catalogue against the bare window's
# (medians of five; a bare window on the software renderer is up in some 40 ms, which no window
# with fonts, a catalogue and a player can be); the
# resident memory on the home screen once the banner's web engine has gone (a minute after the
# full player closed) and with the full player open, the web engine in; and an A/B of a fixed
# mmap threshold in the allocator (GLIBC_TUNABLES=glibc.malloc.mmap_threshold=131072) on the
# home screen and with the full player open, as CPU with it / without it.
#   bench/measure-window.sh [build-dir] [seconds per round] [rounds]
#   bench/measure-window.sh --peers [build-dir] [seconds per round] [rounds]   (measure-peers.sh)
# MEASURE_DISPLAYS=152-159 takes the run's Xvfb displays (8 here) from that range.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = --peers ]; then
  shift
  exec bash bench/measure-peers.sh "$@"
fi
build=${1:-build}
seconds=${2:-20}
rounds=${3:-3}

if [ -z "${MEASURE_WINDOW_IN_BUS:-}" ]; then
  MEASURE_WINDOW_IN_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi

app="$build/src/melodrift-radio"
bare="$build/bench/melodrift-bare-window"
stand_in="$build/tests/melodrift-stand-in"
for f in "$app" "$bare" "$stand_in"; do
  [ -x "$f" ] || { echo "measure-window: $f is missing (build first)" >&2; exit 2; }
done

. bench/own-display.sh
. bench/window-figures.sh
. bench/radio-fixture.sh
unset QT_QPA_PLATFORM QT_QUICK_BACKEND QSG_RHI_BACKEND
export MELODRIFT_INSTANCE_SUFFIX="measure$$"
# The application's memory allocator as it is unless a run asks otherwise (the A/B below).
unset GLIBC_TUNABLES
fixed_threshold="glibc.malloc.mmap_threshold=131072"

port=$((20000 + $$ % 20000))
big_port=$((port + 1))
radio_port=$((port + 2))
start_null_sink
# Long enough for every round and the minute the banner's web engine may outlive its screen.
live_args=()
if start_radio_server "$radio_port" $((seconds * rounds * 2 + 240)); then
  live_args=(--live-stream "$radio_url")
fi

# Its rotations' tracks last three minutes, as songs do: a track change (the bar easing into the
# next artwork's colour) is then as rare in a measured window as it is in listening.
start_stand_in() { # port extra-stations
  "$stand_in" --port "$1" --extra-stations "$2" --track-seconds 180 "${live_args[@]}" \
    > "$work/stand-in-$1.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    (exec 3<>/dev/tcp/127.0.0.1/"$1") 2>/dev/null && return 0
    sleep 0.1
  done
  echo "measure-window: the stand-in did not start on port $1" >&2
  exit 2
}
# 20 stations (the demo catalogue's 6 and 14 more) and 10,000.
start_stand_in "$port" 14
start_stand_in "$big_port" 9994
[ -n "${radio_url:-}" ] || radio_url="http://127.0.0.1:$port/live/tehran-live"

# Each instance keeps its settings and downloads in a folder of its own.
run_app() { # name display port args...
  local name=$1 display=$2 p=$3
  shift 3
  mkdir -p "$work/$name"
  DISPLAY=$display XDG_CONFIG_HOME="$work/$name/config" XDG_DATA_HOME="$work/$name/data" \
    XDG_CACHE_HOME="$work/$name/cache" MELODRIFT_INSTANCE_SUFFIX="measure$$$name" \
    MELODRIFT_API_BASE_URL="http://127.0.0.1:$p" MELODRIFT_REPORT_FIRST_FRAME=1 \
    "$app" "$@" > "$work/$name.log" 2>&1 &
  echo $! >> "$work/pids"
  echo $!
}
# Starts an instance playing the live station under the full player, at 480 x 960; with
# "home" it closes the full player. Prints its pid.
run_playing() { # name home|player args...
  local name=$1 where=$2 display pid win
  shift 2
  display=$(new_display)
  pid=$(run_app "$name" "$display" "$port" --debug-sync=tehran-live "$@")
  wait_for_line "$work/$name.log" "first catalogue frame" > /dev/null
  win=$(window_of "$display" "$pid")
  DISPLAY=$display xdotool windowsize "$win" 480 960
  echo "$display $win" > "$work/$name.window"
  if [ "$where" = home ]; then
    sleep 1
    DISPLAY=$display xdotool windowfocus --sync "$win" key Escape
  fi
  echo "$pid"
}

# ---- first frames: the median of five launches of each, taken in turn (one launch alone is at
# the mercy of whatever else the machine does in that fifth of a second)
first_display=$(new_display)
bare_firsts=() app_firsts=()
for _ in 1 2 3 4 5; do
  : > "$work/bare-first.log"; : > "$work/first.log"
  t0=$(now_ms)
  DISPLAY=$first_display "$bare" > "$work/bare-first.log" 2>&1 &
  p=$!; pids+=($p)
  bare_firsts+=($(( $(wait_for_line "$work/bare-first.log" "first frame") - t0 )))
  kill $p; wait $p 2>/dev/null || true
  t0=$(now_ms)
  p=$(run_app first "$first_display" "$port"); pids+=($p)
  app_firsts+=($(( $(wait_for_line "$work/first.log" "first catalogue frame") - t0 )))
  kill $p; wait $p 2>/dev/null || true
done
bare_first=$(echo "${bare_firsts[*]}" | median)
app_first=$(echo "${app_firsts[*]}" | median)

# ---- every player of the rounds, side by side
DISPLAY=$(new_display) "$bare" > "$work/bare.log" 2>&1 &
bare_pid=$!; pids+=($bare_pid)
wait_for_line "$work/bare.log" "first frame" > /dev/null
bare_renderer=$(wait_for_line "$work/bare.log" "^\[bare\] renderer")
home_pid=$(run_playing home home); pids+=($home_pid)
closed_at=$(now_ms)
player_pid=$(run_playing player player); pids+=($player_pid)
# The track list of the rotation "persian", its playing row showing (the page is pushed under the
# full player, which Escape closes).
detail_display=$(new_display)
detail_pid=$(run_app detail "$detail_display" "$port" --debug-sync --debug-detail-playing); pids+=($detail_pid)
wait_for_line "$work/detail.log" "first catalogue frame" > /dev/null
win=$(window_of "$detail_display" "$detail_pid")
DISPLAY=$detail_display xdotool windowsize "$win" 480 960
sleep 2
DISPLAY=$detail_display xdotool windowfocus --sync "$win" key Escape
# The A/B: the same two screens with a fixed mmap threshold.
home_fixed_pid=$(GLIBC_TUNABLES=$fixed_threshold run_playing home-fixed home); pids+=($home_fixed_pid)
player_fixed_pid=$(GLIBC_TUNABLES=$fixed_threshold run_playing player-fixed player); pids+=($player_fixed_pid)
GST_PLUGIN_FEATURE_RANK=$(reference_ranks) gst-launch-1.0 -q playbin uri="$radio_url" volume="$reference_volume" > /dev/null 2>&1 &
gst_pid=$!; pids+=($gst_pid)
for name in home player detail home-fixed player-fixed; do
  wait_for_line "$work/$name.log" "EQ tap bound" > /dev/null || true
done
sleep 5

echo "shown, $rounds rounds of $seconds s:" >&2
measure_rounds "$rounds" "$seconds" bare=$bare_pid home=$home_pid player=$player_pid \
  detail=$detail_pid home-fixed=$home_fixed_pid player-fixed=$player_fixed_pid gst=$gst_pid
player_rss=$(tree_rss $player_pid) player_pss=$(tree_pss $player_pid)
bare_rss=$(tree_rss $bare_pid)

# The home screen's memory once the banner's web engine has gone, a minute after it was last seen.
left=$(( 65 - ($(now_ms) - closed_at) / 1000 ))
[ "$left" -gt 0 ] && sleep "$left"
home_rss=$(tree_rss $home_pid) home_pss=$(tree_pss $home_pid)

# ---- the window unmapped, against GStreamer alone
read -r display win < "$work/home.window"
DISPLAY=$display xdotool windowunmap --sync "$win"
sleep 2
echo "unmapped:" >&2
figures_by=cpu_together_exact measure_rounds "$rounds" "$seconds" hidden=$home_pid gst-hidden=$gst_pid
DISPLAY=$display xdotool windowmap --sync "$win"
for p in $bare_pid $home_pid $player_pid $detail_pid $home_fixed_pid $player_fixed_pid $gst_pid; do
  kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true
done

# ---- a large catalogue, idle, against the demo catalogue
idle_display=$first_display
p=$(run_app small "$idle_display" "$port"); pids+=($p)
wait_for_line "$work/small.log" "first catalogue frame" > /dev/null
sleep 4
small_rss=$(tree_rss $p)
kill $p; wait $p 2>/dev/null || true
p=$(run_app big "$idle_display" "$big_port"); pids+=($p)
wait_for_line "$work/big.log" "first catalogue frame" > /dev/null
sleep 4
big_rss=$(tree_rss $p)
kill $p; wait $p 2>/dev/null || true

renderer=$(grep -q "software renderer" "$work/home.log" && echo software || echo "Qt's default")
echo "stream: $radio_url into $sink_kind; renderer: application $renderer, bare window $bare_renderer"
echo "first frames (ms): bare window ${bare_firsts[*]}; application ${app_firsts[*]}"
echo "CPU medians (%): bare window $(round_median bare); home $(round_median home);" \
     "full player $(round_median player); track list $(round_median detail);" \
     "GStreamer alone $(round_median gst); unmapped $(round_median hidden)" \
     "(GStreamer alone meanwhile $(round_median gst-hidden))"
echo "memory (MB, RSS summed / PSS): bare window $bare_rss; home $home_rss / $home_pss;" \
     "full player with the banner's web engine $player_rss / $player_pss;" \
     "idle: 20 stations $small_rss, 10,000 stations $big_rss"
check "playing, CPU / bare window" "$(round_ratio home bare)" 1.1
check "full player open, CPU / bare window" "$(round_ratio player bare)" 1.5
check "track list playing, CPU / bare window" "$(round_ratio detail bare)" 1.1
check "unmapped, CPU / GStreamer alone" "$(round_ratio hidden gst-hidden)" 1.1
note "first catalogue frame / bare first frame" "$(ratio "$app_first" "$bare_first")"
note "playing, RSS / bare window" "$(ratio "$home_rss" "$bare_rss")"
check "10,000 stations, RSS / 20 stations" "$(ratio "$big_rss" "$small_rss")" 1.2
note "fixed mmap threshold, home CPU / as built" "$(round_ratio home-fixed home)"
note "fixed mmap threshold, full player CPU / as built" "$(round_ratio player-fixed player)"
printf '%s\n' "${results[@]}"
exit $failed
