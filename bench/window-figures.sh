# Sourced by the window measurements (after own-display.sh): displays of their own, the CPU and
# memory of whole process trees, and the bookkeeping of figures, ratios and targets.

# Starts one more Xvfb display and prints its name (":N").
new_display() { start_xvfb; }

# The CPU ticks of each process given and all it started, children's children included (the web
# engine's helpers are the banner host's). One reading of /proc for all of them, so that the
# figures of processes measured side by side are taken at the same moment. Threads are in their
# process's figures; children that ended and were waited for are in their parent's.
tree_ticks() { # pid...
  cat /proc/[0-9]*/stat 2>/dev/null | awk -v roots="$*" '
    {
      pid = $1; rest = $0; sub(/^.*\) /, "", rest); split(rest, f, " ")
      parent[pid] = f[2]; ticks[pid] = f[12] + f[13] + f[14] + f[15]
    }
    END {
      n = split(roots, r, " ")
      for (i = 1; i <= n; ++i) {
        total = 0
        for (p in ticks) {
          q = p
          for (depth = 0; depth < 64 && q != "" && q != 0; ++depth) {
            if (q == r[i]) { total += ticks[p]; break }
            q = parent[q]
          }
        }
        printf "%s%s", (i > 1 ? " " : ""), total
      }
      print ""
    }'
}

# Percent of one core of each process tree over the same $1 seconds, on one line.
cpu_together() { # seconds pid...
  local seconds=$1 hz before after
  shift
  hz=$(getconf CLK_TCK)
  before=$(tree_ticks "$@")
  sleep "$seconds"
  after=$(tree_ticks "$@")
  awk -v b="$before" -v a="$after" -v hz="$hz" -v s="$seconds" 'BEGIN {
    n = split(b, x, " "); split(a, y, " ")
    for (i = 1; i <= n; ++i) printf "%s%.2f", (i > 1 ? " " : ""), 100 * (y[i] - x[i]) / hz / s
    print "" }'
}

