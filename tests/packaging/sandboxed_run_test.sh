#!/usr/bin/env bash
# scripts/test.sh over a suite of one test, in a home of this test's own with the build folder
# inside it, as a listener keeps a checkout: what the application writes in the home while the
# suite runs is no failure; what a test leaves at the home's path or does to a device node is,
# and never reaches the real ones.
#   sandboxed_run_test.sh <source-dir>
set -euo pipefail
runner="$1/scripts/test.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "sandboxed_run_test: $*" >&2; exit 1; }

# Replacing a device node, even a private one, takes root; and it is done only where /dev is
# another than this script's.
devices=1
dev_here=$(stat -c '%d:%i' /dev/)
[ "$(id -u)" = 0 ] && mkdir -p "$work/probe" && mknod "$work/probe/null" c 1 3 2>/dev/null || devices=0

home="$work/home"
build="$home/src/melodrift/build"
artwork=".cache/melodrift/melodrift-radio/mpris-artwork"

# The application playing meanwhile: it replaces its artwork and the listener removes a song, both
# while the test runs (the test waits for it), and both in the real home.
app_plays() {
  mkdir -p "$home/$artwork"
  touch "$home/$artwork/2.png"
  rm "$home/$artwork/1.png" "$home/Music/song.ogg"
}

# name | needs device nodes | how the suite runs | what its one test does | status | what the report names
# ("" when nothing is asked of it) | what the real home holds afterwards ("" for nothing asked)
cases=(
  "the application plays meanwhile|0||touch \"\$HOME/own.txt\"; meanwhile|0||$artwork/2.png"
  "the application plays meanwhile, no sandbox|0|off|meanwhile|1|$artwork/2.png|"
  "a test writes at the home's path|0||mkdir -p '$home/$artwork'; touch '$home/$artwork/left.png'|1|The test run left new files in the home folder:|!$artwork/left.png"
  "a test writes at the home's path, deeper|0||mkdir -p '$home/Videos'; touch '$home/Videos/story.mp4'|1|Videos/story.mp4|!Videos"
  "a test replaces a device node|1||in_private_dev && umount /dev/full && echo mp4 >/dev/full|1|/dev/full: character special file 1:7 → regular file|"
  "a test fails|0||exit 3|8|The following tests FAILED|"
)
ran=0
for c in "${cases[@]}"; do
  IFS='|' read -r name needs mode step expect_status expect holds <<<"$c"
  if [ "$needs" = 1 ] && [ $devices = 0 ]; then
    echo "sandboxed_run_test: left out (not root): $name"
    continue
  fi
  rm -rf "$home" "$work/sync"
  mkdir -p "$build" "$home/$artwork" "$home/Music" "$work/sync"
  touch "$home/$artwork/1.png" "$home/Music/song.ogg"
  mkfifo "$work/sync/started" "$work/sync/played"
  # "meanwhile": the test hands over to the application and goes on once it has played.
  cat >"$build/step.sh" <<STEP
meanwhile() { echo >'$work/sync/started'; read -r _ <'$work/sync/played'; }
in_private_dev() { [ "\$(stat -c '%d:%i' /dev/)" != '$dev_here' ]; }
$step
STEP
  echo "add_test(the-test bash \"$build/step.sh\")" >"$build/CTestTestfile.cmake"

  status=0
  MELODRIFT_TEST_SANDBOX=$mode HOME="$home" bash "$runner" "$build" >"$work/report" 2>&1 &
  runner_pid=$!
  if [[ $step == *meanwhile* ]]; then
    read -r _ <"$work/sync/started"
    app_plays
    echo >"$work/sync/played"
  fi
  wait $runner_pid || status=$?

  if [ -z "$mode" ] && grep -q '^test.sh: no sandbox' "$work/report"; then
    echo "sandboxed_run_test: left out (no sandbox can be made here): $name"
    continue
  fi
  [ "$status" = "$expect_status" ] || fail "$name: status $status, not $expect_status: $(cat "$work/report")"
  [ -z "$expect" ] || grep -qF -- "$expect" "$work/report" || fail "$name: the report does not name '$expect': $(cat "$work/report")"
  case $holds in
    "") ;;
    !*) [ ! -e "$home/${holds#!}" ] || fail "$name: the real home holds ${holds#!}" ;;
    *) [ -e "$home/$holds" ] || fail "$name: the real home lacks $holds" ;;
  esac
  [ -s "$build/Testing/Temporary/LastTest.log" ] || fail "$name: the build folder in the home took no log"
  ran=$((ran + 1))
done
[ $ran -gt 0 ] || fail "no case ran"
echo "sandboxed_run_test: ok ($ran cases)"
