#!/usr/bin/env bash
# The application's window against the players a Linux listener would pick instead: Debian's
# goodvibes, strawberry and elisa, those of them that are installed (scripts/setup.sh does not
# install them). Everything as in measure-window.sh: Xvfb, a display for each, windows 480 x 960
# (a peer that will not be that small stays at its smallest), one 128 kbit/s MP3 from a local
# icecast2 into one pulseaudio null sink (both required here), CPU of whole process trees over the
# same seconds, the median over the rounds of each ratio within a round. elisa takes no stream
# address from its command line or over MPRIS, so it plays the same MP3 as a local file, with the
# software renderer as the application has here (it needs VLC's plugins, vlc-plugin-base, without
# which it crashes at start). Rows:
#   playing, window shown       the application on its home screen     <= 1.5 x goodvibes
#   full player / now playing   the application's full player against each peer's window as it is
#   window unmapped             <= 1.1 x GStreamer alone to the same sink
#   memory                      the full player open, the banner's web engine in: RSS summed over
#                               the tree and PSS (shared pages divided among those that map them)
# and the application should be ahead of (below) strawberry and elisa in every row.
#   bench/measure-peers.sh [build-dir] [seconds per round] [rounds]
# MEASURE_DISPLAYS=152-159 takes the run's Xvfb displays (6 with all three peers) from that range.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${2:-60}
rounds=${3:-4}

if [ -z "${MEASURE_WINDOW_IN_BUS:-}" ]; then
  MEASURE_WINDOW_IN_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi

app="$build/src/melodrift-radio"
stand_in="$build/tests/melodrift-stand-in"
for f in "$app" "$stand_in"; do
  [ -x "$f" ] || { echo "measure-peers: $f is missing (build first)" >&2; exit 2; }
done
for tool in pulseaudio pactl icecast2 ffmpeg xdotool; do
  command -v "$tool" > /dev/null || { echo "measure-peers: $tool is not installed" >&2; exit 2; }
done
peers=()
for peer in goodvibes strawberry elisa; do
  command -v "$peer" > /dev/null && peers+=("$peer")
done
[ "${#peers[@]}" -gt 0 ] || { echo "measure-peers: none of goodvibes, strawberry, elisa is installed" >&2; exit 2; }

. bench/own-display.sh
. bench/window-figures.sh
. bench/radio-fixture.sh
unset QT_QPA_PLATFORM QT_QUICK_BACKEND QSG_RHI_BACKEND GLIBC_TUNABLES

port=$((20000 + $$ % 20000))
radio_port=$((port + 2))
start_null_sink
start_radio_server "$radio_port" $((seconds * rounds * 3 + 300))
"$stand_in" --port "$port" --track-seconds 180 --live-stream "$radio_url" > "$work/stand-in.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do (exec 3<>/dev/tcp/127.0.0.1/"$port") 2>/dev/null && break; sleep 0.1; done

declare -A pid_of display_of
# Each player keeps its settings in a folder of its own and is sized once its window is up.
start_player() { # name command...
  local name=$1 display
  shift
  display=$(new_display)
  mkdir -p "$work/$name/home"
  DISPLAY=$display HOME="$work/$name/home" XDG_CONFIG_HOME="$work/$name/config" \
    XDG_DATA_HOME="$work/$name/data" XDG_CACHE_HOME="$work/$name/cache" GSETTINGS_BACKEND=memory \
    MELODRIFT_INSTANCE_SUFFIX="peers$$$name" MELODRIFT_API_BASE_URL="http://127.0.0.1:$port" \
    MELODRIFT_REPORT_FIRST_FRAME=1 "$@" > "$work/$name.log" 2>&1 &
  pid_of[$name]=$!
  display_of[$name]=$display
  pids+=($!)
}
size_window() { # name
  local win
  if ! win=$(window_of "${display_of[$1]}" "${pid_of[$1]}"); then
    echo "measure-peers: $1 ended or showed no window; the end of its log:" >&2
    tail -n 5 "$work/$1.log" >&2
    exit 2
  fi
  DISPLAY=${display_of[$1]} xdotool windowsize "$win" 480 960
  echo "$win" > "$work/$1.window"
}

start_player home "$app" --debug-sync=tehran-live
start_player player "$app" --debug-sync=tehran-live
for peer in "${peers[@]}"; do
  case $peer in
    goodvibes) start_player goodvibes goodvibes "$radio_url" ;;
    strawberry) start_player strawberry strawberry --load "$radio_url" ;;
    elisa) QT_QUICK_BACKEND=software start_player elisa elisa "$radio_file" ;;
  esac
done
GST_PLUGIN_FEATURE_RANK=$(reference_ranks) gst-launch-1.0 -q playbin uri="$radio_url" volume="$reference_volume" > /dev/null 2>&1 &
pid_of[gst]=$!; pids+=($!)