# Percent of one core of each process tree over the same $1 seconds, from the scheduler's
# nanoseconds of every thread (/proc/PID/task/TID/schedstat) rather than clock ticks: a tree at
# 0.4 % of a core runs 24 ticks a minute, so one tick either way moves a ratio of two such
# figures by 4 %. Only live threads have a schedstat: where a tree's set of threads changed over
# the round, that tree's figure is its ticks' (said on stderr).
tree_thread_ns() { # pid -> "TIDS NS": the tree's thread ids (sorted, joined) and their sum
  local p t v ids=() total=0
  for p in $(tree_pids "$1"); do
    for t in /proc/"$p"/task/*; do
      read -r v _ < "$t/schedstat" 2>/dev/null || continue
      ids+=("${t##*/}"); total=$((total + v))
    done
  done
  echo "$(printf '%s\n' "${ids[@]}" | sort -n | tr '\n' ,) $total"
}
cpu_together_exact() { # seconds pid...
  local seconds=$1 ticks_before ticks_after hz pid i=0 before=() after=() out=() tb ta
  shift
  hz=$(getconf CLK_TCK)
  ticks_before=($(tree_ticks "$@"))
  for pid in "$@"; do before+=("$(tree_thread_ns "$pid")"); done
  sleep "$seconds"
  ticks_after=($(tree_ticks "$@"))
  for pid in "$@"; do after+=("$(tree_thread_ns "$pid")"); done
  for pid in "$@"; do
    if [ "${before[$i]% *}" = "${after[$i]% *}" ]; then
      out+=("$(awk -v a="${after[$i]##* }" -v b="${before[$i]##* }" -v s="$seconds" 'BEGIN { printf "%.3f", 100 * (a - b) / 1e9 / s }')")
    else
      echo "measure: threads of $pid came or went in the round; its figure is by clock ticks" >&2
      tb=${ticks_before[$i]} ta=${ticks_after[$i]}
      out+=("$(awk -v a="$ta" -v b="$tb" -v hz="$hz" -v s="$seconds" 'BEGIN { printf "%.3f", 100 * (a - b) / hz / s }')")
    fi
    i=$((i + 1))
  done
  echo "${out[*]}"
}

# The pids of a process tree.
tree_pids() { # pid
  local p
  echo "$1"
  for p in $(pgrep -P "$1" 2>/dev/null || true); do tree_pids "$p"; done
}
# Resident memory of a process tree in MB: the sum of each process's RSS (pages shared between
# them counted in each, as a process monitor adds them up) and of its proportional share (PSS).
tree_rss() { # pid
  local kb=0 p v
  for p in $(tree_pids "$1"); do
    v=$(awk '/^VmRSS:/ { print $2 }' "/proc/$p/status" 2>/dev/null || true)
    kb=$((kb + ${v:-0}))
  done
  awk -v kb="$kb" 'BEGIN { printf "%.0f", kb / 1024 }'
}
tree_pss() { # pid
  local kb=0 p v
  for p in $(tree_pids "$1"); do
    v=$(awk '/^Pss:/ { print $2 }' "/proc/$p/smaps_rollup" 2>/dev/null || true)
    kb=$((kb + ${v:-0}))
  done
  awk -v kb="$kb" 'BEGIN { printf "%.0f", kb / 1024 }'
}

now_ms() { date +%s%3N; }
# Waits (up to 15 s) for a line matching $2 in file $1 and prints its last field.
wait_for_line() {
  for _ in $(seq 300); do
    if grep -q "$2" "$1" 2>/dev/null; then
      grep "$2" "$1" | head -n 1 | awk '{ print $NF }'
      return 0
    fi
    sleep 0.05
  done
  echo "measure: no '$2' in $1" >&2
  # Called in a command substitution, so the mark is a file: the logs stay for a look.
  : > "$work/keep"
  return 1
}
# The first visible window of a process on display $1.
# The first visible window of a process once it shows; fails when the process ends first (a player
# that crashes at start) or shows none within a minute.
window_of() { # display pid
  local win
  for _ in $(seq 600); do
    win=$(DISPLAY=$1 xdotool search --onlyvisible --pid "$2" 2>/dev/null | head -n 1)
    [ -n "$win" ] && { echo "$win"; return 0; }
    kill -0 "$2" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

median() { tr ' ' '\n' | sort -n | awk 'NF { v[++n] = $1 } END { print v[int((n + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b <= 0) b = 0.01; printf "%.2f", a / b }'; }

results=()
failed=0
# A figure with its bound: "ok" or "MISSED" (the script then exits 1).
check() { # name value bound
  local verdict=ok
  if awk -v v="$2" -v b="$3" 'BEGIN { exit !(v > b) }'; then verdict=MISSED; failed=1; fi
  results+=("$(printf '%-52s %6.2f  (target <= %s)  %s' "$1" "$2" "$3" "$verdict")")
}
# A figure shown without a bound.
note() { # name value
  results+=("$(printf '%-52s %6.2f' "$1" "$2")")
}

# Rounds of CPU figures, all taken over the same seconds: `measure_rounds rounds seconds name=pid...`
# fills round_figures[name] with one figure per round, separated by spaces. With
# figures_by=cpu_together_exact (for rows of a few tenths of a percent) from nanoseconds.
declare -A round_figures
measure_rounds() { # rounds seconds name=pid...
  local rounds=$1 seconds=$2 names=() list=() entry figures i r reading=${figures_by:-cpu_together}
  shift 2
  for entry in "$@"; do names+=("${entry%%=*}"); list+=("${entry#*=}"); done
  for r in $(seq "$rounds"); do
    read -r -a figures <<< "$("$reading" "$seconds" "${list[@]}")"
    for i in "${!names[@]}"; do
      round_figures[${names[$i]}]+="${figures[$i]} "
    done
    echo "  round $r: $(for i in "${!names[@]}"; do printf '%s %s %%  ' "${names[$i]}" "${figures[$i]}"; done)" >&2
  done
}
# The median over the rounds of the ratio a / b, each round's figures set against each other.
round_ratio() { # name-a name-b
  local a=(${round_figures[$1]}) b=(${round_figures[$2]}) i out=()
  for i in "${!a[@]}"; do out+=("$(ratio "${a[$i]}" "${b[$i]}")"); done
  echo "${out[*]}" | median
}
round_median() { echo "${round_figures[$1]}" | median; }
