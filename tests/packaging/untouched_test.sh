#!/usr/bin/env bash
# scripts/untouched.sh, the check that ends every `make test`, over a home and a /dev of the test's
# own: each change a test run could make is reported with its path, and an untouched machine
# passes, also while other programs write in the home.
#   untouched_test.sh <source-dir>
set -euo pipefail
check="$1/scripts/untouched.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset CCACHE_DIR
fail() { echo "untouched_test: $*" >&2; exit 1; }

# Device nodes can be made only with the right to; without it the /dev cases are left out.
devices=1
mkdir -p "$work/probe" && mknod "$work/probe/null" c 1 3 2>/dev/null || devices=0

# Sets up the home and /dev every case starts from: the application's settings, a song, a desktop
# whose Videos folder has a name of its own, another program's file.
fresh() {
  rm -rf "$work/home" "$work/dev"
  mkdir -p "$work/home/.config/melodrift" "$work/home/.cache/ccache" "$work/home/Music" "$work/home/Filme" \
    "$work/dev/pts"
  echo x >"$work/home/.config/melodrift/settings.ini"
  echo x >"$work/home/Music/song with spaces.ogg"
  echo x >"$work/home/notes.txt"
  echo 'XDG_VIDEOS_DIR="$HOME/Filme"' >"$work/home/.config/user-dirs.dirs"
  if [ $devices = 1 ]; then
    mknod "$work/dev/null" c 1 3
    mknod "$work/dev/full" c 1 7
    mknod "$work/dev/loop0" b 7 0
    mknod "$work/dev/pts/0" c 136 0
  fi
}

# name | needs device nodes | what the run does | what the report names ("" when it passes)
cases=(
  "nothing|0|true|"
  "a file read and rewritten|0|echo y >'$work/home/.config/melodrift/settings.ini'|"
  "the compiler cache filled|0|touch '$work/home/.cache/ccache/a.o'|"
  "another program writes in the home during the run|0|mkdir -p '$work/home/.cache/at-spi'; touch '$work/home/.cache/at-spi/bus' '$work/home/.cache/at-spi/bus_42'; rm '$work/home/notes.txt'|"
  "a pseudo-terminal closed|1|rm '$work/dev/pts/0'|"
  "a folder left in the home|0|mkdir -p '$work/home/.local/share/melodrift-radio/OfflineTracks'|.local/share/melodrift-radio/OfflineTracks"
  "a test program's settings left|0|mkdir -p '$work/home/.qttest/config'; touch '$work/home/.qttest/config/a.conf'|.qttest/config/a.conf"
  "a file named after the application|0|touch '$work/home/Melodrift story.mp4'|Melodrift story.mp4"
  "a file left in the keyring|0|mkdir -p '$work/home/.local/share/keyrings'; touch '$work/home/.local/share/keyrings/login.keyring'|.local/share/keyrings/login.keyring"
  "a video saved in the Videos folder|0|touch '$work/home/Filme/story.mp4'|Filme/story.mp4"
  "a file removed from the Music folder|0|rm '$work/home/Music/song with spaces.ogg'|Music/song with spaces.ogg"
  "a device replaced by a file|1|rm '$work/dev/full'; echo mp4 >'$work/dev/full'|$work/dev/full: character special file 1:7 → regular file"
  "a device removed|1|rm '$work/dev/null'|$work/dev/null: character special file 1:3 → missing"
  "a device with other numbers|1|rm '$work/dev/full'; mknod '$work/dev/full' c 1 5|$work/dev/full: character special file 1:7 → character special file 1:5"
  "a block device removed|1|rm '$work/dev/loop0'|$work/dev/loop0: block special file 7:0 → missing"
  "a new device|1|mknod '$work/dev/full2' c 1 7|"
)
ran=0
for c in "${cases[@]}"; do
  IFS='|' read -r name needs run expect <<<"$c"
  if [ "$needs" = 1 ] && [ $devices = 0 ]; then
    echo "untouched_test: left out (no right to make device nodes): $name"
    continue
  fi
  fresh
  bash "$check" snapshot "$work/home" "$work/dev" >"$work/before"
  eval "$run"
  bash "$check" snapshot "$work/home" "$work/dev" >"$work/after"
  status=0
  bash "$check" compare "$work/before" "$work/after" >"$work/report" || status=$?
  if [ -z "$expect" ]; then
    [ $status = 0 ] || fail "$name: reported a change: $(cat "$work/report")"
    [ ! -s "$work/report" ] || fail "$name: printed $(cat "$work/report")"
  else
    [ $status = 1 ] || fail "$name: passed (status $status)"
    grep -qF -- "$expect" "$work/report" || fail "$name: the report does not name '$expect': $(cat "$work/report")"
  fi
  ran=$((ran + 1))
done
[ $ran -gt 0 ] || fail "no case ran"
echo "untouched_test: ok ($ran cases)"
