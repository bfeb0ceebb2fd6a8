#!/usr/bin/env bash
# Tells whether a test run left the machine as it found it: nothing new in (or gone from) what the
# tests could write in the home folder, and every device node under /dev still there with its type
# and numbers.
#   untouched.sh snapshot <home> <dev>     prints a listing of both on standard output
#   untouched.sh snapshot-all <home> <dev> the same for a home nothing but the tests can write in
#   untouched.sh compare <before> <after>  says what changed; exits 1 when anything did
# Of a desktop's home (snapshot), only what the application and its tests could leave there is
# looked at: anything
# named after the application (its settings, data, cache, downloads, story videos, helpers, test
# programs), Qt's test-mode folder, the keyrings, and the Videos and Music folders. The rest of the
# home belongs to the desktop and its other programs, which write there while the tests run
# (an accessibility bus, a browser, a compiler cache).
set -euo pipefail

# The home's entries (relative paths) the tests could have made, removed or replaced.
watched() {
  local home=$1 dirs=$1/.config/user-dirs.dirs line value
  local folders=(Videos Music)
  # The desktop's own names for Videos and Music, when it has set them.
  if [ -f "$dirs" ]; then
    while IFS= read -r line; do
      value=${line#*=}
      value=${value//\"/}
      value=${value#\$HOME/}
      case $value in /* | '$HOME' | "") ;; *) folders+=("$value") ;; esac
    done < <(grep -E '^XDG_(VIDEOS|MUSIC)_DIR=' "$dirs" || true)
  fi
  local pattern='melodrift|^\.qttest(/|$)|^\.local/share/(keyrings|kwalletd)(/|$)' folder
  for folder in "${folders[@]}"; do
    pattern+="|^$(printf '%s' "$folder" | sed 's/[][\.^$*+?(){}|/]/\\&/g')(/|$)"
  done
  grep -aiE -- "$pattern" || true
}

snapshot() {
  local home=$1 dev=$2
  local ccache=${CCACHE_DIR:-$home/.cache/ccache}
  # One line per entry, relative to the home; names may hold spaces, never a newline we care for.
  # A folder it may not read (or no home at all) leaves the rest of the listing as it is.
  { find "$home" -mindepth 1 \( -path "$ccache" -o -path "$home/.ccache" \) -prune \
    -o -printf '%P\n' 2>/dev/null || true; } | watched "$home" | sed 's/^/home /' | LC_ALL=C sort
  devices "$dev"
}

# Every entry of the home. Folders mounted into it from elsewhere (the sandbox binds the source
# and build folders back in when they lie under the home) are listed but not looked into.
snapshot_all() {
  local home=$1 dev=$2
  { find "$home" -xdev -mindepth 1 -printf '%P\n' 2>/dev/null || true; } | sed 's/^/home /' | LC_ALL=C sort
  devices "$dev"
}

devices() {
  local dev=$1
  # Pseudo-terminals and shared memory come and go with every process. Every entry is looked up
  # by stat: find takes a node bound onto a file (as in a sandbox's /dev) for the file below it.
  { find "$dev" \( -path "$dev/pts" -o -path "$dev/shm" -o -path "$dev/mqueue" \) -prune \
    -o ! -type d -exec stat -c 'dev %F %t:%T %n' {} + 2>/dev/null || true; } \
    | { grep -E '^dev (character|block) special file ' || true; } | LC_ALL=C sort
}

# Prints at most 20 lines of standard input, then how many more there were.
first20() {
  awk '{ if (NR <= 20) print "  " $0 } END { if (NR > 20) print "  … and " NR - 20 " more" }'
}

compare() {
  local before=$1 after=$2 changed=0 lines
  lines=$(LC_ALL=C comm -13 <(grep '^home ' "$before" || true) <(grep '^home ' "$after" || true) | cut -c6-)
  if [ -n "$lines" ]; then
    echo "The test run left new files in the home folder:"
    printf '%s\n' "$lines" | first20
    changed=1
  fi
  lines=$(LC_ALL=C comm -23 <(grep '^home ' "$before" || true) <(grep '^home ' "$after" || true) | cut -c6-)
  if [ -n "$lines" ]; then
    echo "The test run removed files from the home folder:"
    printf '%s\n' "$lines" | first20
    changed=1
  fi
  # Devices that appear (a disk plugged in) are no harm; one that changed or went is.
  lines=$(LC_ALL=C comm -23 <(grep '^dev ' "$before" || true) <(grep '^dev ' "$after" || true) | cut -c5-)
  if [ -n "$lines" ]; then
    echo "The test run replaced or removed device nodes (was → now):"
    local type numbers path now
    while IFS= read -r line; do
      # "<type words> <major>:<minor> <path>", the type being one or two words.
      path=/${line#*:* /}
      numbers=${line% "$path"}
      if [ -e "$path" ] || [ -L "$path" ]; then
        now=$(stat -c '%F %t:%T' "$path")
      else
        now="missing"
      fi
      echo "$path: $numbers → $now"
    done <<<"$lines" | first20
    changed=1
  fi
  return $changed
}

case "${1:-}" in
  snapshot) [ $# = 3 ] || { echo "usage: $0 snapshot <home> <dev>" >&2; exit 2; }; snapshot "$2" "$3" ;;
  snapshot-all) [ $# = 3 ] || { echo "usage: $0 snapshot-all <home> <dev>" >&2; exit 2; }; snapshot_all "$2" "$3" ;;
  compare) [ $# = 3 ] || { echo "usage: $0 compare <before> <after>" >&2; exit 2; }; compare "$2" "$3" ;;
  *) echo "usage: $0 snapshot|snapshot-all <home> <dev> | compare <before> <after>" >&2; exit 2 ;;
esac
