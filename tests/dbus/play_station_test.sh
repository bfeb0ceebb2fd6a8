#!/usr/bin/env bash
# A listener plays a station of the stand-in backend and controls it with playerctl; without a
# session bus the player still plays and says once that the media controls are off.
set -euo pipefail
[ -n "${TRACE:-}" ] && set -x
stand_in=$1
play_station=$2
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
# The player keeps its offline folder and caches under the home: give it one of the test's own.
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \
       XDG_CACHE_HOME="$work/cache" XDG_STATE_HOME="$work/state"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_STATE_HOME"
fail() {
  echo "FAIL: $*"
  echo "--- player output:"
  cat "$work"/player*.log 2>/dev/null || true
  exit 1
}

# Waits up to $1 seconds for the command in the remaining arguments to succeed.
until_ok() {
  local seconds=$1; shift
  local end=$((SECONDS + seconds))
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.2
  done
}

[ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] || { echo "SKIP: no session bus"; exit 0; }
command -v playerctl >/dev/null || { echo "SKIP: no playerctl"; exit 0; }
export GST_PLUGIN_FEATURE_RANK=fakeaudiosink:MAX

"$stand_in" --port 0 >"$work/stand-in.log" 2>&1 &
pids+=($!)
until_ok 60 grep -q 'listening on' "$work/stand-in.log" || fail "the stand-in did not start"
export MELODRIFT_API_BASE_URL=$(sed -n 's/.*listening on \(http[^ ]*\).*/\1/p' "$work/stand-in.log" | head -1)

"$play_station" jazz >"$work/player.log" 2>&1 &
pids+=($!)
until_ok 60 grep -q 'playerctl -p ' "$work/player.log" || fail "no media controls"
# Other tests may run players on the same bus: address this one by the name it took.
name=$(sed -n 's/.*playerctl -p \([^ ]*\) .*/\1/p' "$work/player.log" | head -1)
ctl() { playerctl -p "$name" "$@"; }
status_is() { [ "$(ctl status 2>/dev/null)" = "$1" ]; }
title_is() { [ "$(ctl metadata title 2>/dev/null)" = "$1" ]; }

until_ok 60 status_is Playing || fail "not playing"
# The server's rotation is at the second jazz track; a 12 s track may have ended meanwhile.
until_ok 60 grep -q '^\[RadioPlayer\] server rotation: Blue Corner -> Smoke Rings$' "$work/player.log" \
  || fail "did not follow the server"
declare -A artist_of=(["Blue Corner"]="The Night Owls" ["Smoke Rings"]="Lena Hart"
                      ["Last Tram Home"]="Marcus Vale Trio" ["Velvet Steps"]="Lena Hart")
declare -A next_of=(["Blue Corner"]="Smoke Rings" ["Smoke Rings"]="Last Tram Home"
                    ["Last Tram Home"]="Velvet Steps" ["Velvet Steps"]="Blue Corner")
title=$(ctl metadata title)
[ -n "${artist_of[$title]:-}" ] || fail "title: $title"
[ "$(ctl metadata artist)" = "${artist_of[$title]}" ] || fail "artist of $title: $(ctl metadata artist)"
[ "$(ctl metadata album)" = "Late Night Jazz" ] || fail "album: $(ctl metadata album)"
has() { [ -n "$(ctl metadata "$1" 2>/dev/null)" ]; }
until_ok 60 has mpris:length || fail "no length"
until_ok 60 has mpris:artUrl || fail "no artwork"
art=$(ctl metadata mpris:artUrl)
case "$art" in file://*) [ -s "${art#file://}" ] || fail "artwork file missing: $art" ;; *) fail "artwork: $art" ;; esac

# Toggle while it plays steadily (while it connects, toggling starts playback instead).
playing_steadily() { status_is Playing && awk -v p="$(ctl position 2>/dev/null)" 'BEGIN { exit !(p >= 0.5) }'; }
until_ok 60 playing_steadily || fail "not playing steadily"
ctl play-pause
until_ok 20 status_is Paused || fail "play-pause did not pause"
ctl play-pause
until_ok 20 status_is Playing || fail "play-pause did not resume"

before=$(ctl metadata title)
ctl next
after=${next_of[$before]}
# (Should the track end at that moment, the player moves on once more.)
next_title() { title_is "$after" || title_is "${next_of[$after]}"; }
until_ok 60 next_title || fail "next after $before: $(ctl metadata title)"
until_ok 60 status_is Playing || fail "not playing after next"
grep -q '^\[RadioPlayer\] EQ tap bound to track ' "$work/player.log" || fail "no equaliser tap"

# Refused until the new track's length is known.
until_ok 20 ctl position 8 || fail "position 8 refused"
position_in() { awk -v p="$(ctl position 2>/dev/null)" -v lo="$1" -v hi="$2" 'BEGIN { exit !(p >= lo && p < hi) }'; }
until_ok 20 position_in 8 20 || fail "position: $(ctl position)"
ctl position 5-
until_ok 20 position_in 3 8 || fail "position after 5-: $(ctl position)"

# No session bus: it plays on and says once that the controls are off.
env -u DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR="$work/no-runtime" "$play_station" pop-live >"$work/player-nobus.log" 2>&1 &
pids+=($!)
until_ok 60 grep -q '^\[play-station\] playing' "$work/player-nobus.log" || fail "no playback without a bus"
[ "$(grep -c 'media controls are off' "$work/player-nobus.log")" = 1 ] || fail "the off line is not there once"
echo "PASS"