wait_for_line "$work/home.log" "first catalogue frame" > /dev/null
wait_for_line "$work/player.log" "first catalogue frame" > /dev/null
for name in home player "${peers[@]}"; do size_window "$name"; done
read -r win < "$work/home.window"
sleep 1
DISPLAY=${display_of[home]} xdotool windowfocus --sync "$win" key Escape
# strawberry loads the address and waits for a play command, given to the running instance.
if [ -n "${pid_of[strawberry]:-}" ]; then
  DISPLAY=${display_of[strawberry]} HOME="$work/strawberry/home" XDG_CONFIG_HOME="$work/strawberry/config" \
    XDG_DATA_HOME="$work/strawberry/data" XDG_CACHE_HOME="$work/strawberry/cache" \
    timeout 20 strawberry --play > /dev/null 2>&1 || true
fi
# Every player plays into the sink before anything is measured.
playing=$((${#peers[@]} + 3))
for _ in $(seq 300); do
  [ "$(pactl list short sink-inputs | wc -l)" -ge "$playing" ] && break
  sleep 0.1
done
echo "playing into the sink: $(pactl list short sink-inputs | wc -l) of $playing" >&2
sleep 5

measured=(home=${pid_of[home]} player=${pid_of[player]} gst=${pid_of[gst]})
for peer in "${peers[@]}"; do measured+=("$peer=${pid_of[$peer]}"); done
echo "shown, $rounds rounds of $seconds s:" >&2
measure_rounds "$rounds" "$seconds" "${measured[@]}"

for name in home "${peers[@]}"; do
  DISPLAY=${display_of[$name]} xdotool windowunmap --sync "$(cat "$work/$name.window")"
done
sleep 3
unmapped=(hidden=${pid_of[home]} gst-hidden=${pid_of[gst]})
for peer in "${peers[@]}"; do unmapped+=("$peer-hidden=${pid_of[$peer]}"); done
echo "unmapped:" >&2
figures_by=cpu_together_exact measure_rounds "$rounds" "$seconds" "${unmapped[@]}"

# Memory, every window shown again, once the second instance of the application and GStreamer
# alone have ended: pages shared with them would otherwise lower the proportional figures of
# those that map the same libraries (the application's most of all).
for name in "${peers[@]}"; do
  DISPLAY=${display_of[$name]} xdotool windowmap --sync "$(cat "$work/$name.window")"
done
for name in home gst; do
  kill "${pid_of[$name]}" 2>/dev/null || true; wait "${pid_of[$name]}" 2>/dev/null || true
done
sleep 3
declare -A rss_of pss_of
for name in player "${peers[@]}"; do
  rss_of[$name]=$(tree_rss "${pid_of[$name]}") pss_of[$name]=$(tree_pss "${pid_of[$name]}")
done

size_of() { DISPLAY=${display_of[$1]} xdotool getwindowgeometry "$(cat "$work/$1.window")" | awk '/Geometry/ { print $2 }'; }
echo "stream: $radio_url into $sink_kind (elisa: the same MP3 as a file)"
printf '%-28s %10s %12s %12s' "" "this app" "GStreamer" ""
for peer in "${peers[@]}"; do printf ' %22s' "$peer ($(size_of "$peer"))"; done
echo
row() { # label ours-name gst-name peer-suffix
  printf '%-28s %9s%% %11s%%' "$1" "$(round_median "$2")" "$(round_median "$3")"
  printf ' %12s' "($(round_ratio "$2" "$3")x)"
  for peer in "${peers[@]}"; do
    printf ' %12s%% %8s' "$(round_median "$peer$4")" "($(round_ratio "$2" "$peer$4")x)"
  done
  echo
}
row "playing, window shown" home gst ""
row "full player / now playing" player gst ""
row "window unmapped" hidden gst-hidden "-hidden"
memory_row() { # label array-name
  local -n figures=$2
  printf '%-28s %8s MB %12s %12s' "$1" "${figures[player]}" "" ""
  for peer in "${peers[@]}"; do
    printf ' %10s MB %8s' "${figures[$peer]}" "($(ratio "${figures[player]}" "${figures[$peer]}")x)"
  done
  echo
}
memory_row "RSS summed, full player" rss_of
memory_row "PSS, full player" pss_of
echo "(ratios: this app / the column's player, the median over the rounds of each round's ratio)"

for peer in "${peers[@]}"; do
  case $peer in
    goodvibes) check "shown, CPU / goodvibes" "$(round_ratio home goodvibes)" 1.5 ;;
    *)
      check "shown, CPU / $peer" "$(round_ratio home "$peer")" 1.0
      check "full player, CPU / $peer" "$(round_ratio player "$peer")" 1.0
      check "unmapped, CPU / $peer" "$(round_ratio hidden "$peer-hidden")" 1.0
      ;;
  esac
done
check "unmapped, CPU / GStreamer alone" "$(round_ratio hidden gst-hidden)" 1.1
for peer in "${peers[@]}"; do
  [ "$peer" = goodvibes ] || note "RSS full player / $peer" "$(ratio "${rss_of[player]}" "${rss_of[$peer]}")"
  [ "$peer" = goodvibes ] || note "PSS full player / $peer" "$(ratio "${pss_of[player]}" "${pss_of[$peer]}")"
done
printf '%s\n' "${results[@]}"
exit $failed
